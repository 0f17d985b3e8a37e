// Engine start-up, video mode and frame update. Each test builds its own engine, so this file
// never uses the shared window.
#include "engine/core/Engine.h"
#include "engine/core/GameLoop.h"
#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/gui/Window.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using testing_support::CStdoutCapture;

namespace {

std::vector<const void*> registry()
{
    return {g_pGraphicsCore, g_pTextureManager, g_pWindowManager, g_pEventManager,  g_pUtils,
            g_pSoundManager, g_pShaderManager,  g_pCamera,        g_pCameraManager, g_pFontManager};
}

std::string glString(GLenum name)
{
    return reinterpret_cast<const char*>(glGetString(name));
}

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// Misuse that once crashed runs in a re-executed copy of this program ("threadsafe" death tests, so
// that no window is inherited): the child passes what it logged to standard error, for the parent
// to match, and ends normally only when the log is exactly what was expected.
[[noreturn]] void endWithLog(const std::vector<std::string>& lines, const std::vector<std::string>& expected,
                             bool otherwiseFine)
{
    for (const std::string& line : lines)
        std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(nullptr);
    std::_Exit(lines == expected && otherwiseFine ? 0 : 1);
}

[[noreturn]] void gameLoopBeforeTheWindow()
{
    CStdoutCapture capture;
    capture.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    capture.start();
    CGameLoop loop(*engine);
    int steps = 0;
    int drawn = 0;
    const int ran = loop.frame([&steps](float) { ++steps; }, [&drawn](float) { ++drawn; });
    loop.run([&steps](float) { ++steps; }, [&drawn](float) { ++drawn; });  // returns at once
    const std::string line = "Cannot run the game loop: no OpenGL window is open yet, call setVideoMode first";
    endWithLog(capture.lines(), {line, line}, ran == 0 && steps == 0 && drawn == 0 && !loop.isRunning());
}

[[noreturn]] void engineAfterItsShutDown()
{
    CStdoutCapture capture;
    capture.start();
    // Kept past the engine by the game, as a loop keeps it; volatile, so that the compiler does not
    // warn of the use after the delete that this test makes on purpose.
    CEngine* volatile kept = new CEngine();
    CEngine* engine = kept;
    engine->setVideoMode(320, 240, 24, false, true);
    CGameLoop loop(*engine);
    CWindow dragged(0, 0, 100, 100, "", false, 1.0f, 15, 1, true);  // mid-drag when the engine went
    dragged.setVisible(true);
    dragged.dragging = true;
    engine->shutDown();
    capture.start();
    dragged.draw();
    engine->update();
    engine->setVSync(true);
    engine->setVideoMode(320, 240, 24, false, true);
    const int ran = loop.frame(nullptr, nullptr);
    delete engine;  // its destructor shuts down again, quietly
    kept->update();
    loop.run(nullptr, nullptr);
    const std::string down = ": the engine is shut down or deleted";
    endWithLog(capture.lines(),
               {"Cannot update the engine" + down, "Cannot set vertical sync" + down,
                "Cannot open the window" + down, "Cannot run the game loop" + down,
                "Cannot update the engine" + down, "Cannot run the game loop" + down},
               ran == 0 && g_pGraphicsCore == nullptr);
}

}  // namespace

TEST(EngineStartUp, WritesTheThirteenLinesAndFillsTheRegistry)
{
    CStdoutCapture capture;
    capture.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    EXPECT_EQ(testing_support::startUpLines(), capture.lines());
    for (const void* manager : registry())
        EXPECT_NE(nullptr, manager);
}

// A second engine once took over the managers' global pointers, and destroying either made the
// other crash in its next update.
TEST(EngineStartUp, ASecondEngineIsRefusedAndTheFirstKeepsWorking)
{
    CStdoutCapture quiet;
    quiet.start();
    std::unique_ptr<CEngine> first(new CEngine());
    const std::vector<const void*> managers = registry();
    try {
        CEngine second;
        ADD_FAILURE() << "a second engine was made";
    } catch (const std::string& failure) {
        EXPECT_EQ("Error: a CEngine already exists; a program has one engine (or one CApp) at a time", failure);
    }
    EXPECT_EQ(managers, registry());
    first.reset();
    std::unique_ptr<CEngine> again(new CEngine());  // once the first is gone
    EXPECT_NE(nullptr, g_pGraphicsCore);
    quiet.lines();
}

