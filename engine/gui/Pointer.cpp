#include "engine/gui/Pointer.h"

#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"

#include <SDL.h>

namespace gui {

bool pointerInside(float x, float y, float w, float h)
{
    if (g_pEventManager == nullptr)
        return false;
    const float px = float(g_pEventManager->getMouseX());
    const float py = float(g_pEventManager->getMouseY());
    return px >= x && x + w >= px && py >= y && y + h >= py;
}

// Among all the events the update applied: one per update by default, every waiting one under
// CGameLoop, where a press and its release or a move may share a frame.
bool leftPressPolled()
{
    return g_pEventManager != nullptr && g_pEventManager->isButtonPressedInUpdate(SDL_BUTTON_LEFT);
}

bool leftReleasePolled()
{
    return g_pEventManager != nullptr && g_pEventManager->isButtonReleasedInUpdate(SDL_BUTTON_LEFT);
}

}  // namespace gui
