// The event manager against SDL's real event queue and the real X pointer.
#include "engine/input/EventManager.h"
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "tests/support/EventManagerAccess.h"
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
        events->update();        // forget whatever the drained queue left in the record
        pushEvent(SDL_Event{});  // an event that is none of the handled types
        events->update();
    }

    CEventManager* events = nullptr;
};

}  // namespace

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

// Releases dropped with the waiting events once left Up and the left button held for good.
TEST_F(EventManager, DiscardingWaitingReleasesLeavesNothingHeld)
{
    pushKey(true, SDLK_UP);
    pushMouseButton(true, SDL_BUTTON_LEFT, 5, 5);
    events->update();
    events->update();
    ASSERT_EQ(1, events->isKeyDown(SDLK_UP));
    ASSERT_TRUE(events->isLeftButtonDown());
    pushKey(false, SDLK_UP);
    pushMouseButton(false, SDL_BUTTON_LEFT, 5, 5);
    events->discardWaiting();
    for (int frame = 0; frame < 100; ++frame)
        events->update();
    EXPECT_EQ(0, events->isKeyDown(SDLK_UP));
    EXPECT_FALSE(events->isLeftButtonDown());
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

namespace {

// A joystick event as SDL's joystick code queues it: the three kinds share type, which and index.
void pushJoystick(Uint8 type, int joystick, int index, int value)
{
    SDL_Event event{};
    event.type = type;
    event.jaxis.which = Uint8(joystick);
    event.jaxis.axis = Uint8(index);  // jbutton.button and jhat.hat share this byte
    if (type == SDL_JOYAXISMOTION)
        event.jaxis.value = Sint16(value);
    else if (type == SDL_JOYHATMOTION)
        event.jhat.value = Uint8(value);
    else
        event.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    pushEvent(event);
}

void pushJoyAxis(int joystick, int axis, int value)
{
    pushJoystick(SDL_JOYAXISMOTION, joystick, axis, value);
}
void pushJoyHat(int joystick, int hat, int value)
{
    pushJoystick(SDL_JOYHATMOTION, joystick, hat, value);
}
void pushJoyButton(bool down, int joystick, int button)
{
    pushJoystick(down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP, joystick, button, 0);
}

}  // namespace

TEST_F(EventManager, JoystickEventsFillTheirTablesAndReachTheApplication)
{
    // Through the engine's frame, as an application sees them after engine->update().
    pushJoyAxis(1, 3, -32768);
    sharedEngine().update();
    EXPECT_TRUE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeJoyAxis));
    EXPECT_EQ(-32768, events->getJoystickAxis(1, 3));
    EXPECT_EQ(0, events->getJoystickAxis(0, 3));
    EXPECT_EQ(0, events->getJoystickAxis(1, 2));

    pushJoyButton(true, 0, 5);
    events->update();
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeJoyButtonDown));
    EXPECT_EQ(1, events->isJoystickButtonDown(0, 5));
    EXPECT_EQ(0, events->isJoystickButtonDown(1, 5));

    pushJoyHat(7, 15, SDL_HAT_RIGHTUP);
    events->update();
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeJoyHat));
    EXPECT_EQ(SDL_HAT_RIGHTUP, events->getJoystickHat(7, 15));

    // A stale record is applied again without counting as new and without changing the tables.
    events->update();
    EXPECT_FALSE(events->isEventPolled());
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeJoyHat));
    EXPECT_EQ(SDL_HAT_RIGHTUP, events->getJoystickHat(7, 15));
    EXPECT_EQ(1, events->isJoystickButtonDown(0, 5));

    pushJoyButton(false, 0, 5);
    pushJoyAxis(1, 3, 32767);
    pushJoyHat(7, 15, SDL_HAT_CENTERED);
    events->update();
    EXPECT_TRUE(events->isEventCode(CEventManager::CodeJoyButtonUp));
    EXPECT_EQ(0, events->isJoystickButtonDown(0, 5));
    events->update();
    EXPECT_EQ(32767, events->getJoystickAxis(1, 3));
    events->update();
    EXPECT_EQ(SDL_HAT_CENTERED, events->getJoystickHat(7, 15));
    // The key table and the mouse buttons never hear of them.
    EXPECT_FALSE(events->isLeftButtonDown());
    EXPECT_EQ(0, events->isKeyDown(5));
    pushJoyAxis(1, 3, 0);
    events->update();
}

