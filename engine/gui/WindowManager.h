#ifndef ENGINE_GUI_WINDOWMANAGER_H
#define ENGINE_GUI_WINDOWMANAGER_H

#include <vector>

class CButton;
class CToggleButton;
class CWindow;

// Owns every GUI window and draws the visible ones once per frame in order of addition, so a later
// window covers an earlier one. Windows do their own hit tests while drawn; several overlapping
// windows under the pointer all react. No removal, focus or raising. Its pass, drawAll(), runs
// inside CEngine::update() right after the event manager's update; it first hit-tests the buttons
// drawn outside any window since the pass before (see CButton), so that their presses are posted in
// the same update as the windows' whatever the game's drawing order. Only points to those buttons,
// each once, until that pass. Main thread only.
class CWindowManager {
public:
    CWindowManager();
    ~CWindowManager();

    // Takes ownership and appends.
    void addWindow(CWindow* window);
    // The pass: the press test of the buttons drawn outside windows, in the order they were drawn,
    // then the visible windows.
    void drawAll();
    // Clears every window's active flag; visibility stays as it was.
    void deactivateAll();
    // Activates (and so shows) every window with this id.
    void activateWindow(int id);

    int getWindowCount() const;

    // A button drawn outside any window, with the offset it was drawn at, to be hit-tested by the
    // next pass (its draw() and drawAt() call this). A button drawn again before that pass keeps
    // its place in the order and takes the latest offset. Null does nothing.
    void testWhenDrawn(CButton* button, float offsetX, float offsetY);
    // The same for a toggle button drawn outside any window.
    void testWhenDrawn(CToggleButton* toggle, float offsetX, float offsetY);
    // Drops the button from the next pass (its destructor calls this).
    void forgetDrawn(const CButton* button);
    // Drops the toggle button from the next pass (its destructor calls this).
    void forgetDrawn(const CToggleButton* toggle);

private:
    CWindowManager(const CWindowManager&) = delete;
    CWindowManager& operator=(const CWindowManager&) = delete;

    // One button drawn outside the windows: a push button or a toggle button (the other null).
    struct Drawn {
        CButton* button;
        CToggleButton* toggle;
        float offsetX;
        float offsetY;
    };
    void remember(const Drawn& drawn);
    void testDrawnButtons();

    std::vector<CWindow*> windows;  // owned
    std::vector<Drawn> drawn;       // points to buttons owned by their creators
};

#endif
