#ifndef ENGINE_GUI_WINDOWMANAGER_H
#define ENGINE_GUI_WINDOWMANAGER_H

#include <vector>

class CWindow;

// Owns every GUI window and draws the visible ones once per frame in order of addition, so a later
// window covers an earlier one. Windows do their own hit tests while drawn; several overlapping
// windows under the pointer all react. No removal, focus or raising. Main thread only.
class CWindowManager {
public:
    CWindowManager();
    ~CWindowManager();

    // Takes ownership and appends.
    void addWindow(CWindow* window);
    void drawAll();
    // Clears every window's active flag; visibility stays as it was.
    void deactivateAll();
    // Activates (and so shows) every window with this id.
    void activateWindow(int id);

    int getWindowCount() const;

private:
    CWindowManager(const CWindowManager&) = delete;
    CWindowManager& operator=(const CWindowManager&) = delete;

    std::vector<CWindow*> windows;
};

#endif
