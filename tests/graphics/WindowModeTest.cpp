// The window's mode at run time and the screenshot, in a process of their own: these tests resize
// and switch the one window, which the other test programs keep at 1024 by 768.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/input/EventManager.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool), which SDL_syswm.h brings, collide with gtest's names.
#include "tests/support/SdlX11Window.h"
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

std::unique_ptr<CEngine> engine;
std::string folder;
std::unique_ptr<CTexture> green;

bool exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// Whether a window manager may resize the window, from the size hints SDL gave the X server (a
// window that is not resizable has its minimum and maximum size pinned). sdl12-compat applies
// SDL_RESIZABLE without echoing it in the video surface's flags, so the hints are what to check.
bool userCanResize()
{
    SDL_SysWMinfo info;
    const Window topLevel = sdlTopLevelWindow(&info);
    XSizeHints hints;
    long supplied = 0;
    if (topLevel == 0 || !XGetWMNormalHints(info.info.x11.display, topLevel, &hints, &supplied))
        return topLevel != 0;
    const bool pinned = (hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
                        hints.min_width == hints.max_width && hints.min_height == hints.max_height;
    return !pinned;
}

// Any pixel of the area brighter than the black clear colour.
bool anyLit(int x, int y, int w, int h)
{
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column) {
            const Rgba p = readPixel(column, row);
            if (p.r > 40 || p.g > 40 || p.b > 40)
                return true;
        }
    return false;
}

// Draws a frame the way an application does, with a 16 by 16 green texture and text in its
// lower right corner, where a projection or scissor box left at the old size would lose them.
void drawCorner()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    g_pGraphicsCore->set2DState();
    glLoadIdentity();
    const int w = int(g_pGraphicsCore->width);
    const int h = int(g_pGraphicsCore->height);
    green->draw(float(w - 16), float(h - 16), 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    g_pFontManager->getFont(1)->print(w - 60, h - 40, 0, "MM");
}

class WindowMode : public ::testing::Test {
protected:
    // One engine and window for the whole process, kept across repetitions: the classic SDL 1.2
    // never reports the first user resize of a window opened after SDL_Quit (a second resize gets
    // through), so a suite that opened its window again would fail for SDL's sake, not the engine's.
    static void SetUpTestSuite()
    {
        if (engine)
            return;
        folder = makeTempDir();
        CStdoutCapture quiet;
        quiet.start();
        engine.reset(new CEngine());
        quiet.lines();
        quiet.start();
        // Before the window: the choice is recorded, and nothing can be resized or saved yet.
        g_pGraphicsCore->setResizable(true);
        noWindowLines.push_back(g_pGraphicsCore->resizeWindow(300, 200) ? "resized" : "refused");
        noWindowLines.push_back(g_pGraphicsCore->saveScreenshot((folder + "/none.png").c_str()) ? "saved"
                                                                                                : "refused");
        const std::vector<std::string> lines = quiet.lines();
        noWindowLines.insert(noWindowLines.end(), lines.begin(), lines.end());
        quiet.start();
        engine->setVideoMode(320, 240, 24, false, true);
        writeSolidPng(folder + "/green.png", 16, 16, "#00ff00");
        green.reset(new CTexture(folder + "/green.png"));
        quiet.lines();
        // Textures before the engine, which they may still call when they go.
        std::atexit([] {
            green.reset();
            engine.reset();
        });
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, SDL_GetVideoSurface());
        while (glGetError() != GL_NO_ERROR) { }
    }
    void TearDown() override
    {
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
        CStdoutCapture quiet;
        quiet.start();
        g_pGraphicsCore->setFullscreen(false);
        g_pGraphicsCore->resizeWindow(320, 240);
        quiet.lines();
    }

    static std::vector<std::string> noWindowLines;
};

std::vector<std::string> WindowMode::noWindowLines;

}  // namespace

TEST_F(WindowMode, WithoutAWindowNothingIsResizedOrSaved)
{
    const std::string noWindow = "no OpenGL window is open yet, call setVideoMode first";
    const std::vector<std::string> expected = {
        "refused", "refused", "Unable to set the video mode 300x200, Error: " + noWindow,
        "Saving Screenshot: " + folder + "/none.png",
        "Failed to save the screenshot: " + folder + "/none.png, Error: " + noWindow};
    EXPECT_EQ(expected, noWindowLines);
    EXPECT_FALSE(exists(folder + "/none.png"));
    // The choice made before the window opened it resizable.
    EXPECT_TRUE(g_pGraphicsCore->isResizable());
    EXPECT_TRUE(userCanResize());
}

