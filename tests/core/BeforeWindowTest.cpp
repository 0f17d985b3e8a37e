// Objects made before the window (class members of an application are natural): without an
// OpenGL context they stay unloaded with one line, and the engine opens its window afterwards as
// usual. This file never uses the shared window.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/sprite/Sprite.h"
#include "engine/text/Font.h"
#include "engine/texture/TGAImage.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testing_support::CStdoutCapture;

namespace {

const std::string kNoContext = "no OpenGL window is open yet, call setVideoMode first";

}  // namespace

TEST(BeforeTheWindow, TexturesSpritesCursorsFontsAndTgaImagesStayUnloadedWithOneLine)
{
    CStdoutCapture capture;
    capture.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    capture.lines();

    capture.start();
    CTexture ship("Data/MousePointer.png");
    std::vector<std::string> lines = capture.lines();
    EXPECT_FALSE(ship.isLoaded());
    EXPECT_EQ((std::vector<std::string>{"Loading Texture: Data/MousePointer.png",
                                        "Failed to load the image: Data/MousePointer.png, Error: " + kNoContext}),
              lines);

    capture.start();
    CSprite flame("Data/Flame/flame", 8, 10.0f, 10.0f);
    lines = capture.lines();
    EXPECT_EQ(16u, lines.size());

    capture.start();
    g_pGraphicsCore->loadCursor("Data/MousePointer.png");
    g_pGraphicsCore->drawCursor();
    lines = capture.lines();
    EXPECT_EQ(2u, lines.size());

    capture.start();
    CFont font;
    EXPECT_FALSE(font.buildFont("Data/Font/font.tga"));
    font.print(1, 1, 0, "nothing to print with");
    lines = capture.lines();
    EXPECT_EQ((std::vector<std::string>{"Could not build the font (" + kNoContext + "): Data/Font/font.tga"}),
              lines);

    capture.start();
    CTGAImage sheet;
    EXPECT_FALSE(sheet.load("Data/Font/font.tga"));
    lines = capture.lines();
    EXPECT_EQ((std::vector<std::string>{"Could not upload texture file (" + kNoContext + "): Data/Font/font.tga"}),
              lines);
    EXPECT_EQ(0u, sheet.textureName);
    EXPECT_EQ(nullptr, sheet.pixels);

    // The engine is as usable as ever: the window opens and the same file loads now.
    capture.start();
    engine->setVideoMode(320, 240, 24, false, true);
    CTexture later("Data/MousePointer.png");
    capture.lines();
    EXPECT_TRUE(later.isLoaded());
}

// After an earlier engine has started and shut SDL down, sdl12-compat crashed in SDL_ShowCursor:
// the choice now waits for the next window, which opens with the system cursor hidden.
TEST(BeforeTheWindow, TheSystemCursorChosenBetweenTwoEnginesIsAppliedWhenTheWindowOpens)
{
    CStdoutCapture capture;
    capture.start();
    {
        CEngine first;
        first.setVideoMode(320, 240, 24, false, true);
    }
    std::unique_ptr<CEngine> engine(new CEngine());
    g_pGraphicsCore->showCursor(false);
    g_pGraphicsCore->loadCursor("Data/MousePointer.png");
    engine->setVideoMode(320, 240, 24, false, true);
    capture.lines();
    EXPECT_EQ(0, SDL_ShowCursor(SDL_QUERY));
}

TEST(BeforeTheWindow, GlewWithoutAContextThrowsInsteadOfLeavingNullEntryPoints)
{
    CGraphicsCore core;
    std::string thrown;
    try {
        core.initGlew();
    } catch (const std::string& message) {
        thrown = message;
    }
    const std::string prefix = "Error: GLEW could not be initialized: ";
    EXPECT_EQ(prefix, thrown.substr(0, prefix.size())) << thrown;
    EXPECT_GT(thrown.size(), prefix.size());
}
