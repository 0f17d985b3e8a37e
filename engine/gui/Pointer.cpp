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

static bool leftButtonPolled(Uint8 type)
{
    if (g_pEventManager == nullptr || !g_pEventManager->isEventPolled())
        return false;
    const SDL_Event event = g_pEventManager->getEvent();
    return event.type == type && event.button.button == SDL_BUTTON_LEFT;
}

bool leftPressPolled()
{
    return leftButtonPolled(SDL_MOUSEBUTTONDOWN);
}

bool leftReleasePolled()
{
    return leftButtonPolled(SDL_MOUSEBUTTONUP);
}

} // namespace gui
