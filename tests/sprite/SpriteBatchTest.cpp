// The sprite batch against the one-by-one paths: the same scene drawn through CTexture::draw and
// CFont::print/printAt, then through a batch, compared pixel by pixel from the back buffer; the GL
// state a batch leaves; what an unloaded texture or a missing glyph sheet adds.
#include "engine/sprite/SpriteBatch.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

using namespace testing_support;

namespace {

const int kWidth = 1024;
const int kHeight = 768;

std::vector<uint8_t> readBackBuffer()
{
    return readBackRgba(0, 0, kWidth, kHeight);
}

// Pixels whose colour differs by more than one step in any channel, with the first few named.
::testing::AssertionResult sameColours(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& got)
{
    long differing = 0, lit = 0;
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (std::size_t i = 0; i < expected.size(); i += 4) {
        if (expected[i] + expected[i + 1] + expected[i + 2] != 0)
            ++lit;
        bool differs = false;
        for (int c = 0; c < 3; ++c)
            differs = differs || std::abs(int(expected[i + c]) - int(got[i + c])) > 1;
        if (differs && ++differing <= 5) {
            const std::size_t pixel = i / 4;
            result << "(" << pixel % kWidth << ", " << kHeight - 1 - pixel / kWidth << ") expected "
                   << int(expected[i]) << "," << int(expected[i + 1]) << "," << int(expected[i + 2]) << " got "
                   << int(got[i]) << "," << int(got[i + 1]) << "," << int(got[i + 2]) << "; ";
        }
    }
    if (lit < 1000)
        return ::testing::AssertionFailure() << "the scene drew almost nothing (" << lit << " pixels)";
    if (differing == 0)
        return ::testing::AssertionSuccess();
    return result << differing << " pixels differ";
}

// RGBA bytes with every texel different and alpha varying, so that filtering, tint, blending and
// orientation all show in the result.
SDL_Surface* patternSurface(int w, int h, int seed)
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Uint8* p = static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * 4;
            p[0] = Uint8(x * 255 / (w - 1));
            p[1] = Uint8(y * 255 / (h - 1));
            p[2] = Uint8((x * 7 + y * 13 + seed) * 5);
            p[3] = Uint8((x + y) % 4 == 0 ? 96 : 255);
        }
    }
    return surface;
}

