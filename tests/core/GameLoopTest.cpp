// The game loop driven frame by frame with an injected clock, under the real window and the real
// event queue.
#include "engine/core/GameLoop.h"
#include "engine/camera/Camera2D.h"
#include "engine/camera/CameraManager.h"
#include "engine/core/Clock.h"
#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/input/EventManager.h"
#include "engine/sprite/Sprite.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace testing_support;

TEST(GameLoop, FixedStepsCatchUpAtMostTheCapAndInterpolateTheRest)
{
    CEngine& engine = sharedEngine();
    drainEvents();
    double now = 100.0;
    CGameLoop loop(engine, 50);  // 20 ms steps
    loop.setClock([&now] { return now; });
    loop.setMaxCatchUpSteps(4);
    std::vector<float> steps;
    float drawnAlpha = -1.0f;
    const CGameLoop::Update update = [&steps](float step) { steps.push_back(step); };
    const CGameLoop::Draw draw = [&drawnAlpha](float alpha) { drawnAlpha = alpha; };

    EXPECT_EQ(1, loop.frame(update, draw)) << "the first frame updates before it draws";
    EXPECT_FLOAT_EQ(0.0f, drawnAlpha);
    now += 0.050;  // two and a half steps
    EXPECT_EQ(2, loop.frame(update, draw));
    EXPECT_NEAR(0.5f, drawnAlpha, 1e-4);
    now += 0.005;  // a quarter step more: no update, drawn between the last two
    EXPECT_EQ(0, loop.frame(update, draw));
    EXPECT_NEAR(0.75f, drawnAlpha, 1e-4);
    now += 10.0;  // a stall: four steps, the rest dropped
    EXPECT_EQ(4, loop.frame(update, draw));
    EXPECT_FLOAT_EQ(0.0f, loop.getAlpha());
    now -= 1.0;  // a clock going back runs nothing
    EXPECT_EQ(0, loop.frame(update, draw));
    EXPECT_EQ(std::vector<float>(7, 0.02f), steps);

    // The frame is cleared to the loop's colour, whatever the engine's update left, and drawn under
    // the 2D camera's scroll.
    loop.setClearColour(0.0f, 1.0f, 0.0f);
    g_pCameraManager->addCamera(new CCamera2D(-40.0f, 25.0f));
    Rgba cleared{};
    GLfloat modelView[16] = {};
    loop.frame(update, [&](float) {
        cleared = readPixel(5, 5);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    });
    g_pCameraManager->getCurrent()->x = 0.0f;  // the shared engine's camera at rest again
    g_pCameraManager->getCurrent()->y = 0.0f;
    EXPECT_EQ(0, cleared.r);
    EXPECT_EQ(255, cleared.g);
    EXPECT_FLOAT_EQ(-40.0f, modelView[12]);
    EXPECT_FLOAT_EQ(25.0f, modelView[13]);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST(GameLoop, APressActsOnceAndAFrameWithoutAnUpdateKeepsIt)
{
    CEngine& engine = sharedEngine();
    drainEvents();
    double now = 0.0;
    CGameLoop loop(engine, 10);
    loop.setClock([&now] { return now; });
    int presses = 0;
    const CGameLoop::Update update = [&presses](float) { presses += g_pEventManager->isKeyPressed(SDLK_SPACE); };
    g_pEventManager->takeEveryEvent(true);
    loop.frame(update, nullptr);
    pushKey(true, SDLK_SPACE);
    pushKey(false, SDLK_SPACE);
    now += 0.01;
    EXPECT_EQ(0, loop.frame(update, nullptr));  // the frame's engine update takes the press
    now += 0.01;
    EXPECT_EQ(0, loop.frame(update, nullptr));  // no step: the press waits
    now += 0.35;
    EXPECT_EQ(3, loop.frame(update, nullptr));
    EXPECT_EQ(1, presses) << "three catch-up steps, one press";
    now += 0.1;
    loop.frame(update, nullptr);
    EXPECT_EQ(1, presses);

    // A close request ends run(); the event mode is put back.
    g_pEventManager->takeEveryEvent(false);
    pushQuit();
    now += 0.1;
    int frames = 0;
    bool runningInside = false;
    loop.run(
        [&](float) {
            ++frames;
            runningInside = loop.isRunning();
        },
        nullptr);
    EXPECT_GE(frames, 1);
    EXPECT_TRUE(runningInside);
    EXPECT_FALSE(loop.isRunning()) << "the close request ended the run";
    EXPECT_FALSE(g_pEventManager->isTakingEveryEvent());
}

// One infinite reading once left the loop measuring from infinity, so no later frame ran a step; a
// jump of centuries made the step count too large for an int.
TEST(GameLoop, UnreadableOrFarJumpingClockReadingsPassNoTimeOrTheCatchUpAtMost)
{
    CEngine& engine = sharedEngine();
    drainEvents();
    double now = 10.0;
    CGameLoop loop(engine, 10);  // 100 ms steps
    loop.setClock([&now] { return now; });
    loop.setMaxCatchUpSteps(3);
    const CGameLoop::Update update = nullptr;
    EXPECT_EQ(1, loop.frame(update, nullptr));
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double reading;
        int steps;
    } frames[] = {
        {inf, 0},
        {10.15, 1},  // measured from the last finite reading; 50 ms left over
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {10.25, 1},
        {-inf, 0},
        {1e300, 3},  // the catch-up cap, the rest dropped
        {1e12, 0},   // backwards
        {1e12 + 0.15, 1},
        {-1e300, 0},
        {1e300, 3},
    };
    for (const auto& f : frames) {
        now = f.reading;
        EXPECT_EQ(f.steps, loop.frame(update, nullptr)) << "at " << f.reading;
        EXPECT_GE(loop.getAlpha(), 0.0f);
        EXPECT_LT(loop.getAlpha(), 1.0f);
    }
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

namespace {

double g_fakeSeconds = 0.0;
double fakeSeconds()
{
    return g_fakeSeconds;
}

}  // namespace

// One source moves the loop, the sprites and the frame timing together: a test (or a replay) sets
// it once instead of a clock per class.
TEST(GameLoop, TheEngineClockMovesTheLoopTheSpritesAndTheFrameTimingTogether)
{
    CEngine& engine = sharedEngine();
    drainEvents();
    g_fakeSeconds = 50.0;
    CClock::setSource(fakeSeconds);
    EXPECT_EQ(50000u, CClock::milliseconds());
    CStdoutCapture quiet;
    quiet.start();
    CSprite flame("Data/Flame/flame", 8, 0.0f, 0.0f);  // its time counts from the engine's clock
    quiet.lines();
    ASSERT_EQ(8u, flame.getFrameCount());
    flame.setSpeed(10);  // a frame every 100 ms
    CGameLoop loop(engine, 10);
    int steps = 0;
    loop.frame([&steps](float) { ++steps; }, nullptr);  // the first frame only starts the time
    g_pUtils->updateFPS();
    g_fakeSeconds += 0.35;
    steps = 0;
    loop.frame([&steps](float) { ++steps; }, [&flame](float) { flame.draw(); });
    g_pUtils->updateFPS();
    EXPECT_EQ(3, steps) << "0.35 s of the engine's clock at 10 steps a second";
    EXPECT_EQ(2u, flame.getCurrentFrame()) << "the wall-clock sprite stepped on the same clock";
    EXPECT_NEAR(0.35f, g_pUtils->getFrameTime(), 0.002f);
    // Ticks that start again (a later engine's SDL) are no negative frame, and the next report of
    // the frame rate comes a second after them, not a whole earlier run later.
    g_fakeSeconds = 3.0;
    g_pUtils->updateFPS();
    EXPECT_EQ(0.0f, g_pUtils->getFrameTime());
    const int reported = g_pUtils->getFPS();
    g_fakeSeconds = 4.1;
    g_pUtils->updateFPS();
    EXPECT_NEAR(1.1f, g_pUtils->getFrameTime(), 0.002f);
    EXPECT_NE(reported, g_pUtils->getFPS()) << "a report a second after the ticks started again";
    CClock::setSource(nullptr);
    EXPECT_EQ(nullptr, CClock::getSource());
    EXPECT_NEAR(double(SDL_GetTicks()), double(CClock::milliseconds()), 2.0);
    // Past 2^32 ms, ticks wrap; no time at all, or a broken source, reads 0.
    g_fakeSeconds = 4294967.296 + 1.5;
    CClock::setSource(fakeSeconds);
    EXPECT_EQ(1500u, CClock::milliseconds());
    g_fakeSeconds = -1.0;
    EXPECT_EQ(0u, CClock::milliseconds());
    g_fakeSeconds = std::numeric_limits<double>::infinity();
    EXPECT_EQ(0u, CClock::milliseconds());
    CClock::setSource(nullptr);
}