TEST(EngineShutDown, LeavesEveryRegistryPointerNullAndWritesNothing)
{
    CStdoutCapture capture;
    capture.start();
    CEngine* engine = new CEngine();
    engine->setVideoMode(320, 240, 24, false, true);
    capture.start();
    delete engine;
    EXPECT_TRUE(capture.lines().empty());
    for (const void* manager : registry())
        EXPECT_EQ(nullptr, manager);
}

TEST(EngineVideoMode, LogsAnEmptyLineThenTheStringsOpenGLReturned)
{
    CStdoutCapture capture;
    capture.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    capture.start();
    engine->setVideoMode(640, 480, 24, false, true);
    const std::vector<std::string> lines = capture.lines();
    const std::vector<std::string> expected = {
        "",
        "Detected Video Card Vendor: " + glString(GL_VENDOR),
        "Detected Renderer: " + glString(GL_RENDERER),
        "Detected OpenGL version: " + glString(GL_VERSION),
    };
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(expected, std::vector<std::string>(lines.begin(), lines.begin() + 4));
    EXPECT_NE(std::string::npos, glString(GL_VENDOR).find_first_not_of(' '));

    const SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(640, screen->w);
    EXPECT_EQ(480, screen->h);
    EXPECT_TRUE(screen->flags & SDL_OPENGL);
    EXPECT_FALSE(g_pGraphicsCore->is3D());
}

TEST(EngineUpdate, ThreeDModeKeepsBothMatrixStacksBalancedOverManyFrames)
{
    CStdoutCapture capture;
    capture.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    engine->setVideoMode(320, 240, 24, false, false);
    capture.lines();
    ASSERT_TRUE(g_pGraphicsCore->is3D());

    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1.0f, 2.0f, 3.0f);  // the scene's camera, which the overlay must not lose
    const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    const GLint modelViewDepth = integer(GL_MODELVIEW_STACK_DEPTH);
    for (int frame = 0; frame < 200; ++frame) {
        engine->update();
        ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError()) << "frame " << frame;
        ASSERT_EQ(projectionDepth, integer(GL_PROJECTION_STACK_DEPTH)) << "frame " << frame;
        ASSERT_EQ(modelViewDepth, integer(GL_MODELVIEW_STACK_DEPTH)) << "frame " << frame;
    }
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    EXPECT_FLOAT_EQ(1.0f, modelView[12]);
    EXPECT_FLOAT_EQ(2.0f, modelView[13]);
    EXPECT_FLOAT_EQ(3.0f, modelView[14]);
    EXPECT_EQ(GL_LEQUAL, integer(GL_DEPTH_FUNC));
}

TEST(EngineUpdate, WithoutTheFrameRateLeavesTheCaptionAsSet)
{
    CStdoutCapture capture;
    capture.start();
    std::unique_ptr<CEngine> engine(new CEngine());
    engine->setVideoMode(320, 240, 24, false, true);
    g_pGraphicsCore->setCaption("Caption Under Test");
    engine->setShowFPS(false);
    // Any updateFPS() call replaces the frame time, so a value it would never measure that
    // survives the frames proves the counter never ran, without waiting for its one-second report.
    g_pUtils->setFrameTime(-42.0f);
    capture.start();
    for (int frame = 0; frame < 50; ++frame)
        engine->update();
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_EQ(-42.0f, g_pUtils->getFrameTime());
    char* title = nullptr;
    char* icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    ASSERT_NE(nullptr, title);
    EXPECT_STREQ("Caption Under Test", title);
}

// Both once followed a null pointer: the swap without a window, the managers after the shut-down.
TEST(EngineMisuse, AGameLoopBeforeTheWindowWritesOneLinePerFrameAndRunsNothing)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(gameLoopBeforeTheWindow(), ::testing::ExitedWithCode(0),
                "Cannot run the game loop: no OpenGL window is open yet");
}

TEST(EngineMisuse, AShutDownOrDeletedEngineWritesOneLinePerCallAndDoesNothing)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(engineAfterItsShutDown(), ::testing::ExitedWithCode(0),
                "Cannot update the engine: the engine is shut down or deleted");
}
