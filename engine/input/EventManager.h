#ifndef ENGINE_INPUT_EVENTMANAGER_H
#define ENGINE_INPUT_EVENTMANAGER_H

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// The input state of the current frame. update() hands at most one event to the application per
// frame; the others wait for later frames. When no event waits the last event record is applied
// again, so eventCode and keyPressed describe the last event ever received and isEventPolled() tells
// whether it arrived in this frame: react once per event by testing isEventPolled() first.
//
// The waiting events live in a queue of the manager's own, not in SDL's: SDL 1.2's queue holds 128
// events and silently drops the rest, so a burst of pointer moves between two frames would lose the
// key presses and releases among them. An SDL event filter (installed with the window) takes every
// event before SDL's queue can refuse it; events pushed with SDL_PushEvent bypass filters and are
// moved over from SDL's queue, in order. Consecutive pointer moves with the same buttons held are
// merged into one (latest position, summed relative motion), so a burst cannot grow the queue
// without bound; events an application pushes itself stay as pushed (SDL bounds those). An application's own filter, set before, is kept and asked first.
// Joystick axis, button and hat events fill tables of their own the same way.
// Owns its queue and the open joystick handles. Main thread only, except the filter, which SDL may
// call on its event thread.
class CEventManager {
public:
    // The event codes set by update().
    enum {
        CodeOther = 0,
        CodeKeyDown = 1,
        CodeQuit = 2,
        CodeLeftUp = 3,
        CodeRightUp = 4,
        CodeLeftDown = 5,
        CodeRightDown = 6,
        CodeJoyAxis = 7,        // a joystick axis moved (SDL_JOYAXISMOTION)
        CodeJoyButtonDown = 8,  // a joystick button was pressed
        CodeJoyButtonUp = 9,    // a joystick button was released
        CodeJoyHat = 10,        // a joystick hat changed position
        CodeResize = 11         // the user resized the window; the engine has re-applied its mode
    };
    static const int kKeyCount = 400;  // covers every SDL 1.2 key symbol (SDLK_LAST is 323)
    // The joystick tables' sizes; events and queries beyond them are ignored and answer 0.
    static const int kMaxJoysticks = 8;
    static const int kMaxJoystickAxes = 32;
    static const int kMaxJoystickButtons = 128;
    static const int kMaxJoystickHats = 16;

    CEventManager();
    ~CEventManager();

    // Once per frame: reads the mouse, resets the clicked id, takes one waiting event and applies it.
    void update();
    // Puts the filter in place (again): SDL clears filters when its video starts, so the engine
    // calls this once the window is open, and update() checks it every frame.
    void listen();
    // Drops every waiting event, in SDL's queue and the manager's (after a loading screen, say); the
    // key table and the mouse buttons then read what SDL holds, so no dropped release leaves a key
    // or button held.
    void discardWaiting();
    // Events waiting for later updates.
    std::size_t waitingCount();
    // Moves the current mouse position into the last one and reads the new one from SDL.
    void readMouse();

    SDL_Event getEvent() const;
    bool isEventPolled() const;
    int getMouseX() const;
    int getMouseY() const;
    int getMouseDeltaX() const;
    int getMouseDeltaY() const;
    bool hasMouseMoved() const;
    // 1 while the key is held, 0 otherwise; 0 for a symbol outside the table.
    uint8_t isKeyDown(int key) const;
    bool isLeftButtonDown() const;
    bool isRightButtonDown() const;
    bool isEventCode(int code) const;
    // A GUI control posts its id while it is drawn; the next update() resets it to -1.
    void setClickedId(int id);
    int getClickedId() const;

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

private:
    // SDL's event filter: queues the event here and tells SDL to drop its own copy.
    static int SDLCALL filter(const SDL_Event* event);
    // Appends under the lock; a pointer move from the filter merges into a move from the filter
    // waiting at the end. Pushed events are the application's own and stay as pushed.
    void enqueue(const SDL_Event& incoming, bool mergeable);
    // Moves what SDL_PushEvent left on SDL's queue behind what is already waiting here.
    void takeSDLQueue();
    void apply();
    // Joystick events into their tables, and the window's resize; sets their codes.
    void applyJoystickOrResize();
    void closeJoysticks();

    std::mutex queueLock;        // guards waiting; the filter may run on SDL's event thread
    std::deque<SDL_Event> waiting;
    bool lastMergeable = false;  // the last event waiting is a move from the filter

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

    // Joystick tables beside the key table, indexed by SDL's joystick index.
    int16_t joyAxes[kMaxJoysticks][kMaxJoystickAxes];
    uint8_t joyButtons[kMaxJoysticks][kMaxJoystickButtons];
    uint8_t joyHats[kMaxJoysticks][kMaxJoystickHats];
    std::vector<SDL_Joystick*> joysticks;  // opened here; SDL_Quit (graphics core) may close them first
    std::vector<std::string> joystickNames;
};

#endif