class SpriteBatch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sharedEngine();
        a.reset(new CTexture());
        a->upload(patternSurface(32, 32, 0));
        a->shader = g_pShaderManager->getShader(0);
        b.reset(new CTexture());
        b->upload(patternSurface(16, 8, 3));
        b->shader = g_pShaderManager->getShader(0);
        // Drawn wider than the image: the batch must not take it for texel-for-pixel.
        stretched.reset(new CTexture());
        stretched->upload(patternSurface(16, 8, 5));
        stretched->shader = g_pShaderManager->getShader(0);
        stretched->setWidth(40.0f);
    }
    static void TearDownTestSuite()
    {
        a.reset();
        b.reset();
        stretched.reset();
    }

    void SetUp() override
    {
        g_pGraphicsCore->set2DState();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        font = g_pFontManager->getFont(1);
        ASSERT_NE(nullptr, font);
    }
    void TearDown() override
    {
        font->setColour(1.0f, 1.0f, 1.0f, 1.0f);
        font->setScale(1.0f, 1.0f);
        glLoadIdentity();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    // Draws the scene one by one (batch null) or through the batch, and returns the frame.
    std::vector<uint8_t> scene(CSpriteBatch* batch)
    {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // A camera's offset: quads follow the model-view (the batch's as it stands at end()),
        // strings take their own window-pixel projection whatever it holds.
        glLoadIdentity();
        glTranslatef(40.0f, 20.0f, 0.0f);
        auto quad = [&](CTexture& t, float x, float y, float scale, float angle, float r, float g, float bl,
                        float al) {
            if (batch)
                batch->add(t, x, y, scale, angle, r, g, bl, al);
            else
                t.draw(x, y, scale, angle, r, g, bl, al);
        };
        auto region = [&](CTexture& t, float x, float y, CTextureRegion part, float scale, float angle, float r,
                          float g, float bl, float al) {
            if (batch)
                batch->addRegion(t, x, y, part, scale, angle, r, g, bl, al);
            else
                t.drawRegion(x, y, part, scale, angle, r, g, bl, al);
        };
        if (batch)
            batch->begin();
        quad(*a, 10, 10, 1, 0, 1, 1, 1, 1);
        quad(*a, 60, 10, 1, 0, 1, 0.5f, 0.25f, 1);
        quad(*b, 70, 20, 1, 0, 1, 1, 1, 0.5f);  // over the previous quad: order counts
        quad(*a, 110, 10, 2, 0, 1, 1, 1, 1);
        quad(*a, 200, 10, 1.5f, 30, 0.2f, 0.9f, 0.7f, 0.8f);
        region(*b, 280, 20, CTextureRegion{1, 0.5f, 0, 0}, 3, -45, 1, 1, 1, 1);
        region(*a, 360, 10, CTextureRegion{0.75f, 0.75f, 0.25f, 0.25f}, 2, 0, 0.5f, 1, 1, 0.9f);
        quad(*a, 20.5f, 100.25f, 1, 0, 1, 1, 1, 1);
        quad(*b, 60.75f, 100.5f, 2.5f, 170, 1, 0.3f, 0.6f, 0.7f);
        quad(*stretched, 150, 100, 1, 0, 1, 1, 1, 1);
        region(*b, 200, 100, CTextureRegion{1, 0.75f, 0.25f, 0.25f}, 1, 0, 1, 1, 1, 1);
        quad(*a, 0, 200, 1, 90, 1, 1, 1, 1);
        quad(*b, 50, 200, 2, 0, 0.8f, 0.8f, 1, 1);
        font->setColour(1.0f, 0.8f, 0.3f, 0.9f);
        font->setScale(1.0f, 1.0f);
        if (batch) {
            font->addTo(*batch, 10, 300, 0, "Plain text, 0123456789");
            font->addTo(*batch, 10.5f, 320, 2, "Bold\xc3\xa9 pass");
            font->addTo(*batch, 300, 300, 1, 0.3f, 1.0f, 0.6f, 0.7f, 2.0f, 1.5f, "Second set");
            font->addTo(*batch, 300, 340, 3, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, "Bold two");
        } else {
            font->print(10, 300, 0, "Plain text, 0123456789");
            font->printAt(10.5f, 320, 2, "Bold\xc3\xa9 pass");
            font->printStyled(300, 300, 1, 0.3f, 1.0f, 0.6f, 0.7f, 2.0f, 1.5f, "Second set");
            font->printStyled(300, 340, 3, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, "Bold two");
        }
        // A quad after the strings, partly over them.
        quad(*a, 280, 95, 1, 0, 1, 1, 1, 0.6f);
        if (batch)
            batch->end();
        glLoadIdentity();
        return readBackBuffer();
    }

    static void setScissor(bool on)
    {
        if (on)
            glEnable(GL_SCISSOR_TEST);
        else
            glDisable(GL_SCISSOR_TEST);
    }

    static std::unique_ptr<CTexture> a;
    static std::unique_ptr<CTexture> b;
    static std::unique_ptr<CTexture> stretched;
    CFont* font = nullptr;
};

std::unique_ptr<CTexture> SpriteBatch::a;
std::unique_ptr<CTexture> SpriteBatch::b;
std::unique_ptr<CTexture> SpriteBatch::stretched;

}  // namespace

// Pixels

TEST_F(SpriteBatch, DrawsTheSamePixelsAsTheOneByOnePaths)
{
    const std::vector<uint8_t> oneByOne = scene(nullptr);
    CSpriteBatch batch;
    EXPECT_TRUE(sameColours(oneByOne, scene(&batch)));
    // Fourteen quads and 63 glyphs, blanks left out (the bold strings twice; bytes above 127 name
    // glyphs in set 0, as in a print). One draw per change of texture: a b a b a b stretched b a b, the strings,
    // a.
    EXPECT_EQ(14u + 20u + 2u * 10u + 9u + 2u * 7u, batch.getQuadCount());
    EXPECT_EQ(12u, batch.getDrawCallCount());
    // A second frame through the same batch draws the same again.
    EXPECT_TRUE(sameColours(oneByOne, scene(&batch)));
}

