// The event manager against SDL's real event queue and the real X pointer.
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <gtest/gtest.h>

using namespace testing_support;

namespace {

class EventManager : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        events = g_pEventManager;
        drainEvents();
        events->update();  // forget whatever the drained queue left in the record
        pushEvent(SDL_Event{});  // an event that is none of the handled types
        events->update();
    }

    CEventManager* events = nullptr;
};

} // namespace

TEST_F(EventManager, EachUpdateTakesExactlyOneEventInQueueOrder)
{
    pushKey(true, SDLK_a);
    pushKey(true, SDLK_b);
    pushKey(false, SDLK_a);

    events->update();
    EXPECT_TRUE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeKeyDown));
    EXPECT_EQ(1, events->isKeyDown(SDLK_a));
    EXPECT_EQ(0, events->isKeyDown(SDLK_b));

    events->update();
    EXPECT_EQ(1, events->isKeyDown(SDLK_a));
    EXPECT_EQ(1, events->isKeyDown(SDLK_b));

    events->update();
    EXPECT_TRUE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeOther));
    EXPECT_EQ(0, events->isKeyDown(SDLK_a));
    EXPECT_EQ(1, events->isKeyDown(SDLK_b));

    events->update();
    EXPECT_FALSE(events->isEventPolled());
    pushKey(false, SDLK_b);
    events->update();
}

TEST_F(EventManager, AStaleKeyPressIsReappliedWithoutCountingAsPolled)
{
    pushKey(true, SDLK_UP);
    events->update();
    ASSERT_TRUE(events->isEventPolled());

    events->update();
    EXPECT_FALSE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeKeyDown));
    EXPECT_EQ(1, events->isKeyDown(SDLK_UP));
    EXPECT_EQ(SDL_KEYDOWN, events->getEvent().type);

    pushKey(false, SDLK_UP);
    events->update();
    EXPECT_EQ(0, events->isKeyDown(SDLK_UP));
    events->update();
    EXPECT_EQ(0, events->isKeyDown(SDLK_UP));
}

TEST_F(EventManager, ButtonsSetTheirFlagsAndCodesAndTheMiddleButtonNeither)
{
    pushMouseButton(true, SDL_BUTTON_LEFT, 5, 5);
    events->update();
    EXPECT_TRUE(events->isLeftButtonDown());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeLeftDown));

    pushMouseButton(true, SDL_BUTTON_RIGHT, 5, 5);
    events->update();
    EXPECT_TRUE(events->isRightButtonDown());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeRightDown));

    pushMouseButton(true, SDL_BUTTON_MIDDLE, 5, 5);
    events->update();
    EXPECT_TRUE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeOther));
    EXPECT_TRUE(events->isLeftButtonDown());
    EXPECT_TRUE(events->isRightButtonDown());

    pushMouseButton(false, SDL_BUTTON_LEFT, 5, 5);
    events->update();
    EXPECT_FALSE(events->isLeftButtonDown());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeLeftUp));

    pushMouseButton(false, SDL_BUTTON_RIGHT, 5, 5);
    events->update();
    EXPECT_FALSE(events->isRightButtonDown());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeRightUp));
    // The stale release re-applied keeps its code but changes nothing else.
    events->update();
    EXPECT_FALSE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeRightUp));
    EXPECT_FALSE(events->isRightButtonDown());
}

TEST_F(EventManager, QuitGivesCodeTwo)
{
    pushQuit();
    events->update();
    EXPECT_TRUE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeQuit));
}

TEST_F(EventManager, KeySymbolsOutsideTheTableAreNeitherStoredNorRead)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    // The highest symbol the key type can hold; SDL itself never reports one this high.
    event.key.keysym.sym = static_cast<SDLKey>(511);
    pushEvent(event);
    events->update();
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeKeyDown));
    EXPECT_EQ(0, events->isKeyDown(511));
    EXPECT_EQ(0, events->isKeyDown(400));
    EXPECT_EQ(0, events->isKeyDown(-1));
    EXPECT_FALSE(events->isLeftButtonDown());
    EXPECT_EQ(-1, events->getClickedId());
    event.type = SDL_KEYUP;
    pushEvent(event);
    events->update();
}

TEST_F(EventManager, TheClickedIdLastsUntilTheNextUpdate)
{
    events->setClickedId(7);
    EXPECT_EQ(7, events->getClickedId());
    events->update();
    EXPECT_EQ(-1, events->getClickedId());
    events->update();
    EXPECT_EQ(-1, events->getClickedId());
}

TEST_F(EventManager, FollowsTheRealPointerAndItsMovementBetweenUpdates)
{
    movePointer(100, 200);
    events->update();
    EXPECT_EQ(100, events->getMouseX());
    EXPECT_EQ(200, events->getMouseY());

    events->update();
    EXPECT_EQ(0, events->getMouseDeltaX());
    EXPECT_EQ(0, events->getMouseDeltaY());
    EXPECT_FALSE(events->hasMouseMoved());

    movePointer(130, 190);
    events->update();
    EXPECT_EQ(30, events->getMouseDeltaX());
    EXPECT_EQ(-10, events->getMouseDeltaY());
    EXPECT_TRUE(events->hasMouseMoved());
}
