// A game drawn at 64 by 36 pixels and shown in windows of other sizes, in a process of its own: these
// tests resize the one window, which the other test programs keep at 1024 by 768. The expected
// window pixels are worked out by hand from the scale and the bars, not from the engine's placement.
#include "engine/graphics/LogicalScreen.h"
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/gui/Button.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>
// After gtest: Xlib's macros collide with gtest's names.
#include "tests/support/XTestInput.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace testing_support;
using Scaling = CLogicalScreen::Scaling;

namespace {

const int kGameWidth = 64;
const int kGameHeight = 36;

// Every game pixel its own colour: red counts x, green counts y, blue alternates like a checker.
Rgba gamePixel(int x, int y)
{
    return Rgba{uint8_t(x * 3 + 10), uint8_t(y * 6 + 10), uint8_t((x + y) % 2 ? 250 : 40), 255};
}

void drawGamePicture()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glLoadIdentity();
    glBegin(GL_QUADS);
    for (int y = 0; y < kGameHeight; ++y)
        for (int x = 0; x < kGameWidth; ++x) {
            const Rgba c = gamePixel(x, y);
            glColor3ub(c.r, c.g, c.b);
            glVertex2i(x, y);
            glVertex2i(x + 1, y);
            glVertex2i(x + 1, y + 1);
            glVertex2i(x, y + 1);
        }
    glEnd();
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopAttrib();
}

// The window's back buffer, top-down RGB, read from the window itself whatever is bound.
struct WindowPixels {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    Rgba at(int x, int y) const
    {
        const unsigned char* p = &rgb[(std::size_t(y) * width + x) * 3];
        return Rgba{p[0], p[1], p[2], 255};
    }
};

WindowPixels readWindow()
{
    WindowPixels window;
    window.width = int(g_pGraphicsCore->width);
    window.height = int(g_pGraphicsCore->height);
    window.rgb = readWindowRgb(GL_BACK);
    return window;
}

bool same(const Rgba& a, const Rgba& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

class LogicalScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        drainEvents();
    }
    void TearDown() override
    {
        g_pGraphicsCore->getLogicalScreen().stop();
        g_pGraphicsCore->resizeWindow(1024, 768);
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    // Opens the window at the size, starts the game screen, draws the picture and presents it.
    WindowPixels show(int windowWidth, int windowHeight, Scaling scaling)
    {
        EXPECT_TRUE(g_pGraphicsCore->resizeWindow(windowWidth, windowHeight));
        CLogicalScreen& screen = g_pGraphicsCore->getLogicalScreen();
        EXPECT_TRUE(screen.start(kGameWidth, kGameHeight, scaling));
        drawGamePicture();
        screen.present();
        WindowPixels window = readWindow();
        screen.resume();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
        return window;
    }

    // Every window pixel: the game pixel of its scale-by-scale square, black in the bars.
    void expectWholeScale(int windowWidth, int windowHeight, int scale, int left, int top)
    {
        const WindowPixels window = show(windowWidth, windowHeight, Scaling::Integer);
        int wrong = 0;
        for (int y = 0; y < windowHeight; ++y)
            for (int x = 0; x < windowWidth; ++x) {
                const int gx = x - left, gy = y - top;
                const bool inside = gx >= 0 && gy >= 0 && gx < kGameWidth * scale && gy < kGameHeight * scale;
                const Rgba expected = inside ? gamePixel(gx / scale, gy / scale) : Rgba{0, 0, 0, 255};
                if (!same(window.at(x, y), expected) && ++wrong < 4)
                    ADD_FAILURE() << "window pixel (" << x << ", " << y << ") at " << windowWidth << "x"
                                  << windowHeight;
            }
        EXPECT_EQ(0, wrong);
    }
};

