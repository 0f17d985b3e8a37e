// The texture list: identity by GL name, removal, and textures leaving it when destroyed.
#include "engine/texture/TextureManager.h"
#include "engine/core/Registry.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

// A 2 by 2 texture of one opaque colour (pure red unless told otherwise).
CTexture* newUploadedTexture(Uint8 red = 255, Uint8 green = 0, Uint8 blue = 0)
{
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    SDL_FillRect(surface, nullptr, SDL_MapRGBA(surface->format, red, green, blue, 255));
    CTexture* texture = new CTexture();
    texture->upload(surface);
    return texture;
}

// Draws the texture 8 times its size at (40, 40) on black and reads the middle of it back: the
// texture's own colour only while its GL texture still holds the image.
Rgba drawnColour(CTexture& texture)
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    texture.draw(40.0f, 40.0f, 8.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    return readPixel(48, 48);
}

bool isPureRed(const Rgba& pixel)
{
    return pixel.r >= 250 && pixel.g <= 5 && pixel.b <= 5;
}

class TextureList : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        base = g_pTextureManager->getTextureCount();
    }
    CTexture* entry(int index) const
    {
        return g_pTextureManager->getTexture(base + index);
    }
    int added() const
    {
        return g_pTextureManager->getTextureCount() - base;
    }

    int base = 0;
};

}  // namespace

TEST_F(TextureList, AnUploadRegistersOnceHoweverOftenItIsAdded)
{
    CTexture* texture = newUploadedTexture();
    EXPECT_EQ(1, added());
    g_pTextureManager->addTexture(texture);
    EXPECT_EQ(1, added());
    EXPECT_EQ(texture, entry(0));
    delete texture;
    EXPECT_EQ(0, added());
}

TEST_F(TextureList, RemovingTheMiddleOfThreeKeepsTheOthersInOrder)
{
    CTexture* first = newUploadedTexture();
    CTexture* middle = newUploadedTexture();
    CTexture* last = newUploadedTexture();
    ASSERT_EQ(3, added());
    g_pTextureManager->removeTexture(middle);  // deletes it; the sanitizer build sees a double delete
    ASSERT_EQ(2, added());
    EXPECT_EQ(first, entry(0));
    EXPECT_EQ(last, entry(1));
    delete first;
    delete last;
    EXPECT_EQ(0, added());
}

TEST_F(TextureList, RemovingAnUnlistedTextureNeitherUnlistsNorDeletesIt)
{
    CTexture* listed = newUploadedTexture();
    CTexture unlisted;  // never uploaded: GL name 0, never listed
    g_pTextureManager->removeTexture(&unlisted);
    g_pTextureManager->removeTexture(nullptr);
    EXPECT_EQ(1, added());
    EXPECT_EQ(0u, unlisted.id);  // still alive: reading it is fine under the sanitizers
    delete listed;
}

TEST_F(TextureList, AFailedLoadIsNeverListed)
{
    CStdoutCapture quiet;
    quiet.start();
    CTexture missing("no/such/file.png");
    quiet.lines();
    EXPECT_EQ(0, added());
    CTexture* texture = newUploadedTexture();
    EXPECT_TRUE(isPureRed(drawnColour(*texture)));
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    EXPECT_EQ(1, added());
    delete texture;
}

TEST_F(TextureList, AManagerDestroyedBeforeItsTexturesLeavesThemUsable)
{
    CTextureManager* saved = g_pTextureManager;
    CTextureManager* local = new CTextureManager();
    g_pTextureManager = local;
    CTexture* texture = newUploadedTexture();
    EXPECT_EQ(1, local->getTextureCount());
    g_pTextureManager = nullptr;
    delete local;
    // Still drawn with its own image after the manager that listed it is gone.
    EXPECT_TRUE(isPureRed(drawnColour(*texture)));
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    delete texture;  // no manager to leave any more
    g_pTextureManager = saved;
}
