#ifndef ENGINE_INPUT_EVENTMANAGER_H
#define ENGINE_INPUT_EVENTMANAGER_H

#include "engine/input/Gamepads.h"
#include "engine/input/InputActions.h"

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class CInputQueue;
namespace gui {
bool leftPressPolled();
bool leftReleasePolled();
}  // namespace gui

// The input state of the current frame. update() hands at most one event to the application per
// frame; the others wait for later frames. When no event waits the last event record is applied
// again, so isEventCode() and getEvent() describe the last event ever received and isEventPolled()
// tells whether it arrived in this frame: react once per event by testing isEventPolled() first.
//
// The waiting events live in the manager's own CInputQueue (engine/input/InputQueue.h), which takes
// them from SDL through an event filter so that none is lost, and merges pointer moves, joystick
// values and window sizes so that a burst cannot grow it without bound.
//
// Two ways to read the stream:
// - one event per update() (the default, as above), or every event of the frame: with
//   takeEveryEvent(true) (CGameLoop sets it) update() applies everything waiting at once;
// - pollEvent(), SDL-like, hands over each event once, in order, whichever way update() runs.
//
// Either way the edge queries (isKeyPressed(), isButtonPressed(), getWheel(), getText()) tell what the
// events applied since the edges were last cleared did: update() clears them first in the
// one-event way; taking every event, the owner clears them (CGameLoop, after the update step
// that saw them), so a frame that runs no update step loses no press.
//
// The lag bound: after update() at most kMaxWaiting events wait (and the few releases it held
// back, below), so the event it hands out one at a time arrived at most kMaxWaiting updates
// before. When more wait, update() first drops what a later event makes stale without loss
// (CInputQueue::compact(): pointer moves, repeated joystick axis and hat values, window sizes). If
// more than kMaxWaiting still wait, it takes the oldest beyond the bound together with the frame's
// event, all in this one update, and applies them in order to the tables and edges. What it hands
// out as the frame's event (getEvent(), isEventCode()) is a close request (SDL_QUIT) among them,
// else the exit key's press (Escape), else their last key or button press, else their last event.
// A release of a key or button pressed among them is held back to the front of the queue, so the
// key and button tables show every one of their presses down in this frame, as isKeyPressed() and
// isButtonPressed() do. The bound thus never drops a key, mouse button or joystick button press,
// a close request or an Escape: it shortens the lag of the one-event stream by handing several
// presses out in one frame. Taking every event there is no bound on what one update applies.
// Events taken by update() for pollEvent() and never asked for are kept up to the same bound from
// one update to the next, the oldest dropped (they were applied already); the newest update's
// events are all kept.
// The open joysticks read as standard gamepads (getGamepads()) and named actions over every kind of
// input (getActions()) take each event as it is applied, with the same edges.
// Owns its queue, the open joystick handles, the gamepads and the actions. Main thread only.
class CEventManager {
public:
    // The event codes set by update().
    enum {
        CodeOther = 0,          // none of the others: a key release, the middle button, a move
        CodeKeyDown = 1,        // a key was pressed
        CodeQuit = 2,           // the window was asked to close (SDL_QUIT)
        CodeLeftUp = 3,         // the left mouse button was released
        CodeRightUp = 4,        // the right mouse button was released
        CodeLeftDown = 5,       // the left mouse button was pressed
        CodeRightDown = 6,      // the right mouse button was pressed
        CodeJoyAxis = 7,        // a joystick axis moved (SDL_JOYAXISMOTION)
        CodeJoyButtonDown = 8,  // a joystick button was pressed
        CodeJoyButtonUp = 9,    // a joystick button was released
        CodeJoyHat = 10,        // a joystick hat changed position
        // The user resized the window; the engine has re-applied its mode.
        CodeResize = 11
    };
    static const int kKeyCount = 400;  // covers every SDL 1.2 key symbol (SDLK_LAST is 323)
    // Joysticks opened at most. This and the three per-joystick counts size the joystick tables;
    // events and queries beyond them are ignored and answer 0.
    static const int kMaxJoysticks = 8;
    static const int kMaxJoystickAxes = 32;      // axes per joystick (see kMaxJoysticks)
    static const int kMaxJoystickButtons = 128;  // buttons per joystick (see kMaxJoysticks)
    static const int kMaxJoystickHats = 16;      // hats per joystick (see kMaxJoysticks)
    // Mouse buttons by SDL number: 1 left, 2 middle, 3 right, 4 and 5 the wheel's steps.
    static const int kButtonCount = 8;
    static const std::size_t kMaxWaiting = 256;  // events waiting at most (see the class description)

