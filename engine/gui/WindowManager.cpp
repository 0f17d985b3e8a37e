#include "engine/gui/WindowManager.h"

CWindowManager::CWindowManager() = default;

CWindowManager::~CWindowManager() = default;

void CWindowManager::drawAll()
{
    // Not yet: no windows exist before the GUI lands.
}
