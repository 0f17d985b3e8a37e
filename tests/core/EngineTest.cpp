// Engine start-up, video mode and frame update. Each test builds its own engine, so this file
// never uses the shared window.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/graphics/GraphicsCore.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

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
