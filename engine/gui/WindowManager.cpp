#include "engine/gui/WindowManager.h"

#include "engine/gui/Window.h"

CWindowManager::CWindowManager() = default;

CWindowManager::~CWindowManager()
{
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