TEST_F(LogicalScreen, PlacesThePictureByEachScaling)
{
    // 200 by 150 holds three times 64 by 36 (192 by 108) with bars of 4 and 21 pixels.
    const CLogicalScreen::Placement whole = CLogicalScreen::place(64, 36, 200, 150, Scaling::Integer);
    EXPECT_EQ(4, whole.x);
    EXPECT_EQ(21, whole.y);
    EXPECT_EQ(192, whole.width);
    EXPECT_EQ(108, whole.height);
    // Fit: 200 wide, 36 * 200 / 64 = 112.5 rounds to 113 high, (150 - 113) / 2 = 18 down.
    const CLogicalScreen::Placement fit = CLogicalScreen::place(64, 36, 200, 150, Scaling::Fit);
    EXPECT_EQ(0, fit.x);
    EXPECT_EQ(18, fit.y);
    EXPECT_EQ(200, fit.width);
    EXPECT_EQ(113, fit.height);
    // A tall game in a wide window: the height is the limit.
    const CLogicalScreen::Placement tall = CLogicalScreen::place(10, 20, 300, 100, Scaling::Fit);
    EXPECT_EQ(125, tall.x);
    EXPECT_EQ(50, tall.width);
    EXPECT_EQ(100, tall.height);
    const CLogicalScreen::Placement stretch = CLogicalScreen::place(64, 36, 200, 150, Scaling::Stretch);
    EXPECT_EQ(0, stretch.x);
    EXPECT_EQ(200, stretch.width);
    EXPECT_EQ(150, stretch.height);
    // A window smaller than the game: no whole scale fits, so the picture shrinks to fit.
    const CLogicalScreen::Placement small = CLogicalScreen::place(64, 36, 32, 36, Scaling::Integer);
    EXPECT_EQ(0, small.x);
    EXPECT_EQ(9, small.y);
    EXPECT_EQ(32, small.width);
    EXPECT_EQ(18, small.height);
}

TEST_F(LogicalScreen, EveryGamePixelFillsItsSquareAtWholeScales)
{
    expectWholeScale(64, 36, 1, 0, 0);
    expectWholeScale(128, 72, 2, 0, 0);
    expectWholeScale(192, 108, 3, 0, 0);
    expectWholeScale(200, 150, 3, 4, 21);
    // One pixel short of 3x in height: 2x, centred.
    expectWholeScale(200, 107, 2, 36, 17);
}

TEST_F(LogicalScreen, FitAndStretchPutEachGamePixelWhereItsShareOfTheWindowIs)
{
    struct Case {
        Scaling scaling;
        double left, top, width, height;  // the picture in window pixels, by hand
    };
    const Case cases[] = {{Scaling::Fit, 0, 18, 200, 113}, {Scaling::Stretch, 0, 0, 200, 150}};
    for (const Case& c : cases) {
        const WindowPixels window = show(200, 150, c.scaling);
        for (int gy = 0; gy < kGameHeight; ++gy)
            for (int gx = 0; gx < kGameWidth; ++gx) {
                // The middle of the game pixel's share: at least 3 by 3 window pixels, so clear of its edges.
                const int x = int(std::floor(c.left + (gx + 0.5) * c.width / kGameWidth));
                const int y = int(std::floor(c.top + (gy + 0.5) * c.height / kGameHeight));
                ASSERT_TRUE(same(window.at(x, y), gamePixel(gx, gy))) << "game (" << gx << ", " << gy << ")";
            }
        if (c.scaling == Scaling::Fit) {
            EXPECT_TRUE(same(window.at(100, 17), Rgba{0, 0, 0, 255}));
            EXPECT_TRUE(same(window.at(100, 131), Rgba{0, 0, 0, 255}));
            EXPECT_FALSE(same(window.at(100, 130), Rgba{0, 0, 0, 255}));
        }
        g_pGraphicsCore->getLogicalScreen().stop();
    }
}

TEST_F(LogicalScreen, AResizeWhileOnPlacesTheNextFrameForTheNewSize)
{
    expectWholeScale(128, 72, 2, 0, 0);
    // The game keeps drawing into its own picture across the change of mode.
    ASSERT_TRUE(g_pGraphicsCore->resizeWindow(200, 150));
    CLogicalScreen& screen = g_pGraphicsCore->getLogicalScreen();
    drawGamePicture();
    screen.present();
    const WindowPixels window = readWindow();
    screen.resume();
    EXPECT_TRUE(same(window.at(4 + 3 * 10 + 1, 21 + 3 * 5 + 2), gamePixel(10, 5)));
    EXPECT_TRUE(same(window.at(3, 21), Rgba{0, 0, 0, 255}));
    EXPECT_TRUE(same(window.at(4, 21), gamePixel(0, 0)));
    EXPECT_TRUE(same(window.at(195, 128), gamePixel(63, 35)));
}

