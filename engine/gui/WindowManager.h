#ifndef ENGINE_GUI_WINDOWMANAGER_H
#define ENGINE_GUI_WINDOWMANAGER_H

// Owns the GUI windows and draws the visible ones in order of addition every frame.
// Not yet: windows and widgets arrive with the GUI; until then there is nothing to draw. Main thread only.
class CWindowManager {
public:
    CWindowManager();
    ~CWindowManager();

    // Draws every visible window; they hit-test the mouse while they draw.
    void drawAll();
};

#endif