    CEventManager();
    ~CEventManager();

    // Once per frame: reads the mouse, resets the clicked id, takes one waiting event (every one while
    // taking every event) and applies it.
    void update();
    // Drops every waiting event, in SDL's queue and the manager's (after a loading screen, say); the
    // key table, the mouse buttons and the gamepads then read what SDL holds, so no dropped release
    // leaves a key or button held.
    void discardWaiting();
    // Events waiting for later updates.
    std::size_t waitingCount();
    // The next event, applied to the tables and edges as update() would apply it: true with the
    // event, false when none waits. Hands over every event once: taking every event, those the
    // last update() took; otherwise the events still waiting.
    bool pollEvent(SDL_Event& out);
    // On: update() applies every waiting event instead of one, and keeps them for pollEvent();
    // the edges are no longer cleared by update() (call clearEdges()). Off by default.
    void takeEveryEvent(bool on);
    bool isTakingEveryEvent() const;
    // Forgets the presses, releases, wheel steps and text of the events applied so far.
    void clearEdges();
    // A press of the key among the events applied since the edges were cleared; a press and its
    // release in one frame make this and isKeyReleased() true while isKeyDown() is 0. False outside
    // the table.
    bool isKeyPressed(int key) const;
    // A release of the key, as isKeyPressed() tells a press.
    bool isKeyReleased(int key) const;
    // As isKeyPressed(), for a mouse button by SDL number (SDL_BUTTON_LEFT ...); false outside 0..7.
    bool isButtonPressed(int button) const;
    // As isKeyReleased(), for a mouse button; false outside 0..7.
    bool isButtonReleased(int button) const;
    // How many presses of the key or mouse button (0 to 255) the events applied since the edges
    // were cleared held: two presses in one frame count two.
    int getKeyPressCount(int key) const;
    int getButtonPressCount(int button) const;
    // The mouse button is held; false outside 0..7.
    bool isButtonDown(int button) const;
    // Wheel steps since the edges were cleared: positive away from the user, negative towards.
    int getWheel() const;
    // The characters typed since the edges were cleared, UTF-8; keys such as Backspace, Return,
    // Tab and Escape are left out (query them as keys).
    const std::string& getText() const;
    // A request to close the window (SDL_QUIT) among the events applied since the edges were cleared.
    bool isQuitRequested() const;
    // Moves the current mouse position into the last one and reads the new one from SDL.
    void readMouse();

    // The last event applied (SDL_NOEVENT before any and after discardWaiting()).
    SDL_Event getEvent() const;
    // The last update() took an event; false when it applied the last one again.
    bool isEventPolled() const;
    int getMouseX() const;
    int getMouseY() const;
    // Movement between the last two mouse readings (readMouse()).
    int getMouseDeltaX() const;
    int getMouseDeltaY() const;
    bool hasMouseMoved() const;
    // 1 while the key is held, 0 otherwise; 0 for a symbol outside the table.
    uint8_t isKeyDown(int key) const;
    bool isLeftButtonDown() const;
    bool isRightButtonDown() const;
    // The last event applied has this code (CodeKeyDown ...).
    bool isEventCode(int code) const;
    // A GUI control posts its id while it is drawn; the next update() resets it to -1.
    void setClickedId(int id);
    // The id posted last since the last update(), -1 for none.
    int getClickedId() const;
    // An edge as isKeyPressed(): the control with this id posted a click since the edges were
    // cleared. Unlike getClickedId(), it sees every control clicked in a frame, and under CGameLoop
    // a click reaches exactly one update step.
    bool wasClicked(int id) const;

    // Closes the joysticks opened before, asks SDL to look for joysticks again (SDL 1.2 notices new
    // devices only then) and opens every one it finds, up to kMaxJoysticks; empties the joystick tables.
    // The constructor calls it. Answers how many are open; a failure of SDL's joystick subsystem
    // writes a line and leaves none.
    int openJoysticks();
    int getJoystickCount() const;
    // The name SDL reports for an open joystick; empty outside 0 to getJoystickCount() - 1.
    std::string getJoystickName(int joystick) const;
    // The last position an axis event reported (-32768 to 32767), 0 before any and out of range.
    int16_t getJoystickAxis(int joystick, int axis) const;
    // 1 while the button is held, 0 otherwise and out of range.
    uint8_t isJoystickButtonDown(int joystick, int button) const;
    // The hat's SDL_HAT_* bits (SDL_HAT_CENTERED, 0, at rest and out of range).
    uint8_t getJoystickHat(int joystick, int hat) const;