TEST_F(LogicalScreen, TheEnginesFrameDrawsTheCursorAtTheGamePixelUnderThePointer)
{
    const std::string folder = makeTempDir();
    writeSolidPng(folder + "/cursor.png", 2, 2, "#ff0000");
    show(200, 150, Scaling::Integer);
    g_pGraphicsCore->loadCursor((folder + "/cursor.png").c_str());
    // Window pixel (40, 60) lies in game pixel ((40 - 4) / 3, (60 - 21) / 3) = (12, 13).
    movePointer(40, 60);
    drawGamePicture();
    CEngine& engine = sharedEngine();
    engine.update();
    EXPECT_EQ(12, g_pEventManager->getMouseX());
    EXPECT_EQ(13, g_pEventManager->getMouseY());
    // update() presented: the back buffer holds the window's frame. The 2 by 2 cursor covers game
    // pixels 12..13 by 13..14, window pixels 40..45 by 60..65.
    g_pGraphicsCore->getLogicalScreen().suspend();
    const WindowPixels window = readWindow();
    g_pGraphicsCore->getLogicalScreen().resume();
    for (int y = 60; y < 66; ++y)
        for (int x = 40; x < 46; ++x)
            EXPECT_TRUE(same(window.at(x, y), Rgba{255, 0, 0, 255})) << x << ", " << y;
    EXPECT_TRUE(same(window.at(39, 60), gamePixel(11, 13)));
    EXPECT_TRUE(same(window.at(46, 66), gamePixel(14, 15)));
    clearCursors();
}

TEST_F(LogicalScreen, AClickAtAWindowPixelReportsTheGamePixel)
{
    show(200, 150, Scaling::Integer);
    CXTestInput input;
    ASSERT_TRUE(input.ready()) << "XTEST is needed on the X server in DISPLAY";
    struct Click {
        int windowX, windowY, gameX, gameY;
    };
    // In the picture, on the edges of squares, and in the bars (outside 0..63 by 0..35).
    const Click clicks[] = {{4, 21, 0, 0},      {6, 23, 0, 0},   {7, 24, 1, 1}, {195, 128, 63, 35},
                            {196, 129, 64, 36}, {3, 20, -1, -1}, {0, 0, -2, -7}};
    for (const Click& click : clicks) {
        input.move(click.windowX, click.windowY);
        input.sync();
        waitForPointerAt(click.windowX, click.windowY);
        input.button(1, true);
        input.button(1, false);
        input.sync();
        bool pressed = false;
        for (int frame = 0; frame < 200 && !pressed; ++frame) {
            SDL_Delay(2);
            sharedEngine().update();
            pressed = g_pEventManager->isEventCode(CEventManager::CodeLeftDown);
        }
        ASSERT_TRUE(pressed);
        EXPECT_EQ(click.gameX, g_pEventManager->getMouseX()) << click.windowX;
        EXPECT_EQ(click.gameY, g_pEventManager->getMouseY()) << click.windowY;
        // The event itself keeps the window's pixels.
        EXPECT_EQ(click.windowX, g_pEventManager->getEvent().button.x);
        for (int frame = 0; frame < 200 && !g_pEventManager->isEventCode(CEventManager::CodeLeftUp); ++frame)
            sharedEngine().update();
    }
}

