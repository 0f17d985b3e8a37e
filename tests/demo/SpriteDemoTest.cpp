// The demo's own frames and loop, driven in-process with real SDL events.
#include "demo/SpriteDemo.h"
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "engine/sprite/Sprite.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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

// The sprites' clock while it lives: a value the test sets, so the flame steps only when told.
// The flame reads it once in each frame that does not change its picture, so it also serves as a
// frame hook: it can press Escape in a chosen frame, after frames that polled nothing.
struct FakeClock {
    static Uint32 now;
    static int reads;
    static int escapeAtRead;
    static Uint32 read()
    {
        if (++reads == escapeAtRead)
            pushKey(true, SDLK_ESCAPE);
        return now;
    }
    FakeClock()
    {
        now = 1000;
        reads = 0;
        escapeAtRead = -1;
        CSprite::setClock(read);
    }
    ~FakeClock()
    {
        CSprite::setClock(SDL_GetTicks);
    }
};
Uint32 FakeClock::now = 0;
int FakeClock::reads = 0;
int FakeClock::escapeAtRead = -1;

void pushMotion(int x, int y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.type = SDL_MOUSEMOTION;
    event.motion.x = static_cast<Uint16>(x);
    event.motion.y = static_cast<Uint16>(y);
    pushEvent(event);
}

// The whole back buffer, bottom row first.
std::vector<uint8_t> backBuffer()
{
    return readBackRgba(0, 0, 1024, 768);
}

// Runs the demo's loop, which must end on the events the test queued. A loop that does not end
// fails the test within seconds instead of hanging until CTest's limit: a watchdog closes the window
// for it (SDL_PushEvent may be called from any thread), and ends the process if even that is ignored.
void runToEnd(SpriteDemo& demo)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool closedByWatchdog = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (ended.wait_for(lock, std::chrono::seconds(30), [&] { return done; }))
            return;
        closedByWatchdog = true;
        pushQuit();
        if (ended.wait_for(lock, std::chrono::seconds(10), [&] { return done; }))
            return;
        std::fprintf(stderr, "SpriteDemo::run() ended neither on the queued events nor on a quit\n");
        std::_Exit(1);
    });
    demo.run();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    ended.notify_one();
    watchdog.join();
    EXPECT_FALSE(closedByWatchdog) << "run() did not end on the queued events within 30 s";
}

}  // namespace

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
    runToEnd(*demo);
    EXPECT_EQ(1, g_pEventManager->isKeyDown(SDLK_ESCAPE));
    EXPECT_EQ(1, g_pEventManager->isKeyDown(SDLK_SPACE));
}

TEST(SpriteDemo, RunEndsWhenTheWindowIsClosed)
{
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    pushMouseButton(true, SDL_BUTTON_LEFT, 3, 3);
    pushQuit();
    runToEnd(*demo);
    EXPECT_TRUE(g_pEventManager->isEventCode(CEventManager::CodeQuit));
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

// Keys, examined only in frames that polled an event

TEST(SpriteDemo, OnePressOfUpRaisesTheSpeedByOne)
{
    FakeClock clock;
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    ASSERT_EQ(25u, demo->flame->getSpeed());
    // Up in the first frame, Escape in the twentieth. Up stays marked down all along, but the
    // eighteen frames between poll no event and the Escape frame returns before looking at Up.
    FakeClock::reads = 0;
    FakeClock::escapeAtRead = 20;
    pushKey(true, SDLK_UP);
    runToEnd(*demo);
    EXPECT_EQ(20, FakeClock::reads);
    EXPECT_EQ(26u, demo->flame->getSpeed());
}

TEST(SpriteDemo, HeldUpRaisesTheSpeedInEveryFrameThatPollsAMotion)
{
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    pushKey(true, SDLK_UP);
    for (int i = 0; i < 5; ++i)
        pushMotion(100 + i, 100);
    pushKey(false, SDLK_UP);
    for (int i = 0; i < 3; ++i)
        pushMotion(200 + i, 100);
    pushKey(true, SDLK_ESCAPE);
    runToEnd(*demo);
    EXPECT_EQ(25u + 1 + 5, demo->flame->getSpeed());
}

TEST(SpriteDemo, DownStopsAtZeroAndTheFlameThenStandsStill)
{
    FakeClock clock;
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    demo->flame->setSpeed(1);
    pushKey(true, SDLK_DOWN);
    pushMotion(10, 10);
    pushMotion(11, 10);
    pushKey(true, SDLK_ESCAPE);
    runToEnd(*demo);
    ASSERT_EQ(0u, demo->flame->getSpeed());

    const unsigned frame = demo->flame->getCurrentFrame();
    for (int i = 0; i < 5; ++i) {
        FakeClock::now += 100000;
        demo->renderFrame();
    }
    EXPECT_EQ(frame, demo->flame->getCurrentFrame());
}

TEST(SpriteDemo, UpAndDownHeldTogetherCancelInTheSamePass)
{
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    pushKey(true, SDLK_UP);    // 26
    pushKey(true, SDLK_DOWN);  // both marked: +1 -1
    pushMotion(10, 10);        // both still marked: +1 -1
    pushKey(true, SDLK_ESCAPE);
    runToEnd(*demo);
    EXPECT_EQ(26u, demo->flame->getSpeed());
}

// The flame

TEST(SpriteDemo, TheFlameIsDrawnAt500By250AndLoopsThroughItsEightFrames)
{
    FakeClock clock;
    std::unique_ptr<SpriteDemo> demo = startedDemo();
    CSprite& flame = *demo->flame;
    EXPECT_EQ(500.0f, flame.getX());
    EXPECT_EQ(250.0f, flame.getY());
    ASSERT_EQ(8u, flame.getFrameCount());
    for (unsigned i = 0; i < 8; ++i)
        ASSERT_TRUE(flame.getFrame(i)->isLoaded()) << "flame" << i + 1 << ".png";
    // The custom cursor (32 by 32) then lies in the top-left corner, away from the flame.
    movePointer(0, 0);

    std::vector<std::vector<uint8_t>> pictures;
    for (unsigned step = 0; step < 9; ++step) {
        FakeClock::now += 41;  // speed 25: one frame change per 41 ms
        demo->renderFrame();
        ASSERT_EQ(GLenum(GL_NO_ERROR), glGetError());
        EXPECT_EQ((step + 1) % 8 + 1, flame.getCurrentFrame()) << "step " << step;
        pictures.push_back(backBuffer());
    }
    // The text stays the same from frame to frame; what changes lies in the 128 by 192 frame at
    // (500, 250). The top rows hold the cursor and the frame rate, which may change.
    auto changed = [&](unsigned a, unsigned b, int& inside, int& outside) {
        inside = outside = 0;
        for (int row = 0; row < 768 - 40; ++row) {
            const int y = 767 - row;
            for (int x = 0; x < 1024; ++x) {
                const std::size_t at = (std::size_t(row) * 1024 + x) * 4;
                if (std::equal(&pictures[a][at], &pictures[a][at] + 3, &pictures[b][at]))
                    continue;
                if (x >= 500 && x < 628 && y >= 250 && y < 442)
                    ++inside;
                else
                    ++outside;
            }
        }
    };
    int inside = 0, outside = 0;
    for (unsigned step = 1; step < 9; ++step) {
        changed(step - 1, step, inside, outside);
        EXPECT_GT(inside, 100) << "frame " << step << " to " << step % 8 + 1;
        EXPECT_EQ(0, outside) << "frame " << step << " to " << step % 8 + 1;
    }
    changed(0, 8, inside, outside);
    EXPECT_EQ(0, inside + outside);  // flame1.png again
}
