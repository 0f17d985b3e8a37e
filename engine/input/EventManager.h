#ifndef ENGINE_INPUT_EVENTMANAGER_H
#define ENGINE_INPUT_EVENTMANAGER_H

#include <SDL.h>

#include <cstdint>

// The input state of the current frame. update() takes at most one event from SDL's queue per
// frame; the others wait for later frames. When the queue is empty the last event record is applied
// again, so eventCode and keyPressed describe the last event ever received and isEventPolled() tells
// whether it arrived in this frame: react once per event by testing isEventPolled() first.
// Owns nothing. Main thread only.
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
        CodeRightDown = 6
    };
    static const int kKeyCount = 400;  // covers every SDL 1.2 key symbol (SDLK_LAST is 323)

    CEventManager();
    ~CEventManager();

    // Once per frame: reads the mouse, resets the clicked id, polls one event and applies it.
    void update();
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

private:
    void apply();

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
};

#endif
