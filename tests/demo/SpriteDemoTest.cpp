// The demo's own frames and loop, driven in-process with real SDL events.
#include "demo/SpriteDemo.h"
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;

namespace {

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

std::unique_ptr<SpriteDemo> startedDemo()
{
    CStdoutCapture quiet;
    quiet.start();
    std::unique_ptr<SpriteDemo> demo(new SpriteDemo());
    demo->init();
    quiet.lines();
    drainEvents();
    return demo;
}

} // namespace

TEST(SpriteDemo, OpensTheWindowWithItsSizeAndCaption)
{
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    const SDL_Surface* screen = SDL_GetVideoSurface();
    ASSERT_NE(nullptr, screen);
    EXPECT_EQ(1024, screen->w);
    EXPECT_EQ(768, screen->h);
    char* title = nullptr;
    char* icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    ASSERT_NE(nullptr, title);
    EXPECT_STREQ("Quarl Engine - Sprite Animation Demo", title);
}

TEST(SpriteDemo, TwoHundredFramesLeaveNoErrorAndAConstantProjectionStack)
{
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    demo->renderFrame();
    ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
    const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    const GLint modelViewDepth = integer(GL_MODELVIEW_STACK_DEPTH);
    for (int frame = 0; frame < 250; ++frame) {
        demo->renderFrame();
        ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError()) << "frame " << frame;
        ASSERT_EQ(projectionDepth, integer(GL_PROJECTION_STACK_DEPTH)) << "frame " << frame;
        ASSERT_EQ(modelViewDepth, integer(GL_MODELVIEW_STACK_DEPTH)) << "frame " << frame;
    }
}

TEST(SpriteDemo, RunEndsOnEscape)
{
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    pushKey(true, SDLK_SPACE);
    pushKey(true, SDLK_ESCAPE);
    demo->run();  // returns, or the test's time limit ends it
    EXPECT_EQ(1, g_pEventManager->isKeyDown(SDLK_ESCAPE));
    EXPECT_EQ(1, g_pEventManager->isKeyDown(SDLK_SPACE));
}

TEST(SpriteDemo, RunEndsWhenTheWindowIsClosed)
{
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    pushMouseButton(true, SDL_BUTTON_LEFT, 3, 3);
    pushQuit();
    demo->run();
    EXPECT_TRUE(g_pEventManager->isEventCode(2));
}

TEST(SpriteDemo, DestroyedWithoutInitLeavesTheRegistryEmpty)
{
    {
        CStdoutCapture quiet;
        quiet.start();
        SpriteDemo demo;
        EXPECT_EQ(nullptr, demo.flame);
        EXPECT_NE(nullptr, g_pEventManager);
    }
    EXPECT_EQ(nullptr, g_pGraphicsCore);
    EXPECT_EQ(nullptr, g_pFontManager);
    EXPECT_EQ(nullptr, g_pCameraManager);
}
