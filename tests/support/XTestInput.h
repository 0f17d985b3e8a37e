#ifndef TESTS_SUPPORT_XTESTINPUT_H
#define TESTS_SUPPORT_XTESTINPUT_H

// After gtest in every includer: Xlib defines macros (None, Bool) that collide with gtest's names.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "tests/support/SdlX11Window.h"

namespace testing_support {

// Real keyboard and pointer input through the X server's XTEST extension, as a user's devices give
// it, aimed at this process's SDL window. A connection of its own, so a thread may send while the
// main thread runs frames (each connection is used by one thread only).
class CXTestInput {
public:
    CXTestInput()
        : display(XOpenDisplay(nullptr))
    {
        int eventBase, errorBase, major, minor;
        if (display != nullptr && !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
            XCloseDisplay(display);
            display = nullptr;
        }
        if (display == nullptr)
            return;
        SDL_SysWMinfo info;
        const Window topLevel = sdlTopLevelWindow(&info);
        if (topLevel == 0) {
            XCloseDisplay(display);
            display = nullptr;
            return;
        }
        // Keyboard focus on the window, and its origin on the screen for the pointer moves.
        Window child;
        XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), 0, 0, &originX, &originY,
                              &child);
        XSetInputFocus(display, topLevel, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    ~CXTestInput()
    {
        if (display != nullptr)
            XCloseDisplay(display);
    }
    CXTestInput(const CXTestInput&) = delete;
    CXTestInput& operator=(const CXTestInput&) = delete;

    bool ready() const
    {
        return display != nullptr;
    }
    // The pointer to (x, y) in window pixels.
    void move(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, originX + x, originY + y, 0);
    }
    void key(KeySym symbol, bool down)
    {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down ? True : False, 0);
    }
    void tap(KeySym symbol)
    {
        key(symbol, true);
        key(symbol, false);
    }
    void button(unsigned number, bool down)
    {
        XTestFakeButtonEvent(display, number, down ? True : False, 0);
    }
    // Everything sent has reached the server (and so is on its way to SDL).
    void sync()
    {
        XSync(display, False);
    }

private:
    Display* display;
    int originX = 0;
    int originY = 0;
};

}  // namespace testing_support

#endif