TEST_F(SpriteBatch, DrawsTheSamePixelsWithoutShaderZero)
{
    // Without a linked program both paths fall back to the fixed-function pipeline.
    CShader* shader = a->shader;
    CShader* fontShader = font->shader;
    a->shader = b->shader = font->shader = nullptr;
    const std::vector<uint8_t> oneByOne = scene(nullptr);
    CSpriteBatch batch;
    const std::vector<uint8_t> batched = scene(&batch);
    a->shader = b->shader = shader;
    font->shader = fontShader;
    EXPECT_TRUE(sameColours(oneByOne, batched));
}

TEST_F(SpriteBatch, HonoursAClippingScissorBoxAsThePrintDoes)
{
    // Quads are clipped only while the application has the scissor test on; a print switches it
    // on itself, so strings are clipped by the box either way.
    glScissor(0, kHeight - 330, 150, 330);
    for (bool scissorOn : {true, false}) {
        SCOPED_TRACE(scissorOn ? "scissor on" : "scissor off");
        setScissor(scissorOn);
        const std::vector<uint8_t> oneByOne = scene(nullptr);
        setScissor(scissorOn);
        CSpriteBatch batch;
        EXPECT_TRUE(sameColours(oneByOne, scene(&batch)));
        EXPECT_EQ(GLboolean(scissorOn), glIsEnabled(GL_SCISSOR_TEST));
    }
    glScissor(0, 0, kWidth, kHeight);
}

// State

TEST_F(SpriteBatch, LeavesTheStateTheOneByOnePathLeavesWhateverTheApplicationLeftCurrent)
{
    // State the fixed-function pipeline would apply but shader 0 ignores, and state the batch
    // skips while drawing.
    CShader* other = g_pShaderManager->getShader(3);
    ASSERT_NE(0u, other->getProgram());
    other->enable();
    glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_LIGHTING);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, b->id);
    glActiveTextureARB(GL_TEXTURE2_ARB);

    CSpriteBatch batch;
    batch.begin();
    batch.add(*a, 500, 500, 1, 0, 1, 0.5f, 0.25f, 1);
    batch.end();
    EXPECT_EQ(1u, batch.getDrawCallCount());

    EXPECT_EQ(0u, glGetHandleARB(GL_PROGRAM_OBJECT_ARB));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ((std::vector<GLfloat>{1, 1, 1, 1}), std::vector<GLfloat>(colour, colour + 4));
    GLint unit = 0, mode = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    EXPECT_EQ(GL_TEXTURE0_ARB, unit);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(GL_REPLACE, mode);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    // Drawn texel for pixel, with the texture's own filters back afterwards.
    GLint minFilter = 0, magFilter = 0;
    glBindTexture(GL_TEXTURE_2D, a->id);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(GL_LINEAR, minFilter);
    EXPECT_EQ(GL_LINEAR, magFilter);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_LIGHTING);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());

    // None of it reached the pixels: the tinted texel as shader 0 draws it.
    std::vector<uint8_t> batched = readBackBuffer();
    glClear(GL_COLOR_BUFFER_BIT);
    a->draw(500, 500, 1, 0, 1, 0.5f, 0.25f, 1);
    EXPECT_TRUE(sameColours(readBackBuffer(), batched));
}

// Nothing to draw

TEST_F(SpriteBatch, UnloadedTexturesAndMissingSheetsAddNothing)
{
    CTexture unloaded;
    CFont noSheet;
    CSpriteBatch batch;
    batch.begin();
    batch.add(*a, 10, 10, 1, 0, 1, 1, 1, 1);
    batch.add(unloaded, 10, 10, 1, 0, 1, 1, 1, 1);
    batch.addRegion(unloaded, 10, 10, CTextureRegion{1, 1, 0, 0}, 1, 0, 1, 1, 1, 1);
    noSheet.addTo(batch, 10, 10, 0, "text");
    font->addTo(batch, 10, 10, 0, nullptr);
    batch.add(*a, 50, 10, 1, 0, 1, 1, 1, 1);
    EXPECT_EQ(2u, batch.getQuadCount());
    batch.end();
    // The unloaded texture did not split the run.
    EXPECT_EQ(1u, batch.getDrawCallCount());

    // An empty batch draws nothing and touches no state.
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    batch.begin();
    batch.add(unloaded, 10, 10, 1, 0, 1, 1, 1, 1);
    batch.end();
    EXPECT_EQ(0u, batch.getDrawCallCount());
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(0.5f, colour[0]);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(0, readPixel(20, 20).r + readPixel(20, 20).g + readPixel(20, 20).b);
}
