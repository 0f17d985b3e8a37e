// The event manager's own queue under real X input (XTEST): pointer moves are merged, pushed and
// real events keep their order, an application's filter is still asked. The bursts themselves
// are driven through the demos (tests/e2e/InputBurstTest.cpp).
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros collide with gtest's names.
#include "tests/support/XTestInput.h"

#include <string>
#include <vector>

using namespace testing_support;

namespace {

// What the application saw of the keyboard, one entry per update that polled a key event, and
// whether a key stayed held at the end.
struct Seen {
    std::string keys;  // "D" for a press of the key, "U" for its release, in order
    int polled = 0;
    bool held = false;
};

// Updates until nothing has arrived for a while, as frames would.
Seen runFrames(CEventManager* events, SDLKey watched)
{
    Seen seen;
    for (int quiet = 0; quiet < 20;) {
        events->update();
        if (!events->isEventPolled()) {
            ++quiet;
            SDL_Delay(5);
            continue;
        }
        quiet = 0;
        ++seen.polled;
        const SDL_Event event = events->getEvent();
        if ((event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) && event.key.keysym.sym == watched)
            seen.keys += event.type == SDL_KEYDOWN ? "D" : "U";
    }
    seen.held = events->isKeyDown(watched) != 0;
    return seen;
}

class InputQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        events = g_pEventManager;
        ASSERT_TRUE(input.ready()) << "XTEST is needed on the X server in DISPLAY";
        input.move(10, 10);
        input.sync();
        SDL_Delay(50);
        drainEvents();
        events->update();
    }
    void TearDown() override { drainEvents(); }

    CEventManager* events = nullptr;
    CXTestInput input;
};

} // namespace

TEST_F(InputQueue, MovesWithTheSameButtonsMergeIntoTheLatestPositionAndTheSummedMotion)
{
    for (int x = 11; x <= 610; ++x)
        input.move(x, 10 + x / 2);
    input.button(1, true);
    input.move(700, 400);
    input.move(710, 420);
    input.button(1, false);
    input.sync();
    SDL_Delay(100);
    SDL_PumpEvents();
    ASSERT_EQ(4u, events->waitingCount());

    events->update();
    SDL_Event event = events->getEvent();
    ASSERT_EQ(SDL_MOUSEMOTION, event.type);
    EXPECT_EQ(610, event.motion.x);
    EXPECT_EQ(10 + 610 / 2, event.motion.y);
    EXPECT_EQ(600, event.motion.xrel);
    EXPECT_EQ(305, event.motion.yrel);
    EXPECT_EQ(0, event.motion.state);

    events->update();
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeLeftDown));
    EXPECT_TRUE(events->isLeftButtonDown());

    // With the button held the moves are not merged into the earlier ones.
    events->update();
    event = events->getEvent();
    ASSERT_EQ(SDL_MOUSEMOTION, event.type);
    EXPECT_EQ(710, event.motion.x);
    EXPECT_EQ(100, event.motion.xrel);
    EXPECT_EQ(SDL_BUTTON(1), event.motion.state);

    events->update();
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeLeftUp));
    EXPECT_FALSE(events->isLeftButtonDown());
    events->update();
    EXPECT_FALSE(events->isEventPolled());
}

TEST_F(InputQueue, PushedEventsKeepTheirPlaceBeforeLaterRealOnes)
{
    pushKey(true, SDLK_a);
    input.key(XK_b, true);
    input.sync();
    SDL_Delay(50);
    SDL_PumpEvents();  // the filter takes the real press, and the pushed one before it
    pushKey(false, SDLK_a);

    events->update();
    EXPECT_EQ(SDLK_a, events->getEvent().key.keysym.sym);
    EXPECT_EQ(SDL_KEYDOWN, events->getEvent().type);
    events->update();
    EXPECT_EQ(SDLK_b, events->getEvent().key.keysym.sym);
    events->update();
    EXPECT_EQ(SDLK_a, events->getEvent().key.keysym.sym);
    EXPECT_EQ(SDL_KEYUP, events->getEvent().type);
    input.key(XK_b, false);
    input.sync();
    runFrames(events, SDLK_b);
    EXPECT_EQ(0, events->isKeyDown(SDLK_b));
}

namespace {

int dropped = 0;
int SDLCALL dropQ(const SDL_Event* event)
{
    if (event->type == SDL_KEYDOWN && event->key.keysym.sym == SDLK_q) {
        ++dropped;
        return 0;
    }
    return 1;
}

} // namespace

TEST_F(InputQueue, AnApplicationsOwnFilterIsStillAskedFirst)
{
    SDL_SetEventFilter(dropQ);
    events->update();  // the engine puts its filter back in front, keeping the application's
    input.tap(XK_q);
    input.tap(XK_w);
    input.sync();
    SDL_Delay(50);
    Seen seen = runFrames(events, SDLK_q);
    EXPECT_EQ(1, dropped);
    EXPECT_EQ("U", seen.keys);  // the release passed the application's filter, the press did not
    input.tap(XK_w);
    input.sync();
    SDL_Delay(50);
    seen = runFrames(events, SDLK_w);
    EXPECT_EQ("DU", seen.keys);
}
