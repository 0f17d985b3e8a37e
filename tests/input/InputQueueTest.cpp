// The event manager's own queue under real X input (XTEST): pointer moves are merged, pushed and
// real events keep their order, an application's filter is still asked. The bursts themselves
// are driven through the demos (tests/e2e/InputBurstTest.cpp).
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros collide with gtest's names.
#include "tests/support/XTestInput.h"

#include <memory>
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
    for (int quiet = 0; quiet < 40;) {
        events->update();
        if (!events->isEventPolled()) {
            ++quiet;
            SDL_Delay(10);
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

// The X server delivers fake input some time after the requests: pumps until count events wait
// (or three seconds pass) and returns how many do.
std::size_t waitUntilWaiting(CEventManager* events, std::size_t count)
{
    for (int tick = 0; tick < 150 && events->waitingCount() < count; ++tick) {
        SDL_Delay(20);
        SDL_PumpEvents();
    }
    return events->waitingCount();
}

class InputQueue : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        events = g_pEventManager;
        device.reset(new CXTestInput());  // after the window: it aims at it
        ASSERT_TRUE(device->ready()) << "XTEST is needed on the X server in DISPLAY";
        device->move(10, 10);
        device->sync();
        waitForPointerAt(10, 10);
        drainEvents();
        events->update();
    }
    void TearDown() override
    {
        drainEvents();
    }

    CEventManager* events = nullptr;
    std::unique_ptr<CXTestInput> device;
};

}  // namespace

TEST_F(InputQueue, MovesWithTheSameButtonsMergeIntoTheLatestPositionAndTheSummedMotion)
{
    for (int x = 11; x <= 610; ++x)
        device->move(x, 10 + x / 2);
    device->button(1, true);
    device->move(700, 400);
    device->move(710, 420);
    device->button(1, false);
    device->sync();
    ASSERT_EQ(4u, waitUntilWaiting(events, 4));

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
    device->key(XK_b, true);
    device->sync();
    // The filter takes the real press, and the pushed one before it.
    ASSERT_EQ(2u, waitUntilWaiting(events, 2));
    pushKey(false, SDLK_a);

    events->update();
    EXPECT_EQ(SDLK_a, events->getEvent().key.keysym.sym);
    EXPECT_EQ(SDL_KEYDOWN, events->getEvent().type);
    events->update();
    EXPECT_EQ(SDLK_b, events->getEvent().key.keysym.sym);
    events->update();
    EXPECT_EQ(SDLK_a, events->getEvent().key.keysym.sym);
    EXPECT_EQ(SDL_KEYUP, events->getEvent().type);
    device->key(XK_b, false);
    device->sync();
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

}  // namespace

TEST_F(InputQueue, AnApplicationsOwnFilterIsStillAskedFirst)
{
    dropped = 0;
    SDL_SetEventFilter(dropQ);
    events->update();  // the engine puts its filter back in front, keeping the application's
    device->tap(XK_q);
    device->tap(XK_w);
    device->sync();
    waitUntilWaiting(events, 3);  // Q's release and W's two: Q's press never waits
    Seen seen = runFrames(events, SDLK_q);
    EXPECT_EQ(1, dropped);
    EXPECT_EQ("U", seen.keys);  // the release passed the application's filter, the press did not
    device->tap(XK_w);
    device->sync();
    waitUntilWaiting(events, 2);
    seen = runFrames(events, SDLK_w);
    EXPECT_EQ("DU", seen.keys);
    // Left in place, the application's filter would keep dropping Q's presses in later tests.
    SDL_SetEventFilter(nullptr);
    events->update();
}