TEST_F(EventManager, JoystickIndicesBeyondTheTablesAreIgnoredAndAnswerZero)
{
    pushJoyAxis(CEventManager::kMaxJoysticks, 0, 1000);
    pushJoyAxis(0, CEventManager::kMaxJoystickAxes, 1000);
    pushJoyButton(true, 0, CEventManager::kMaxJoystickButtons);
    pushJoyButton(true, 255, 255);
    pushJoyHat(0, CEventManager::kMaxJoystickHats, SDL_HAT_UP);
    // Still told to the application, with their codes.
    for (int code : {CEventManager::CodeJoyAxis, CEventManager::CodeJoyAxis, CEventManager::CodeJoyButtonDown,
                     CEventManager::CodeJoyButtonDown, CEventManager::CodeJoyHat}) {
        events->update();
        EXPECT_TRUE(events->isEventPolled());
        EXPECT_TRUE(events->isEventCode(code));
    }
    for (int index : {-1, CEventManager::kMaxJoysticks}) {
        EXPECT_EQ(0, events->getJoystickAxis(index, 0));
        EXPECT_EQ(0, events->isJoystickButtonDown(index, 0));
        EXPECT_EQ(0, events->getJoystickHat(index, 0));
    }
    for (int index : {-1, 255}) {
        EXPECT_EQ(0, events->getJoystickAxis(0, index));
        EXPECT_EQ(0, events->isJoystickButtonDown(0, index));
        EXPECT_EQ(0, events->getJoystickHat(0, index));
    }
    // Nothing spilled into the next joystick's entries either.
    EXPECT_EQ(0, events->getJoystickAxis(1, 0));
    EXPECT_EQ(0, events->isJoystickButtonDown(1, 0));
    EXPECT_EQ(0, events->getJoystickHat(1, 0));
}

TEST_F(EventManager, NamesExistOnlyForOpenJoysticksAndReopeningEmptiesTheTables)
{
    pushJoyButton(true, 2, 1);
    events->update();
    ASSERT_EQ(1, events->isJoystickButtonDown(2, 1));

    const int count = events->openJoysticks();
    EXPECT_EQ(count, events->getJoystickCount());
    EXPECT_EQ(count, SDL_NumJoysticks() < CEventManager::kMaxJoysticks ? SDL_NumJoysticks()
                                                                       : CEventManager::kMaxJoysticks);
    EXPECT_EQ(0, events->isJoystickButtonDown(2, 1));
    // The press was the last event: applied again in the next frames, it held the button of a
    // joystick that the rescan had dropped.
    events->update();
    EXPECT_EQ(0, events->isJoystickButtonDown(2, 1));
    for (int joystick = 0; joystick < count; ++joystick)
        EXPECT_EQ(std::string(SDL_JoystickName(joystick)), events->getJoystickName(joystick));
    EXPECT_EQ("", events->getJoystickName(count));
    EXPECT_EQ("", events->getJoystickName(-1));
}

namespace {

void pushTyped(SDLKey key, Uint16 unicode)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.unicode = unicode;
    pushEvent(event);
}

// Whole frames, as CGameLoop takes them; back to one event per update afterwards.
struct EveryEvent {
    explicit EveryEvent(CEventManager* events)
        : events(events)
    {
        events->takeEveryEvent(true);
    }
    ~EveryEvent()
    {
        events->takeEveryEvent(false);
        events->clearEdges();
    }
    CEventManager* events;
};

}  // namespace

