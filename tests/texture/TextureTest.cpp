// Textures loaded from real files or built from SDL surfaces of every layout, drawn through shader 0
// and read back from the back buffer.
#include "engine/texture/Texture.h"
#include "engine/core/Registry.h"
#include "engine/shader/ShaderManager.h"
#include "engine/texture/TextureManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const Rgba kRed = {255, 0, 0, 255};
const Rgba kGreen = {0, 255, 0, 255};
const Rgba kBlue = {0, 0, 255, 255};
const Rgba kYellow = {255, 255, 0, 255};
const Rgba kBlack = {0, 0, 0, 0};

bool near(const Rgba& a, const Rgba& b, int tolerance = 2)
{
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

::testing::AssertionResult pixelIs(int x, int y, const Rgba& expected, int tolerance = 2)
{
    const Rgba got = readPixel(x, y);
    if (near(got, expected, tolerance))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is (" << int(got.r) << ", " << int(got.g) << ", " << int(got.b)
           << "), expected (" << int(expected.r) << ", " << int(expected.g) << ", " << int(expected.b) << ")";
}

// An 8 by 4 RGBA surface whose left half is red on the top row and green below, and whose right
// half is blue on the top row and yellow below: quadrants tell position and orientation apart.
SDL_Surface* quadrantSurface()
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 4, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            const Rgba c = x < 4 ? (y < 2 ? kRed : kGreen) : (y < 2 ? kBlue : kYellow);
            Uint8* p = static_cast<Uint8*>(surface->pixels) + y * surface->pitch + x * 4;
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
            p[3] = 255;
        }
    }
    return surface;
}

// Fills a surface of any layout with the quadrant picture through SDL's own colour mapping.
SDL_Surface* quadrantIn(int bits, Uint32 r, Uint32 g, Uint32 b, Uint32 a)
{
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 4, bits, r, g, b, a);
    if (bits == 8) {
        SDL_Color colours[4] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 0, 0}};
        SDL_SetColors(surface, colours, 0, 4);
    }
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            const Rgba c = x < 4 ? (y < 2 ? kRed : kGreen) : (y < 2 ? kBlue : kYellow);
            SDL_Rect pixel = {Sint16(x), Sint16(y), 1, 1};
            SDL_FillRect(surface, &pixel, SDL_MapRGBA(surface->format, c.r, c.g, c.b, 255));
        }
    }
    return surface;
}

class Textures : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedBlankFrame();
    }
    void TearDown() override
    {
        expectCleanState();
    }

    static void expectCleanState()
    {
        EXPECT_EQ(0u, glGetHandleARB(GL_PROGRAM_OBJECT_ARB));
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_FLOAT_EQ(1.0f, colour[0]);
        EXPECT_FLOAT_EQ(1.0f, colour[1]);
        EXPECT_FLOAT_EQ(1.0f, colour[2]);
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    static std::unique_ptr<CTexture> uploaded(SDL_Surface* surface)
    {
        std::unique_ptr<CTexture> texture(new CTexture());
        texture->upload(surface);
        // An uploaded surface once drew through the fixed-function fallback: no shader was set.
        EXPECT_EQ(g_pShaderManager->getShader(0), texture->shader);
        return texture;
    }

    static void expectQuadrants(int x, int y, int scale = 1)
    {
        EXPECT_TRUE(pixelIs(x, y, kRed));
        EXPECT_TRUE(pixelIs(x + 3 * scale, y + 1 * scale, kRed));
        EXPECT_TRUE(pixelIs(x, y + 3 * scale, kGreen));
        EXPECT_TRUE(pixelIs(x + 7 * scale, y, kBlue));
        EXPECT_TRUE(pixelIs(x + 8 * scale - 1, y + 4 * scale - 1, kYellow));
    }
};

}  // namespace