// A button at game pixels (10, 10) to (30, 20) takes a real click at the window pixels over it, and
// not one at the window pixel where the game's (10, 10) would be without the scaling.
TEST_F(LogicalScreen, AGuiButtonTakesClicksInGamePixels)
{
    show(200, 150, Scaling::Integer);
    CButton button(CButton::kDefaultSprite, CButton::kDefaultFrameCount, 10, 10, 7);
    button.setSize(20, 10);
    CXTestInput input;
    ASSERT_TRUE(input.ready()) << "XTEST is needed on the X server in DISPLAY";
    struct Click {
        int windowX, windowY;
        bool hits;
    };
    // Game (10, 10) is window (34..36, 51..53), (29, 19) is (91..93, 78..80); window (33, 51) is game
    // (9, 10), (100, 60) is (32, 13), and (12, 12), over the button were the game not scaled, is (2, -3).
    const Click clicks[] = {{34, 51, true}, {92, 79, true}, {33, 51, false}, {100, 60, false}, {12, 12, false}};
    for (const Click& click : clicks) {
        input.move(click.windowX, click.windowY);
        input.sync();
        waitForPointerAt(click.windowX, click.windowY);
        input.button(1, true);
        input.button(1, false);
        input.sync();
        bool clicked = false, released = false;
        for (int frame = 0; frame < 200 && !released; ++frame) {
            SDL_Delay(2);
            drawGamePicture();
            button.draw();
            sharedEngine().update();
            clicked = clicked || g_pEventManager->getClickedId() == 7;
            released = g_pEventManager->isEventCode(CEventManager::CodeLeftUp);
        }
        ASSERT_TRUE(released);
        EXPECT_EQ(click.hits, clicked) << click.windowX << ", " << click.windowY;
    }
}

// Fullscreen and back, the picture follows the window's size each time: whole game pixels centred.
TEST_F(LogicalScreen, AFullscreenSwitchKeepsThePictureWhole)
{
    show(200, 150, Scaling::Integer);
    CLogicalScreen& screen = g_pGraphicsCore->getLogicalScreen();
    for (bool fullscreen : {true, false}) {
        ASSERT_TRUE(g_pGraphicsCore->setFullscreen(fullscreen));
        drawGamePicture();
        screen.present();
        const WindowPixels window = readWindow();
        screen.resume();
        const int scale = std::min(window.width / kGameWidth, window.height / kGameHeight);
        const int left = (window.width - kGameWidth * scale) / 2, top = (window.height - kGameHeight * scale) / 2;
        ASSERT_GE(scale, 1);
        EXPECT_TRUE(same(window.at(left, top), gamePixel(0, 0))) << fullscreen;
        EXPECT_TRUE(same(window.at(left + 20 * scale + scale - 1, top + 7 * scale), gamePixel(20, 7)))
            << fullscreen;
        EXPECT_TRUE(
            same(window.at(left + kGameWidth * scale - 1, top + kGameHeight * scale - 1), gamePixel(63, 35)));
        if (left > 0) {
            EXPECT_TRUE(same(window.at(left - 1, top), Rgba{0, 0, 0, 255})) << fullscreen;
        }
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
    // Back in a window the input is not left grabbed: a grab with the custom cursor's hidden system
    // cursor would keep the reported pointer from following the real one.
    EXPECT_EQ(SDL_GRAB_OFF, SDL_WM_GrabInput(SDL_GRAB_QUERY));
}

TEST_F(LogicalScreen, StoppedTheWindowIsDrawnAtItsOwnSizeAgain)
{
    show(200, 150, Scaling::Integer);
    CLogicalScreen& screen = g_pGraphicsCore->getLogicalScreen();
    screen.stop();
    EXPECT_FALSE(screen.isOn());
    EXPECT_EQ(0, screen.getWidth());
    g_pGraphicsCore->set2DState();
    drawGamePicture();
    // Drawn 1:1 into the window from its top-left corner.
    const WindowPixels window = readWindow();
    EXPECT_TRUE(same(window.at(0, 0), gamePixel(0, 0)));
    EXPECT_TRUE(same(window.at(63, 35), gamePixel(63, 35)));
    int x = 40, y = 60;
    screen.toGame(x, y);
    EXPECT_EQ(40, x);
    EXPECT_EQ(60, y);
}

TEST_F(LogicalScreen, ASizeTheTargetCannotHaveLeavesItOffWithALine)
{
    CLogicalScreen& screen = g_pGraphicsCore->getLogicalScreen();
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(screen.start(0, 36, Scaling::Fit));
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find("Failed to create the render target: 0 by 36 pixels, Error: ")) << lines[0];
    EXPECT_FALSE(screen.isOn());
    // Still usable: a good size starts it.
    EXPECT_TRUE(screen.start(kGameWidth, kGameHeight, Scaling::Fit));
    EXPECT_EQ(kGameWidth, screen.getWidth());
}

}  // namespace
