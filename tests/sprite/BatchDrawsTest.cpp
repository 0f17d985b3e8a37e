// The sprite batch in a 2D window without a depth buffer (CGraphicsCore::setDepthBits(0)), as the
// 2D examples open it: its own process, since a window's visual is chosen when it opens. Runs
// longer than kMaxQuadsPerDraw drawn in pieces against the same quads drawn one at a time in plain
// OpenGL; strings on whole pixels sampled texel for pixel, against the glyph page's own texels read
// back from the texture; the game loop's frame in such a window; and the allocations a warmed-up
// batch and retained text make in a frame, counted by a replaced operator new.
#include "engine/core/Engine.h"
#include "engine/core/GameLoop.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/shader/ShaderManager.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/text/Text.h"
#include "engine/text/TextLayout.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <memory>
#include <new>
#include <vector>

using namespace testing_support;

// Every operator new of the process comes here. Only the test's own thread counts, only while
// armed, and only what the program's own code asks for: llvmpipe compiles a new shader variant
// (through LLVM, in C++) whenever it meets a new state, and its allocations are the driver's.
namespace {
thread_local bool countingNew = false;
std::atomic<long> newCalls{0};

// Whether the allocation comes from the driver: any of the nearest callers lies in llvmpipe or
// LLVM (the driver's C++ reaches operator new through libstdc++ too).
bool driverCode()
{
    void* callers[16];
    const int count = backtrace(callers, 16);
    for (int i = 0; i < count; ++i) {
        Dl_info info;
        if (dladdr(callers[i], &info) != 0 && info.dli_fname != nullptr &&
            (std::strstr(info.dli_fname, "LLVM") != nullptr || std::strstr(info.dli_fname, "/dri/") != nullptr))
            return true;
    }
    return false;
}

void* countedAllocation(std::size_t size, bool nothrow)
{
    if (countingNew) {
        countingNew = false;
        if (!driverCode())
            ++newCalls;
        countingNew = true;
    }
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr && !nothrow)
        throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(std::size_t size)
{
    return countedAllocation(size, false);
}
void* operator new[](std::size_t size)
{
    return countedAllocation(size, false);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, true);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, true);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

const int kWidth = 1024;
const int kHeight = 768;
const char* const kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// This process's engine, its window opened without a depth buffer and kept until the process ends.
CEngine& engineWithoutDepth()
{
    static std::unique_ptr<CEngine> engine;
    if (!engine) {
        CStdoutCapture quiet;
        quiet.start();
        engine.reset(new CEngine());
        g_pGraphicsCore->setDepthBits(0);
        engine->setVideoMode(kWidth, kHeight, 24, false, true);
        // The choice was for this window; the setting itself goes back to the default.
        g_pGraphicsCore->setDepthBits(CGraphicsCore::kDepthAsColour);
        quiet.lines();
    }
    return *engine;
}