TEST_F(WindowMode, AUserResizeReachesTheApplicationAndEverythingDrawsAtTheNewSize)
{
    SDL_SysWMinfo info;
    const Window topLevel = sdlTopLevelWindow(&info);
    ASSERT_NE(0u, topLevel);
    GLuint fontLists = g_pFontManager->getFont(1)->listBase;
    drainEvents();
    // The application's frame, drawn before the update that follows the resize.
    drawCorner();

    // A real X resize of SDL's outer window, as a window manager would make it. The classic SDL 1.2
    // reports no resize to the size it reported last, even after the application's own resize in
    // between: each repetition asks for another size.
    static int repetition = 0;
    const int w = 500 + 20 * (repetition % 4), h = 400 + 10 * (repetition % 4);
    ++repetition;
    // sdl12-compat has no event thread to lock out, and gives no locking functions.
    if (info.info.x11.lock_func != nullptr)
        info.info.x11.lock_func();
    XResizeWindow(info.info.x11.display, topLevel, w, h);
    XSync(info.info.x11.display, False);
    if (info.info.x11.unlock_func != nullptr)
        info.info.x11.unlock_func();

    bool told = false;
    for (int frame = 0; frame < 200 && !told; ++frame) {
        engine->update();
        told = g_pEventManager->isEventPolled() && g_pEventManager->isEventCode(CEventManager::CodeResize);
        if (!told)
            SDL_Delay(10);
    }
    ASSERT_TRUE(told);
    // That frame was neither cleared nor swapped away: it is what the window shows and what the
    // rest of the frame draws over, at the same window pixels (X keeps the top-left corner).
    EXPECT_EQ(255, readPixel(312, 232).g) << "the back buffer lost the frame";
    XImage* shown = XGetImage(info.info.x11.display, info.info.x11.window, 0, 0, w, h, AllPlanes, ZPixmap);
    ASSERT_NE(nullptr, shown);
    EXPECT_EQ(0xFFu, (XGetPixel(shown, 312, 232) >> 8) & 0xFF) << "a blank frame was shown";
    XDestroyImage(shown);
    EXPECT_EQ(w, SDL_GetVideoSurface()->w);
    EXPECT_EQ(h, SDL_GetVideoSurface()->h);
    EXPECT_EQ(unsigned(w), g_pGraphicsCore->width);
    EXPECT_EQ(unsigned(h), g_pGraphicsCore->height);
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    EXPECT_EQ(w, box[2]);
    EXPECT_EQ(h, box[3]);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(w, box[2]);
    EXPECT_EQ(h, box[3]);

    // The same context: the texture and the font's display lists are the ones made before.
    EXPECT_TRUE(glIsTexture(green->id));
    EXPECT_TRUE(glIsList(fontLists + 'M' - 32));
    drawCorner();
    const Rgba texel = readPixel(w - 8, h - 8);
    EXPECT_EQ(0, texel.r);
    EXPECT_EQ(255, texel.g);
    EXPECT_EQ(0, texel.b);
    EXPECT_TRUE(anyLit(w - 60, h - 40, 24, 16)) << "the text drew nothing at the new size";
    EXPECT_FALSE(anyLit(0, 0, 300, 200));
}

TEST_F(WindowMode, AThreeDWindowGetsAPerspectiveOfTheNewShape)
{
    g_pGraphicsCore->mode3D = true;
    const bool resized = g_pGraphicsCore->resizeWindow(800, 400);
    g_pGraphicsCore->mode3D = false;
    ASSERT_TRUE(resized);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    // gluPerspective puts f / aspect in [0] and f in [5].
    EXPECT_NEAR(2.0, projection[5] / projection[0], 1e-4);
}

TEST_F(WindowMode, FullscreenAndBackKeepTexturesAndFontsDrawing)
{
    ASSERT_TRUE(g_pGraphicsCore->setFullscreen(true));
    EXPECT_TRUE(g_pGraphicsCore->isFullscreen());
    EXPECT_TRUE(SDL_GetVideoSurface()->flags & SDL_FULLSCREEN);
    EXPECT_TRUE(userCanResize());
    drawCorner();
    EXPECT_EQ(255, readPixel(int(g_pGraphicsCore->width) - 8, int(g_pGraphicsCore->height) - 8).g);
    EXPECT_TRUE(anyLit(int(g_pGraphicsCore->width) - 60, int(g_pGraphicsCore->height) - 40, 24, 16));

    ASSERT_TRUE(g_pGraphicsCore->setFullscreen(false));
    EXPECT_FALSE(g_pGraphicsCore->isFullscreen());
    EXPECT_EQ(320, SDL_GetVideoSurface()->w);
    drawCorner();
    EXPECT_EQ(255, readPixel(312, 232).g);
    EXPECT_TRUE(anyLit(260, 200, 24, 16));
}

TEST_F(WindowMode, ImpossibleSizesAreRefusedWithALineAndChangeNothing)
{
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(g_pGraphicsCore->resizeWindow(0, 100));
    EXPECT_FALSE(g_pGraphicsCore->resizeWindow(100, -5));
    const std::vector<std::string> expected = {
        "Unable to set the video mode 0x100, Error: the size must be at least 1x1",
        "Unable to set the video mode 100x-5, Error: the size must be at least 1x1"};
    EXPECT_EQ(expected, capture.lines());
    EXPECT_EQ(320, SDL_GetVideoSurface()->w);
    EXPECT_EQ(240, SDL_GetVideoSurface()->h);
    EXPECT_EQ(320u, g_pGraphicsCore->width);
}

// An odd width makes rows that are not a multiple of four bytes: a screenshot packed with
// OpenGL's default alignment would come out sheared.
TEST_F(WindowMode, AScreenshotOfAnOddSizedWindowEqualsTheBackBuffer)
{
    ASSERT_TRUE(g_pGraphicsCore->resizeWindow(101, 67));
    drawCorner();
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    const std::string path = folder + "/odd.png";
    CStdoutCapture quiet;
    quiet.start();
    ASSERT_TRUE(g_pGraphicsCore->saveScreenshot(path.c_str()));
    quiet.lines();
    EXPECT_EQ(8, integer(GL_PACK_ALIGNMENT));
    int w = 0, h = 0;
    const std::vector<unsigned char> saved = readImageRgb(path, &w, &h);
    EXPECT_EQ(101, w);
    EXPECT_EQ(67, h);
    EXPECT_TRUE(saved == readWindowRgb(GL_BACK));
}