    // The open joysticks as standard gamepads (engine/input/Gamepads.h).
    CGamepads& getGamepads()
    {
        return gamepads;
    }
    const CGamepads& getGamepads() const
    {
        return gamepads;
    }
    // Named actions with their bindings (engine/input/InputActions.h).
    CInputActions& getActions()
    {
        return actions;
    }

private:
    // What only the engine calls: the engine's update and start-up, the game loop and the GUI's
    // pointer (and the engine's tests, through CEventManagerAccess).
    friend class CEngine;
    friend class CGameLoop;
    friend class CEventManagerAccess;
    friend bool gui::leftPressPolled();
    friend bool gui::leftReleasePolled();

    // Puts the filter in place (again): SDL clears filters when its video starts, so the engine
    // calls this once the window is open, and update() checks it every frame.
    void listen();
    // A press of the button among the events the last update() applied, or that pollEvent() applied
    // before it, whatever the edges' owner did: what the GUI, drawn within the engine's update,
    // reacts to.
    bool isButtonPressedInUpdate(int button) const;
    // A release, as isButtonPressedInUpdate() tells a press.
    bool isButtonReleasedInUpdate(int button) const;
    // As isButtonPressedInUpdate(), for a key: what the engine itself follows within its update.
    bool isKeyPressedInUpdate(int key) const;
    // True with the newest size a resize among those events (the last update()'s) gave; without
    // one, false and the arguments untouched. What the engine follows within its update.
    bool getResizeInUpdate(int& width, int& height) const;
    // While hidden, the edge queries answer as if nothing happened, without forgetting anything:
    // CGameLoop hides them from the catch-up steps after a frame's first.
    void hideEdges(bool hidden);

    // Everything that has arrived into the queue, listening again if SDL dropped the filter.
    void pumpEvents();
    // The events one update() takes when more than the bound wait (see the class description).
    void applyBeyondBound(const std::deque<SDL_Event>& taken);
    // Applies the record; fresh for an event just taken (a stale one sets no edges).
    void apply(bool fresh);
    void applyEdges();
    void appendUtf8(Uint16 unit);
    // Joystick events into their tables, and the window's resize; sets their codes.
    void applyJoystickOrResize();
    void closeJoysticks();

    std::unique_ptr<CInputQueue> queue;  // owned; behind a pointer so that games need not see it

    SDL_Event event;
    uint8_t keys[kKeyCount];
    bool keyPressed;
    int eventCode;
    bool eventPolled;
    int mouseX;
    int mouseY;
    int lastMouseX;
    int lastMouseY;
    bool leftButton;
    bool rightButton;
    int clickedId;

    bool everyEvent = false;
    std::deque<SDL_Event> handedOut;  // taken by update() for pollEvent(), main thread only
    uint8_t keysPressed[kKeyCount];
    uint8_t keysReleased[kKeyCount];
    uint8_t buttonsPressed[kButtonCount];
    uint8_t buttonsReleased[kButtonCount];
    // What the engine's own update reacts to: the events its event update applied, and those the
    // application polled itself since the update before, which would otherwise never reach it.
    struct UpdateEdges {
        uint8_t keysPressed[kKeyCount] = {};
        uint8_t buttonsPressed[kButtonCount] = {};
        uint8_t buttonsReleased[kButtonCount] = {};
        bool resized = false;
        int width = 0;
        int height = 0;
    };
    UpdateEdges inUpdate;
    UpdateEdges polledSince;      // applied by pollEvent() after the last update()
    bool polling = false;         // pollEvent() is applying
    std::vector<int> clickedIds;  // edges: every id posted since they were cleared
    int wheel = 0;
    std::string text;
    Uint16 highSurrogate = 0;  // the first half of a character beyond U+FFFF
    bool quitRequested = false;
    bool edgesHidden = false;  // hideEdges(true) in force

    // Joystick tables beside the key table, indexed by SDL's joystick index.
    int16_t joyAxes[kMaxJoysticks][kMaxJoystickAxes];
    uint8_t joyButtons[kMaxJoysticks][kMaxJoystickButtons];
    uint8_t joyHats[kMaxJoysticks][kMaxJoystickHats];
    std::vector<SDL_Joystick*> joysticks;  // opened here; SDL_Quit (graphics core) may close them first
    std::vector<std::string> joystickNames;
    uint8_t buttonsDown[kButtonCount] = {};
    CGamepads gamepads;
    CInputActions actions{this};
};

#endif
