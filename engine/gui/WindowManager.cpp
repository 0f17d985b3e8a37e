#include "engine/gui/WindowManager.h"

#include "engine/gui/Button.h"
#include "engine/gui/ToggleButton.h"
#include "engine/gui/Window.h"

#include <algorithm>

CWindowManager::CWindowManager() = default;

CWindowManager::~CWindowManager()
{
    // Buttons owned by the windows unlist themselves as they go; nothing is left to test.
    drawn.clear();
    for (CWindow* window : windows)
        delete window;
    windows.clear();
}

void CWindowManager::addWindow(CWindow* window)
{
    if (window != nullptr)
        windows.push_back(window);
}

void CWindowManager::drawAll()
{
    // Before the windows: in the usual order (scene, engine->update(), swap) the windows are drawn
    // over the scene's buttons, so of overlapping buttons a window's, tested later, posts its id.
    testDrawnButtons();
    for (CWindow* window : windows)
        if (window->isVisible())
            window->draw();
}

void CWindowManager::deactivateAll()
{
    for (CWindow* window : windows)
        window->setActive(false);
}

void CWindowManager::activateWindow(int id)
{
    for (CWindow* window : windows)
        if (window->getId() == id)
            window->setActive(true);
}

int CWindowManager::getWindowCount() const
{
    return static_cast<int>(windows.size());
}

void CWindowManager::testWhenDrawn(CButton* button, float offsetX, float offsetY)
{
    if (button != nullptr)
        remember(Drawn{button, nullptr, offsetX, offsetY});
}

void CWindowManager::testWhenDrawn(CToggleButton* toggle, float offsetX, float offsetY)
{
    if (toggle != nullptr)
        remember(Drawn{nullptr, toggle, offsetX, offsetY});
}

void CWindowManager::remember(const Drawn& entry)
{
    // Once per button: a toggle tested twice against one press would flip back.
    for (Drawn& known : drawn) {
        if (known.button == entry.button && known.toggle == entry.toggle) {
            known = entry;
            return;
        }
    }
    drawn.push_back(entry);
}

void CWindowManager::forgetDrawn(const CButton* button)
{
    drawn.erase(std::remove_if(drawn.begin(), drawn.end(),
                               [button](const Drawn& entry) { return entry.button == button; }),
                drawn.end());
}

void CWindowManager::forgetDrawn(const CToggleButton* toggle)
{
    drawn.erase(std::remove_if(drawn.begin(), drawn.end(),
                               [toggle](const Drawn& entry) { return entry.toggle == toggle; }),
                drawn.end());
}

void CWindowManager::testDrawnButtons()
{
    // Swapped out first: only what is drawn after this pass waits for the next one.
    std::vector<Drawn> due;
    due.swap(drawn);
    for (const Drawn& entry : due) {
        // Hidden since it was drawn: the player can no longer aim at it.
        if (entry.button != nullptr && entry.button->visible)
            entry.button->isPointerOver(entry.offsetX, entry.offsetY);
        else if (entry.toggle != nullptr && entry.toggle->visible)
            entry.toggle->isPointerOver(entry.offsetX, entry.offsetY);
    }
}
