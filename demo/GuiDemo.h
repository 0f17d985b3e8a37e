#ifndef DEMO_GUIDEMO_H
#define DEMO_GUIDEMO_H

#include "engine/core/App.h"

class CMusic;
class CSound;
class CWindow;

// The GUI showcase: a draggable window (the move cursor over its title bar, a hover text) with a
// push button that plays a click, a toggle button that starts and stops a music track, and labels
// in several colours, styles and scales. Escape or closing the window ends it.
// The window belongs to the window manager; a sound or track that loaded belongs to the sound
// manager; one that failed to load stays the demo's and is deleted with it.
class GuiDemo : public CApp {
public:
    enum { WindowId = 1, PlayButtonId = 10, MusicToggleId = 11 };
    // The page layout in window pixels: the 320 by 240 window starts centred on the 1024 by 768
    // page; its title strip is 24 pixels high. The button (112 by 36) and the toggle (64 by 32)
    // are placed inside the window at these offsets.
    enum {
        WindowLeft = 352,
        WindowTop = 264,
        WindowWidth = 320,
        WindowHeight = 240,
        TitleHeight = 24,
        ButtonX = 24,
        ButtonY = 48,
        ToggleX = 24,
        ToggleY = 104
    };

    GuiDemo();
    ~GuiDemo() override;

    void init() override;
    void run() override;
    void cleanUp() override;
    void userHook1() override;
    void userHook2() override;

    // One frame: clear, the instructions, the engine's update (which draws and hit-tests the
    // window), the swap; then the reaction to a clicked widget.
    void renderFrame();
    // What a click on the button or the toggle does.
    void handleClick(int id);

    CWindow* window;  // owned by the window manager
    CSound* click;
    CMusic* music;
    bool musicOn;
};

#endif