TEST_F(EventManager, EdgesLastOneFrameEvenWhenAPressAndItsReleaseShareIt)
{
    // One event per update: each edge stands for the frame its event arrived in.
    pushKey(true, SDLK_a);
    pushKey(false, SDLK_a);
    events->update();
    EXPECT_TRUE(events->isKeyPressed(SDLK_a));
    EXPECT_FALSE(events->isKeyReleased(SDLK_a));
    events->update();
    EXPECT_FALSE(events->isKeyPressed(SDLK_a));
    EXPECT_TRUE(events->isKeyReleased(SDLK_a));
    events->update();
    EXPECT_FALSE(events->isKeyReleased(SDLK_a));

    EveryEvent every(events);
    pushKey(true, SDLK_a);
    pushKey(false, SDLK_a);
    pushMouseButton(true, SDL_BUTTON_LEFT, 5, 5);
    pushMouseButton(false, SDL_BUTTON_LEFT, 5, 5);
    for (Uint8 step : {SDL_BUTTON_WHEELUP, SDL_BUTTON_WHEELUP, SDL_BUTTON_WHEELDOWN, SDL_BUTTON_WHEELUP}) {
        pushMouseButton(true, step, 5, 5);
        pushMouseButton(false, step, 5, 5);
    }
    // "é", then U+1F600 as SDL 1.2 gives it: two UTF-16 halves on two presses; Return is no text.
    pushTyped(SDLK_e, 0x00E9);
    pushTyped(SDLK_UNKNOWN, 0xD83D);
    pushTyped(SDLK_UNKNOWN, 0xDE00);
    pushTyped(SDLK_RETURN, '\r');
    pushTyped(SDLK_x, 'x');
    events->update();
    EXPECT_TRUE(events->isKeyPressed(SDLK_a));
    EXPECT_TRUE(events->isKeyReleased(SDLK_a));
    EXPECT_EQ(0, events->isKeyDown(SDLK_a));
    EXPECT_TRUE(events->isButtonPressed(SDL_BUTTON_LEFT));
    EXPECT_TRUE(events->isButtonReleased(SDL_BUTTON_LEFT));
    EXPECT_FALSE(events->isLeftButtonDown());
    EXPECT_EQ(2, events->getWheel());
    EXPECT_EQ("\xC3\xA9\xF0\x9F\x98\x80x", events->getText());
    EXPECT_TRUE(events->isKeyPressed(SDLK_RETURN));
    // Taking every event, update() leaves the edges to their owner: a frame that ran no game
    // update must not lose them.
    events->update();
    EXPECT_TRUE(events->isKeyPressed(SDLK_a));
    CEventManagerAccess::hideEdges(*events, true);
    EXPECT_FALSE(events->isKeyPressed(SDLK_a));
    EXPECT_EQ(0, events->getWheel());
    CEventManagerAccess::hideEdges(*events, false);
    events->clearEdges();
    EXPECT_FALSE(events->isKeyPressed(SDLK_a));
    EXPECT_EQ("", events->getText());
    EXPECT_FALSE(events->isKeyPressed(-1));
    EXPECT_FALSE(events->isButtonPressed(CEventManager::kButtonCount));
    pushKey(false, SDLK_e);
    pushKey(false, SDLK_RETURN);
    pushKey(false, SDLK_x);
    events->update();
}

TEST_F(EventManager, PollEventHandsOverEveryEventOnceInOrderEitherWay)
{
    pushKey(true, SDLK_a);
    pushKey(false, SDLK_a);
    pushQuit();
    SDL_Event out;
    ASSERT_TRUE(events->pollEvent(out));
    EXPECT_EQ(SDL_KEYDOWN, out.type);
    EXPECT_EQ(1, events->isKeyDown(SDLK_a));  // applied as it is handed over
    ASSERT_TRUE(events->pollEvent(out));
    EXPECT_EQ(SDL_KEYUP, out.type);
    ASSERT_TRUE(events->pollEvent(out));
    EXPECT_EQ(SDL_QUIT, out.type);
    EXPECT_TRUE(events->isQuitRequested());
    EXPECT_FALSE(events->pollEvent(out));
    events->update();
    EXPECT_FALSE(events->isEventPolled()) << "update() handed out an event pollEvent() had taken";

    EveryEvent every(events);
    pushKey(true, SDLK_b);
    pushKey(false, SDLK_b);
    events->update();
    EXPECT_EQ(0, events->isKeyDown(SDLK_b));
    pushKey(true, SDLK_c);  // after the frame's update: waits for the next
    std::string order;
    while (events->pollEvent(out))
        order += out.type == SDL_KEYDOWN ? "D" : "U";
    EXPECT_EQ("DU", order);
    EXPECT_EQ(0, events->isKeyDown(SDLK_c));
    events->update();
    ASSERT_TRUE(events->pollEvent(out));
    EXPECT_EQ(SDLK_c, out.key.keysym.sym);
    pushKey(false, SDLK_c);
    events->update();
}

