// The GL state a texture's draws leave and meet: the quads' winding under face culling, and the
// texture unit they bind on.
#include "engine/core/Registry.h"
#include "engine/shader/ShaderManager.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

using namespace testing_support;

namespace {

SDL_Surface* solid(uint8_t r, uint8_t g, uint8_t b)
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, r, g, b, 255));
    return surface;
}

class TextureDrawState : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedBlankFrame();
    }
    void TearDown() override
    {
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
};

}  // namespace

TEST_F(TextureDrawState, AGlyphWoundOverlaySurvivesFaceCullingWithTexturesAndText)
{
    // A 3D scene culls back faces; the 2D overlay drawn after it keeps textures and text alike.
    std::unique_ptr<CTexture> red(new CTexture());
    red->upload(solid(255, 0, 0));
    red->shader = g_pShaderManager->getShader(0);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    red->draw(100.0f, 100.0f, 4.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    red->drawRegion(300.0f, 100.0f, CTextureRegion{1.0f, 1.0f, 0.0f, 0.0f}, 4.0f, 30.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    g_pFontManager->getFont(1)->print(500, 100, 0, "MMMM");
    CSpriteBatch batch;  // the batched path sends the same corners
    batch.begin();
    batch.add(*red, 700.0f, 100.0f, 4.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    batch.end();
    glDisable(GL_CULL_FACE);
    EXPECT_EQ(255, readPixel(116, 116).r);
    EXPECT_EQ(255, readPixel(316, 116).r);
    EXPECT_EQ(255, readPixel(716, 116).r);
    int lit = 0;
    for (int x = 500; x < 548; ++x)
        for (int y = 100; y < 116; ++y)
            lit += readPixel(x, y).g > 100 ? 1 : 0;
    EXPECT_GT(lit, 40) << "the text was culled too";
}

TEST_F(TextureDrawState, DrawsBindOnUnitZeroAfterABindToAnotherUnit)
{
    std::unique_ptr<CTexture> green(new CTexture());
    green->upload(solid(0, 255, 0));
    green->shader = g_pShaderManager->getShader(0);
    std::unique_ptr<CTexture> blue(new CTexture());
    blue->upload(solid(0, 0, 255));
    blue->shader = g_pShaderManager->getShader(0);

    blue->draw(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);  // unit 0 holds blue
    green->bindToUnit(1);
    glDisable(GL_TEXTURE_2D);
    green->draw(200.0f, 200.0f, 2.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    const Rgba drawn = readPixel(208, 208);
    EXPECT_EQ(0, drawn.b);
    EXPECT_EQ(255, drawn.g) << "the previous texture was drawn instead";
}
