#include "engine/graphics/GraphicsCore.h"

#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "engine/texture/Texture.h"

#include <SDL.h>

// The custom mouse cursor: the only part of the graphics core that needs textures and the mouse
// position, kept apart so that the window and render-state code depends on neither.

void CGraphicsCore::releaseCursors()
{
    delete cursor;
    cursor = nullptr;
    delete altCursor;
    altCursor = nullptr;
    currentCursor = nullptr;
}

void CGraphicsCore::showCursor(bool show)
{
    systemCursorShown = show;
    applySystemCursor();
}

void CGraphicsCore::applySystemCursor()
{
    // Without SDL video the choice waits for the window: sdl12-compat crashes in SDL_ShowCursor
    // once video has been started and shut down again.
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        SDL_ShowCursor(systemCursorShown ? 1 : 0);
}

void CGraphicsCore::loadCursor(const char* path)
{
    delete cursor;
    cursor = new CTexture(path ? path : "");
    hasCursor = true;
    currentCursor = cursor;
    showCursor(false);
}

void CGraphicsCore::loadAltCursor(const char* path)
{
    // The current choice must not be left pointing at the released image.
    const bool wasCurrent = altCursor != nullptr && currentCursor == altCursor;
    delete altCursor;
    altCursor = new CTexture(path ? path : "");
    hasAltCursor = true;
    if (wasCurrent)
        currentCursor = altCursor;
}

void CGraphicsCore::loadCursors(const char* path, const char* altPath)
{
    delete cursor;
    cursor = new CTexture(path ? path : "");
    hasCursor = true;
    showCursor(false);
    delete altCursor;
    altCursor = new CTexture(altPath ? altPath : "");
    hasAltCursor = true;
    currentCursor = cursor;
}

void CGraphicsCore::useAltCursor(bool alt)
{
    // The alternative only once one is loaded: otherwise the choice would point at nothing.
    currentCursor = (alt && altCursor != nullptr) ? altCursor : cursor;
}

void CGraphicsCore::drawCursor()
{
    CTexture* image = (hasAltCursor && currentCursor != nullptr) ? currentCursor : cursor;
    if (image == nullptr || g_pEventManager == nullptr)
        return;
    image->draw(static_cast<float>(g_pEventManager->getMouseX()), static_cast<float>(g_pEventManager->getMouseY()),
                1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}