TEST_F(EventManager, AxisHatAndSizeValuesMergeButNeverOvertakeAKey)
{
    // Through the filter, as a real stick's events arrive (SDL's own queue holds only 128).
    SDL_EventFilter arrive = SDL_GetEventFilter();
    ASSERT_NE(nullptr, arrive);
    auto joystick = [&](Uint8 type, int index, int value) {
        SDL_Event event{};
        event.type = type;
        event.jaxis.axis = Uint8(index);
        if (type == SDL_JOYAXISMOTION)
            event.jaxis.value = Sint16(value);
        else
            event.jhat.value = Uint8(value);
        arrive(&event);
    };
    for (int i = 0; i < 500; ++i) {
        joystick(SDL_JOYAXISMOTION, 0, i);
        joystick(SDL_JOYAXISMOTION, 1, -i);
        joystick(SDL_JOYHATMOTION, 0, SDL_HAT_UP);  // a hat's repeats merge; new positions do not
    }
    SDL_Event size{};
    size.type = SDL_VIDEORESIZE;
    size.resize.w = 300;
    arrive(&size);
    size.resize.w = 400;
    arrive(&size);
    SDL_Event escape{};
    escape.type = SDL_KEYDOWN;
    escape.key.keysym.sym = SDLK_ESCAPE;
    arrive(&escape);
    joystick(SDL_JOYAXISMOTION, 0, 7);  // after the key: stays after it
    EXPECT_EQ(6u, events->waitingCount()) << "axis 0, axis 1, hat, one size, Escape, axis 0";
    events->update();
    events->update();
    events->update();
    EXPECT_EQ(499, events->getJoystickAxis(0, 0));
    EXPECT_EQ(-499, events->getJoystickAxis(0, 1));
    EXPECT_EQ(SDL_HAT_UP, events->getJoystickHat(0, 0));
    events->update();
    EXPECT_EQ(400, events->getEvent().resize.w);
    events->update();
    EXPECT_TRUE(events->isKeyPressed(SDLK_ESCAPE));
    events->update();
    EXPECT_EQ(7, events->getJoystickAxis(0, 0));
    pushKey(false, SDLK_ESCAPE);
    joystick(SDL_JOYAXISMOTION, 0, 0);
    joystick(SDL_JOYAXISMOTION, 1, 0);
    joystick(SDL_JOYHATMOTION, 0, SDL_HAT_CENTERED);
    for (int i = 0; i < 4; ++i)
        events->update();
}

namespace {

// Through the filter, as real input arrives (pushed events stay in SDL's own 128-event queue).
void arrive(const SDL_Event& event)
{
    SDL_EventFilter filter = SDL_GetEventFilter();
    ASSERT_NE(nullptr, filter);
    filter(&event);
}

void arriveKey(bool down, int letter)
{
    SDL_Event key{};
    key.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    key.key.keysym.sym = SDLKey(letter);
    key.key.keysym.unicode = down && letter < 0x80 ? Uint16(letter) : 0;
    arrive(key);
}

void arriveMove(int x)
{
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.x = Uint16(x);
    move.motion.y = 5;
    move.motion.xrel = 1;
    arrive(move);
}

}  // namespace