// RGBA bytes, rows from the top, every texel different and alpha varying.
std::vector<uint8_t> patternPixels(int w, int h)
{
    std::vector<uint8_t> pixels(std::size_t(w) * std::size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &pixels[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            p[0] = uint8_t(x * 255 / (w - 1));
            p[1] = uint8_t(y * 255 / (h - 1));
            p[2] = uint8_t((x * 7 + y * 13) * 5);
            p[3] = uint8_t((x + y) % 3 == 0 ? 80 : 255);
        }
    return pixels;
}

class BatchDraws : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        engineWithoutDepth();
        std::vector<uint8_t> pixels = patternPixels(32, 32);
        SDL_Surface* image = SDL_CreateRGBSurfaceFrom(pixels.data(), 32, 32, 32, 32 * 4, 0x000000FF, 0x0000FF00,
                                                      0x00FF0000, 0xFF000000);
        texture.reset(new CTexture());
        texture->upload(image);
        texture->shader = g_pShaderManager->getShader(0);
    }
    static void TearDownTestSuite()
    {
        texture.reset();
    }
    void SetUp() override
    {
        g_pGraphicsCore->set2DState();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
    void TearDown() override
    {
        glLoadIdentity();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    static std::unique_ptr<CTexture> texture;
};

std::unique_ptr<CTexture> BatchDraws::texture;

// Quad i of the overlapping scene: off the pixel grid by binary fractions and scaled by exact
// factors, so that its corners are the same floats however they are computed.
struct Placed {
    float x, y, scale, red, green, blue, alpha;
};
Placed placed(int i)
{
    static const float tints[4][4] = {{1.0f, 1.0f, 1.0f, 1.0f},
                                      {1.0f, 0.8f, 0.6f, 0.9f},
                                      {0.6f, 0.9f, 1.0f, 0.8f},
                                      {1.0f, 0.6f, 0.8f, 0.7f}};
    const float* t = tints[i % 4];
    return {20.0f + float((i * 37) % 300) + 0.25f * float(i % 4),
            30.0f + float((i * 53) % 200) + 0.125f * float(i % 8),
            0.75f + 0.25f * float(i % 3),
            t[0],
            t[1],
            t[2],
            t[3]};
}

TEST_F(BatchDraws, TheWindowHasNoDepthBufferAndAFrameClearsColourOnly)
{
    GLint depth = -1;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    EXPECT_EQ(0, depth);
    EXPECT_FALSE(g_pGraphicsCore->hasDepthBuffer());
    EXPECT_EQ(unsigned(GL_COLOR_BUFFER_BIT), g_pGraphicsCore->getClearMask());

    // A frame of the game loop: cleared to its colour, the batch drawn with the engine's depth test
    // on (which has nothing to test), no error. Read before the swap, inside the draw.
    CGameLoop loop(engineWithoutDepth());
    loop.setClearColour(0.0f, 0.0f, 1.0f);
    Rgba inside{}, outside{};
    GLenum error = GL_NO_ERROR;
    loop.frame(nullptr, [&](float) {
        CSpriteBatch batch;
        batch.begin();
        batch.add(*texture, 100.0f, 100.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
        batch.end();
        error = glGetError();
        inside = readPixel(100 + 31, 100);  // texel (31, 0): red 255, green 0, alpha 255
        outside = readPixel(10, 10);
    });
    EXPECT_EQ(GLenum(GL_NO_ERROR), error);
    EXPECT_EQ(255, inside.r);
    EXPECT_EQ(0, inside.g);
    EXPECT_EQ(0, outside.r);
    EXPECT_EQ(255, outside.b);
    g_pGraphicsCore->set2DState();
}

TEST_F(BatchDraws, ADepthChoiceOutOfRangeIsRefusedWithALine)
{
    CStdoutCapture out;
    out.start();
    g_pGraphicsCore->setDepthBits(33);
    g_pGraphicsCore->setDepthBits(-2);
    const std::vector<std::string> lines = out.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Unable to set the depth buffer's bits to 33, Error: the bits must be -1 (as the colour), 0 (none) "
              "or up to 32",
              lines[0]);
    EXPECT_EQ(CGraphicsCore::kDepthAsColour, g_pGraphicsCore->getDepthBits());
    g_pGraphicsCore->setDepthBits(16);
    EXPECT_EQ(16, g_pGraphicsCore->getDepthBits());
    g_pGraphicsCore->setDepthBits(CGraphicsCore::kDepthAsColour);
}

// 1,000 overlapping, blended, linearly sampled quads make one run sent in pieces; the same quads
// one at a time, each as the two triangles the batch splits it into, in plain OpenGL, must give
// the very same bytes: the pieces keep the order of the quads.
TEST_F(BatchDraws, PiecesGiveThePixelsOfTheQuadsDrawnOneByOne)
{
    const int count = 1000;
    CSpriteBatch batch;
    batch.begin();
    for (int i = 0; i < count; ++i) {
        const Placed p = placed(i);
        batch.add(*texture, p.x, p.y, p.scale, 0.0f, p.red, p.green, p.blue, p.alpha);
    }
    batch.end();
    EXPECT_EQ(1u, batch.getDrawCallCount());
    EXPECT_EQ(std::size_t((count + 169) / 170), batch.getElementCallCount());
    const std::vector<uint8_t> batched = readBackRgba(0, 0, 400, 300);

    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgramObjectARB(0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    GLint minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    ASSERT_EQ(GL_LINEAR, minFilter);
    for (int i = 0; i < count; ++i) {
        const Placed p = placed(i);
        const float size = 32.0f * p.scale;
        // Bottom-left, bottom-right, top-right, top-left; triangles (0, 1, 3) and (1, 2, 3).
        const float corner[4][4] = {{p.x, p.y + size, 0.0f, 1.0f},
                                    {p.x + size, p.y + size, 1.0f, 1.0f},
                                    {p.x + size, p.y, 1.0f, 0.0f},
                                    {p.x, p.y, 0.0f, 0.0f}};
        glColor4f(p.red, p.green, p.blue, p.alpha);
        glBegin(GL_TRIANGLES);
        for (int k : {0, 1, 3, 1, 2, 3}) {
            // The texture's rows are stored top row first, so t counts down from the top.
            glTexCoord2f(corner[k][2], corner[k][3]);
            glVertex2f(corner[k][0], corner[k][1]);
        }
        glEnd();
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
    const std::vector<uint8_t> oneByOne = readBackRgba(0, 0, 400, 300);
    g_pGraphicsCore->set2DState();

    long differing = 0, lit = 0;
    for (std::size_t i = 0; i < oneByOne.size(); i += 4) {
        lit += oneByOne[i] + oneByOne[i + 1] + oneByOne[i + 2] != 0;
        differing +=
            batched[i] != oneByOne[i] || batched[i + 1] != oneByOne[i + 1] || batched[i + 2] != oneByOne[i + 2];
    }
    EXPECT_GT(lit, 50000);
    EXPECT_EQ(0, differing);
}

// A string's glyph quads, on whole pixels at scale 1, show their page's texels (the page read back
// from the texture; white text on black, within a step of blending's rounding); half a pixel off,
// the batch must sample linearly, so a pixel shows the mean of two neighbouring texels. The page's filters
// are its own again afterwards.
TEST_F(BatchDraws, StringsOnWholePixelsShowTheirPagesTexels)
{
    CFont* sans = g_pFontManager->loadTrueTypeFont(kSans, nullptr, 16);
    ASSERT_NE(nullptr, sans);
    CTextLayout layout;
    ASSERT_TRUE(sans->layOut("Hamburgefonstiv 0123", 0, layout));
    const std::vector<CTextQuad>& quads = layout.getQuads();
    ASSERT_FALSE(quads.empty());
    const GLuint page = quads[0].texture;
    glBindTexture(GL_TEXTURE_2D, page);
    GLint side = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &side);
    std::vector<uint8_t> texels(std::size_t(side) * std::size_t(side) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    // Texel (x, y) of the page, channel c; outside the page nothing.
    auto texel = [&](int x, int y, int c) -> int {
        if (x < 0 || y < 0 || x >= side || y >= side)
            return 0;
        return texels[(std::size_t(y) * std::size_t(side) + std::size_t(x)) * 4 + std::size_t(c)];
    };
    // White text on black: the texel's red times its alpha (GL_MODULATE, then blending), from the mean
    // of two texels when sampled between them.
    auto expectedRed = [&](int x, int y, bool between) -> double {
        if (!between)
            return texel(x, y, 0) * texel(x, y, 3) / 255.0;
        const double red = 0.5 * (texel(x - 1, y, 0) + texel(x, y, 0)),
                     alpha = 0.5 * (texel(x - 1, y, 3) + texel(x, y, 3));
        return red * alpha / 255.0;
    };

    const int originX = 40, originY = 60;
    for (const bool halfPixel : {false, true}) {
        glClear(GL_COLOR_BUFFER_BIT);
        CSpriteBatch batch;
        batch.begin();
        batch.addScreenQuads(layout.getQuads().data(), layout.getQuads().size(),
                             float(originX) + (halfPixel ? 0.5f : 0.0f), float(originY), 1, 1, 1, 1);
        batch.end();
        GLint minFilter = 0, magFilter = 0;
        glBindTexture(GL_TEXTURE_2D, page);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        glBindTexture(GL_TEXTURE_2D, 0);
        EXPECT_EQ(GL_LINEAR, minFilter);
        EXPECT_EQ(GL_LINEAR, magFilter);

        // Only the pixels one glyph covers; half a pixel off, not a box's first column, which samples
        // the texel beside the box.
        long checked = 0, inked = 0, wrong = 0;
        for (std::size_t g = 0; g < quads.size(); ++g) {
            const CTextQuad& q = quads[g];
            if (q.texture != page)
                continue;
            const int x0 = int(q.x0), y0 = int(q.y0), w = int(q.x1 - q.x0), h = int(q.y1 - q.y0);
            const int s0 = int(std::lround(q.s0 * float(side))), t0 = int(std::lround(q.t0 * float(side)));
            for (int y = 0; y < h; ++y)
                for (int x = halfPixel ? 1 : 0; x < w; ++x) {
                    const int px = x0 + x, py = y0 + y;
                    bool shared = false;
                    for (std::size_t o = 0; o < quads.size() && !shared; ++o)
                        shared = o != g && px >= int(quads[o].x0) - 1 && px < int(quads[o].x1) + 1 &&
                                 py >= int(quads[o].y0) && py < int(quads[o].y1);
                    if (shared)
                        continue;
                    const double expected = expectedRed(s0 + x, t0 + y, halfPixel);
                    const Rgba got = readPixel(originX + px, originY + py);
                    ++checked;
                    inked += expected > 32.0;
                    wrong += std::fabs(double(got.r) - expected) > (halfPixel ? 2.0 : 1.0);
                }
        }
        EXPECT_GT(checked, 500) << (halfPixel ? "half a pixel off" : "whole pixels");
        EXPECT_GT(inked, 100);
        EXPECT_EQ(0, wrong) << (halfPixel ? "half a pixel off" : "whole pixels");
    }
}

// Scrolled far into a large map, the matrices still move by whole pixels: the offset's float error
// (thousandths of a pixel) moves no sample off its texel, so tile maps keep drawing texel for pixel
// there instead of falling back to inset, linearly sampled tiles. Half a pixel is no whole pixel.
TEST_F(BatchDraws, FarScrolledMatricesStillMoveByWholePixels)
{
    // The views of a 32,000-pixel map, 5 by 3 pixels a step as the benchmark scrolls it, in a
    // 1000 by 720 viewport, whose projection's scale (2 / 720) is no power of two.
    glViewport(0, 0, 1000, 720);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 1000.0, 720.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    int notWhole = 0;
    for (int step = 0; step < 6000; step += 7) {
        glLoadIdentity();
        glTranslatef(-float(step * 5), -float(step * 3), 0.0f);
        notWhole += !CSpriteBatch::matricesMoveByWholePixels();
    }
    EXPECT_EQ(0, notWhole);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, kWidth, kHeight);
    glLoadIdentity();
    glTranslatef(-30000.0f, -20000.0f, 0.0f);
    CSpriteBatch batch;
    batch.begin();
    batch.add(*texture, 30100.0f, 20100.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    batch.end();
    const std::vector<uint8_t> pixels = patternPixels(32, 32);
    long wrong = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint8_t* p = &pixels[(std::size_t(y) * 32 + std::size_t(x)) * 4];
            const Rgba got = readPixel(100 + x, 100 + y);
            wrong += std::abs(int(got.r) - (p[0] * p[3] + 127) / 255) > 1 ||
                     std::abs(int(got.g) - (p[1] * p[3] + 127) / 255) > 1;
        }
    EXPECT_EQ(0, wrong);
    glTranslatef(0.5f, 0.0f, 0.0f);
    EXPECT_FALSE(CSpriteBatch::matricesMoveByWholePixels());
}

// Once a batch and its texts have seen their largest frame, a frame of sprites, flipped tiles, a
// glyph-sheet string, retained TrueType text added to the batch and drawn by itself allocates
// nothing through operator new.
TEST_F(BatchDraws, AWarmedUpFrameAllocatesNothing)
{
    CFont* sans = g_pFontManager->loadTrueTypeFont(kSans, nullptr, 16);
    ASSERT_NE(nullptr, sans);
    CFont* sheet = g_pFontManager->getFont(1);
    ASSERT_NE(nullptr, sheet);
    std::vector<CText> lines;
    for (int i = 0; i < 40; ++i) {
        lines.emplace_back(sans, "Line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog",
                           16);
        lines.back().setPosition(float(10 + i % 7), float(10 + 18 * i));
    }
    CText alone(sans, "Drawn by itself", 16);
    CSpriteBatch batch;
    auto frame = [&](int n) {
        glClear(GL_COLOR_BUFFER_BIT);
        batch.begin();
        for (int i = 0; i < 400; ++i) {
            const Placed p = placed(i + n);
            batch.add(*texture, p.x, p.y, p.scale, float(i % 9) * 10.0f, p.red, p.green, p.blue, p.alpha);
        }
        for (int i = 0; i < 50; ++i)
            batch.addFlippedRegion(*texture, float(32 * (i % 20)), 500.0f + float(32 * (i / 20)), 32.0f, 32.0f,
                                   kWholeImage, i % 2 == 0, i % 3 == 0, i % 5 == 0, 1, 1, 1, 1);
        sheet->addTo(batch, 10.0f, 700.0f, 0, "A glyph-sheet string");
        for (CText& line : lines) {
            line.setColour(1.0f, 1.0f, float(n % 2), 1.0f);
            line.addTo(batch);
        }
        batch.end();
        alone.setPosition(float(600 + n), 700.0f);
        alone.draw();
    };
    for (int n = 0; n < 3; ++n)
        frame(n);
    // backtrace() loads its unwinder at its first call.
    void* warm[2];
    backtrace(warm, 2);
    newCalls = 0;
    countingNew = true;
    for (int n = 3; n < 8; ++n)
        frame(n);
    countingNew = false;
    EXPECT_EQ(0, newCalls.load());
    EXPECT_GT(batch.getQuadCount(), 2000u);

    // The counter does count: a frame whose batch must grow allocates.
    countingNew = true;
    batch.begin();
    for (int i = 0; i < 20000; ++i)
        batch.add(*texture, 0.0f, 0.0f, 1.0f, 0.0f, 1, 1, 1, 1);
    countingNew = false;
    batch.end();
    EXPECT_GT(newCalls.load(), 0);
}

}  // namespace