TEST_F(Textures, DrawCoversExactlyItsRectangleUpright)
{
    std::unique_ptr<CTexture> texture = uploaded(quadrantSurface());
    EXPECT_FLOAT_EQ(8.0f, texture->getWidth());
    EXPECT_FLOAT_EQ(4.0f, texture->getHeight());
    texture->draw(100.0f, 50.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    expectQuadrants(100, 50);
    EXPECT_TRUE(pixelIs(99, 50, kBlack));
    EXPECT_TRUE(pixelIs(108, 50, kBlack));
    EXPECT_TRUE(pixelIs(100, 49, kBlack));
    EXPECT_TRUE(pixelIs(100, 54, kBlack));
    // The CVector2 overload draws the same.
    texture->draw(CVector2(200.0f, 60.0f), 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    expectQuadrants(200, 60);
}

TEST_F(Textures, TheColourTintsAndTheAlphaBlends)
{
    SDL_Surface* white =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    SDL_FillRect(white, nullptr, 0xFFFFFFFF);
    std::unique_ptr<CTexture> texture = uploaded(white);

    texture->draw(10.0f, 10.0f, 1.0f, 0.0f, 1.0f, 0.5f, 0.25f, 1.0f);
    EXPECT_TRUE(pixelIs(11, 11, Rgba{255, 128, 64, 255}));

    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    texture->draw(10.0f, 10.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.5f);
    EXPECT_TRUE(pixelIs(11, 11, Rgba{128, 128, 255, 255}));

    texture->setAlpha(0.25f);
    texture->drawWithAlpha(20.0f, 10.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_TRUE(pixelIs(21, 11, Rgba{64, 0, 191, 255}));
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

TEST_F(Textures, TransparentTexelsLeaveTheBackground)
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, 255, 255, 255, 0));
    SDL_Rect opaque = {0, 0, 2, 4};
    SDL_FillRect(surface, &opaque, SDL_MapRGBA(surface->format, 255, 0, 0, 255));
    std::unique_ptr<CTexture> texture = uploaded(surface);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    texture->draw(30.0f, 30.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(pixelIs(30, 31, kRed));
    EXPECT_TRUE(pixelIs(33, 31, kGreen));
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

TEST_F(Textures, AScaleOtherThanOneScalesAboutTheTopLeftCorner)
{
    std::unique_ptr<CTexture> texture = uploaded(quadrantSurface());
    texture->draw(300.0f, 100.0f, 2.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    // Magnified texels blend with their neighbours (and across the repeating edge), so look at the
    // middle of each quadrant.
    EXPECT_TRUE(pixelIs(302, 102, kRed));
    EXPECT_TRUE(pixelIs(302, 105, kGreen));
    EXPECT_TRUE(pixelIs(312, 102, kBlue));
    EXPECT_TRUE(pixelIs(312, 105, kYellow));
    EXPECT_FALSE(near(readPixel(315, 107), kBlack));
    EXPECT_TRUE(pixelIs(316, 100, kBlack));
    EXPECT_TRUE(pixelIs(300, 108, kBlack));
    EXPECT_TRUE(pixelIs(299, 100, kBlack));
}

TEST_F(Textures, AStretchedSizeStillShowsTheWholeImage)
{
    std::unique_ptr<CTexture> texture = uploaded(quadrantSurface());
    texture->setWidth(2.0f * texture->getWidth());
    texture->draw(400.0f, 100.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(pixelIs(403, 101, kRed));
    EXPECT_TRUE(pixelIs(412, 101, kBlue));
    EXPECT_FALSE(near(readPixel(415, 100), kBlack));
    EXPECT_TRUE(pixelIs(416, 100, kBlack));
    EXPECT_TRUE(pixelIs(400, 104, kBlack));
}

TEST_F(Textures, ARegionDrawsItsPartAtItsShareOfTheSize)
{
    std::unique_ptr<CTexture> texture = uploaded(quadrantSurface());
    texture->drawRegion(500.0f, 100.0f, CTextureRegion{1.0f, 1.0f, 0.0f, 0.0f}, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f,
                        1.0f);
    expectQuadrants(500, 100);
    texture->drawRegion(600.0f, 100.0f, CTextureRegion{1.0f, 0.5f, 0.0f, 0.0f}, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f,
                        1.0f);
    EXPECT_TRUE(pixelIs(600, 100, kRed));
    EXPECT_TRUE(pixelIs(603, 103, kGreen));
    EXPECT_TRUE(pixelIs(604, 100, kBlack));
}

TEST_F(Textures, ANonZeroAngleTurnsTheQuadAboutItsCentre)
{
    std::unique_ptr<CTexture> texture = uploaded(quadrantSurface());
    // 8 by 4 at (700, 100) has its centre at (704, 102); a quarter turn makes it 4 by 8 around it.
    texture->draw(700.0f, 100.0f, 1.0f, 90.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(pixelIs(700, 101, kBlack));  // where the unturned quad would have started
    EXPECT_TRUE(pixelIs(701, 102, kBlack));
    EXPECT_TRUE(pixelIs(707, 102, kBlack));
    EXPECT_FALSE(near(readPixel(704, 98), kBlack));
    EXPECT_FALSE(near(readPixel(704, 105), kBlack));
}

TEST_F(Textures, OtherSurfaceLayoutsAreConvertedBeforeTheUpload)
{
    struct Layout {
        const char* name;
        int bits;
        Uint32 r, g, b, a;
    };
    const Layout layouts[] = {
        {"palettised", 8, 0, 0, 0, 0},
        {"16-bit 565", 16, 0xF800, 0x07E0, 0x001F, 0},
        {"24-bit blue first", 24, 0xFF0000, 0x00FF00, 0x0000FF, 0},
        {"32-bit without alpha", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0},
        {"32-bit blue first with alpha", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
        {"24-bit red first", 24, 0x0000FF, 0x00FF00, 0xFF0000, 0},
    };
    int x = 20;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        glClear(GL_COLOR_BUFFER_BIT);
        std::unique_ptr<CTexture> texture =
            uploaded(quadrantIn(layout.bits, layout.r, layout.g, layout.b, layout.a));
        texture->draw(float(x), 200.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
        expectQuadrants(x, 200);
        x += 20;
    }
}

TEST_F(Textures, AColourKeyBecomesTransparent)
{
    SDL_Surface* surface = quadrantIn(8, 0, 0, 0, 0);
    SDL_SetColorKey(surface, SDL_SRCCOLORKEY, 1);  // palette entry 1 is green
    std::unique_ptr<CTexture> texture = uploaded(surface);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    texture->draw(40.0f, 300.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(pixelIs(40, 300, kRed));
    EXPECT_TRUE(pixelIs(40, 303, Rgba{255, 255, 255, 255}));
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

TEST_F(Textures, AMissingFileLogsTwoLinesAndDrawsNothingWithoutChangingState)
{
    CStdoutCapture capture;
    capture.start();
    CTexture texture("Data/no_such_image.png");
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Loading Texture: Data/no_such_image.png", lines[0]);
    const std::string failure = "Failed to load the image: Data/no_such_image.png, Error: ";
    EXPECT_EQ(failure, lines[1].substr(0, failure.size()));
    EXPECT_GT(lines[1].size(), failure.size());
    EXPECT_EQ(0u, texture.id);
    EXPECT_FLOAT_EQ(0.0f, texture.getWidth());
    EXPECT_FLOAT_EQ(0.0f, texture.getHeight());
    EXPECT_TRUE(texture.fileName.empty());
    EXPECT_EQ(nullptr, texture.shader);

    std::unique_ptr<CTexture> other = uploaded(quadrantSurface());
    glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
    GLint boundBefore = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundBefore);
    texture.draw(10.0f, 10.0f, 2.0f, 45.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    texture.drawRegion(10.0f, 10.0f, CTextureRegion{1, 1, 0, 0}, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    GLint boundAfter = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundAfter);
    EXPECT_EQ(boundBefore, boundAfter);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(0.5f, colour[0]);
    EXPECT_TRUE(pixelIs(12, 12, kBlack));
    glColor3f(1.0f, 1.0f, 1.0f);
}

TEST_F(Textures, LoadsAPngWithItsAlphaAndRegistersEachLoad)
{
    const std::string dir = makeTempDir();
    writeSolidPng(dir + "/half.png", 4, 4, "rgba(255,0,0,0.5)");
    const int before = g_pTextureManager->getTextureCount();
    CStdoutCapture quiet;
    quiet.start();
    {
        CTexture first(dir + "/half.png");
        CTexture second(dir + "/half.png", 0.25f);
        quiet.lines();
        EXPECT_NE(0u, first.id);
        EXPECT_NE(first.id, second.id);
        EXPECT_EQ(dir + "/half.png", first.fileName);
        EXPECT_FLOAT_EQ(1.0f, first.getAlpha());
        EXPECT_FLOAT_EQ(0.25f, second.getAlpha());
        EXPECT_EQ(g_pShaderManager->getShader(0), first.shader);
        EXPECT_EQ(before + 2, g_pTextureManager->getTextureCount());

        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        first.draw(50.0f, 400.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
        EXPECT_TRUE(pixelIs(51, 401, Rgba{128, 0, 127, 255}));
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    }
    // Destroyed textures leave the list: it never holds a dangling pointer.
    EXPECT_EQ(before, g_pTextureManager->getTextureCount());
}

TEST_F(Textures, BindToUnitBindsAndModulates)
{
    std::unique_ptr<CTexture> texture = uploaded(quadrantSurface());
    texture->bindToUnit(1);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLint(texture->id), bound);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(GL_MODULATE, mode);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0_ARB);
}