TEST_F(EventManager, BeyondTheBoundPointerMovesMergeBeforeAnyKeyIsSkipped)
{
    // A hundred taps, each between two moves: four hundred events, two hundred and one once the
    // moves have merged into the last, so the bound skips nothing.
    for (int i = 0; i < 100; ++i) {
        arriveMove(2 * i);
        arriveKey(true, SDLK_a + i % 26);
        arriveMove(2 * i + 1);
        arriveKey(false, SDLK_a + i % 26);
    }
    events->update();
    EXPECT_EQ(SDL_KEYDOWN, events->getEvent().type);
    EXPECT_EQ(SDLK_a, events->getEvent().key.keysym.sym);
    EXPECT_EQ(200u, events->waitingCount());
    std::string typed = events->getText();
    SDL_Event last{};
    for (int frame = 0; frame < 400 && events->waitingCount() > 0; ++frame) {
        events->update();
        typed += events->getText();
        if (events->getEvent().type == SDL_MOUSEMOTION)
            last = events->getEvent();
    }
    std::string expected;
    for (int i = 0; i < 100; ++i)
        expected += char('a' + i % 26);
    EXPECT_EQ(expected, typed);
    ASSERT_EQ(SDL_MOUSEMOTION, last.type);
    EXPECT_EQ(199, last.motion.x);
    EXPECT_EQ(200, last.motion.xrel) << "the merged moves' relative motion";
}

TEST_F(EventManager, BeyondTheBoundEveryPressIsHandedOutInOrderWithEscapeAndQuit)
{
    // Three times the bound in taps of the letters, Escape and a close request among them, with
    // nothing taken until all have arrived: the first update must go beyond the bound.
    const int taps = 3 * int(CEventManager::kMaxWaiting);
    std::string expected;
    for (int i = 0; i < taps; ++i) {
        if (i == taps / 4) {
            arriveKey(true, SDLK_ESCAPE);
            arriveKey(false, SDLK_ESCAPE);
        }
        if (i == taps / 3) {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            arrive(quit);
        }
        arriveKey(true, SDLK_a + i % 26);
        arriveKey(false, SDLK_a + i % 26);
        expected += char('a' + i % 26);
    }
    std::string typed;
    bool escapeSeen = false;
    bool quitSeen = false;
    bool pressUnseen = false;
    int frames = 0;
    for (; frames < 4 * taps && (events->waitingCount() > 0 || frames == 0); ++frames) {
        events->update();
        typed += events->getText();
        // What the demos do: a new event, then the key table.
        escapeSeen = escapeSeen || (events->isEventPolled() && events->isKeyDown(SDLK_ESCAPE));
        quitSeen = quitSeen || (events->isEventPolled() && events->isEventCode(CEventManager::CodeQuit));
        for (int letter = SDLK_a; letter <= SDLK_z; ++letter)
            pressUnseen = pressUnseen || (events->isKeyPressed(letter) && !events->isKeyDown(letter));
        if (frames == 0) {
            // The first tap, press and release, was beyond the bound: its key is down this frame,
            // and the release comes in the next.
            EXPECT_TRUE(events->isKeyPressed(SDLK_a));
            EXPECT_EQ(1, events->isKeyDown(SDLK_a));
            // The bound, and a held release for each letter and Escape.
            EXPECT_GE(events->waitingCount(), CEventManager::kMaxWaiting - 1 + 26);
            EXPECT_LE(events->waitingCount(), CEventManager::kMaxWaiting - 1 + 27);
        }
    }
    EXPECT_EQ(expected, typed);
    EXPECT_TRUE(escapeSeen) << "Escape was never acted on";
    EXPECT_TRUE(quitSeen) << "the close request was never handed out";
    EXPECT_FALSE(pressUnseen) << "a press reached the edges with its key already up";
    EXPECT_LE(frames, int(CEventManager::kMaxWaiting) + 2) << "the lag stays within the bound";
    for (int letter = SDLK_a; letter <= SDLK_z; ++letter)
        EXPECT_EQ(0, events->isKeyDown(letter)) << letter;
    EXPECT_EQ(0, events->isKeyDown(SDLK_ESCAPE));
}

TEST_F(EventManager, TakingEveryEventPollEventHandsOverEveryPressOfAFloodedFrame)
{
    const int taps = 3 * int(CEventManager::kMaxWaiting);
    for (int i = 0; i < taps; ++i) {
        arriveKey(true, SDLK_a + i % 26);
        arriveKey(false, SDLK_a + i % 26);
    }
    events->takeEveryEvent(true);
    events->update();
    int presses = 0;
    SDL_Event event;
    while (events->pollEvent(event))
        presses += event.type == SDL_KEYDOWN;
    events->clearEdges();
    events->takeEveryEvent(false);
    EXPECT_EQ(taps, presses);
    EXPECT_EQ(0u, events->waitingCount());
}

