// The custom mouse cursor: hiding the system one, drawing the chosen image at the real pointer
// through the engine's frame update, replacing images and failing to load one.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/input/EventManager.h"
#include "engine/texture/Texture.h"
#include "engine/texture/TextureManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

using namespace testing_support;

namespace {

class Cursor : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sharedEngine();
        dir = makeTempDir();
        writeSolidPng(dir + "/red.png", 8, 8, "#ff0000");
        writeSolidPng(dir + "/green.png", 8, 8, "#00ff00");
        writeSolidPng(dir + "/blue.png", 8, 8, "#0000ff");
    }

    void SetUp() override
    {
        core = g_pGraphicsCore;
    }
    void TearDown() override
    {
        clearCursors();
        core->showCursor(true);
    }

    static std::string file(const char* name)
    {
        return dir + "/" + name;
    }
    // The loaders, by file name in the test folder, with their texture log lines kept out of the
    // test output; each returns those lines.
    template <typename Load>
    static std::string quietly(Load load)
    {
        CStdoutCapture capture;
        capture.start();
        load();
        return capture.text();
    }
    std::string load(const char* name)
    {
        return quietly([&] { core->loadCursor(file(name).c_str()); });
    }
    std::string loadAlt(const char* name)
    {
        return quietly([&] { core->loadAltCursor(file(name).c_str()); });
    }
    std::string loadBoth(const char* name, const char* altName)
    {
        return quietly([&] { core->loadCursors(file(name).c_str(), file(altName).c_str()); });
    }

    // One engine frame on a cleared buffer with the real pointer at (x, y); returns the colour name
    // left there: "red", "green", "blue", "none" (black) or "other".
    static std::string frameAt(int x, int y)
    {
        movePointer(x, y);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        sharedEngine().update();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
        EXPECT_EQ(x, g_pEventManager->getMouseX());
        EXPECT_EQ(y, g_pEventManager->getMouseY());
        const Rgba p = readPixel(x, y);
        if (p.r > 200 && p.g < 50 && p.b < 50)
            return "red";
        if (p.r < 50 && p.g > 200 && p.b < 50)
            return "green";
        if (p.r < 50 && p.g < 50 && p.b > 200)
            return "blue";
        if (p.r == 0 && p.g == 0 && p.b == 0)
            return "none";
        return "other";
    }

    static std::string dir;
    CGraphicsCore* core = nullptr;
};

std::string Cursor::dir;

}  // namespace

TEST_F(Cursor, LoadingHidesTheSystemCursorEvenAfterItWasShown)
{
    core->showCursor(true);
    ASSERT_EQ(1, SDL_ShowCursor(SDL_QUERY));
    loadAlt("green.png");
    EXPECT_EQ(1, SDL_ShowCursor(SDL_QUERY));  // the alternative alone changes nothing else
    EXPECT_FALSE(core->hasCursor);

    load("red.png");
    EXPECT_EQ(0, SDL_ShowCursor(SDL_QUERY));

    core->showCursor(true);
    loadBoth("red.png", "green.png");
    EXPECT_EQ(0, SDL_ShowCursor(SDL_QUERY));
}

TEST_F(Cursor, TheImagesTopLeftPixelLandsOnThePointer)
{
    load("red.png");
    EXPECT_EQ("red", frameAt(300, 200));
    EXPECT_GT(readPixel(307, 207).r, 200);
    EXPECT_EQ(0, readPixel(299, 200).r);
    EXPECT_EQ(0, readPixel(300, 199).r);
    EXPECT_EQ(0, readPixel(308, 207).r);
    EXPECT_EQ(0, readPixel(307, 208).r);

    // It follows the pointer from one frame to the next.
    EXPECT_EQ("red", frameAt(610, 420));
    EXPECT_EQ(0, readPixel(300, 200).r);
}

TEST_F(Cursor, TheAlternativeIsDrawnOnlyWhenOneIsLoadedAndChosen)
{
    load("red.png");
    core->useAltCursor(true);
    EXPECT_EQ("red", frameAt(120, 130));
    core->useAltCursor(false);
    EXPECT_EQ("red", frameAt(120, 130));

    loadAlt("green.png");
    EXPECT_EQ("red", frameAt(120, 130));  // loading it does not choose it
    core->useAltCursor(true);
    EXPECT_EQ("green", frameAt(120, 130));
    core->useAltCursor(false);
    EXPECT_EQ("red", frameAt(120, 130));

    clearCursors();
    loadBoth("blue.png", "green.png");
    EXPECT_EQ("blue", frameAt(140, 150));
    core->useAltCursor(true);
    EXPECT_EQ("green", frameAt(140, 150));
}

TEST_F(Cursor, ASecondLoadReleasesTheEarlierImage)
{
    const int before = g_pTextureManager->getTextureCount();
    loadBoth("red.png", "green.png");
    ASSERT_EQ(before + 2, g_pTextureManager->getTextureCount());
    load("red.png");
    loadAlt("green.png");
    loadBoth("red.png", "green.png");
    EXPECT_EQ(before + 2, g_pTextureManager->getTextureCount());

    // Replacing the chosen alternative keeps it chosen, on the new image.
    core->useAltCursor(true);
    loadAlt("blue.png");
    EXPECT_EQ("blue", frameAt(200, 220));
    EXPECT_EQ(before + 2, g_pTextureManager->getTextureCount());
}

TEST_F(Cursor, AMissingFileDrawsNothingButStillHidesTheSystemCursor)
{
    core->showCursor(true);
    const std::string log = load("absent.png");
    EXPECT_NE(std::string::npos, log.find("Failed to load the image: " + file("absent.png")));
    EXPECT_TRUE(core->hasCursor);
    EXPECT_EQ(0, SDL_ShowCursor(SDL_QUERY));
    EXPECT_EQ("none", frameAt(250, 260));

    loadAlt("absent-too.png");
    core->useAltCursor(true);
    EXPECT_EQ("none", frameAt(250, 260));
}