// A hat is a d-pad: merged like an axis, a tap (up, then centred) waiting behind other values lost
// its press, and the standard pad's DPadUp never read pressed.
TEST_F(EventManager, EveryHatPositionStaysWhileRepeatsMerge)
{
    auto hat = [](int value) {
        SDL_Event event{};
        event.type = SDL_JOYHATMOTION;
        event.jhat.value = Uint8(value);
        arrive(event);
    };
    auto axis = [](int value) {
        SDL_Event event{};
        event.type = SDL_JOYAXISMOTION;
        event.jaxis.value = Sint16(value);
        arrive(event);
    };
    for (int tap = 0; tap < 3; ++tap) {
        hat(SDL_HAT_UP);
        hat(SDL_HAT_UP);
        axis(tap);
        hat(SDL_HAT_CENTERED);
    }
    EXPECT_EQ(7u, events->waitingCount()) << "up, centred three times; one axis value";
    std::vector<int> seen;
    for (int frame = 0; frame < 8; ++frame) {
        events->update();
        if (events->isEventPolled() && events->getEvent().type == SDL_JOYHATMOTION)
            seen.push_back(events->getEvent().jhat.value);
    }
    EXPECT_EQ((std::vector<int>{SDL_HAT_UP, SDL_HAT_CENTERED, SDL_HAT_UP, SDL_HAT_CENTERED, SDL_HAT_UP,
                                SDL_HAT_CENTERED}),
              seen);
    // Beyond the bound, compacting keeps them too.
    for (int tap = 0; tap < 200; ++tap) {
        hat(tap % 2 ? SDL_HAT_CENTERED : SDL_HAT_DOWN);
        axis(tap);
    }
    events->takeEveryEvent(true);
    events->update();
    events->takeEveryEvent(false);
    int downs = 0;
    SDL_Event event;
    while (events->pollEvent(event))
        downs += event.type == SDL_JOYHATMOTION && event.jhat.value == SDL_HAT_DOWN;
    EXPECT_EQ(100, downs);
    events->clearEdges();
}

// Two presses of one key or button in one frame count two, whatever the order of the frame's events.
TEST_F(EventManager, PressCountsCountEveryPressOfTheFrame)
{
    events->takeEveryEvent(true);
    pushKey(true, SDLK_a);
    pushKey(false, SDLK_a);
    pushMouseButton(true, SDL_BUTTON_MIDDLE, 5, 5);
    pushKey(true, SDLK_a);
    pushMouseButton(false, SDL_BUTTON_MIDDLE, 5, 5);
    pushKey(false, SDLK_a);
    pushMouseButton(true, SDL_BUTTON_MIDDLE, 5, 5);
    events->update();
    EXPECT_EQ(2, events->getKeyPressCount(SDLK_a));
    EXPECT_TRUE(events->isKeyPressed(SDLK_a));
    EXPECT_EQ(0, events->isKeyDown(SDLK_a));
    EXPECT_EQ(2, events->getButtonPressCount(SDL_BUTTON_MIDDLE));
    EXPECT_TRUE(events->isButtonDown(SDL_BUTTON_MIDDLE));
    EXPECT_EQ(0, events->getKeyPressCount(SDLK_b));
    EXPECT_EQ(0, events->getKeyPressCount(-1));
    EXPECT_EQ(0, events->getButtonPressCount(CEventManager::kButtonCount));
    CEventManagerAccess::hideEdges(*events, true);
    EXPECT_EQ(0, events->getKeyPressCount(SDLK_a));
    CEventManagerAccess::hideEdges(*events, false);
    events->clearEdges();
    EXPECT_EQ(0, events->getKeyPressCount(SDLK_a));
    pushMouseButton(false, SDL_BUTTON_MIDDLE, 5, 5);
    events->update();
    EXPECT_FALSE(events->isButtonDown(SDL_BUTTON_MIDDLE));
    events->takeEveryEvent(false);
    events->clearEdges();
}
