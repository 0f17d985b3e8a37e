#ifndef TESTS_SUPPORT_SDLX11WINDOW_H
#define TESTS_SUPPORT_SDLX11WINDOW_H
// After gtest in every includer: Xlib defines macros (None, Bool) that collide with gtest's names.
#include <SDL.h>
#include <SDL_syswm.h>

namespace testing_support {

// The X window of SDL's window that takes keyboard focus and that a window manager moves and
// resizes. The classic SDL 1.2 draws into a child of a managed top-level window (wmwindow);
// sdl12-compat has a single window and leaves wmwindow at 0. 0 without a window.
inline Window sdlTopLevelWindow(SDL_SysWMinfo* info)
{
    SDL_VERSION(&info->version);
    if (SDL_GetWMInfo(info) != 1)
        return 0;
    return info->info.x11.wmwindow != 0 ? info->info.x11.wmwindow : info->info.x11.window;
}

inline Window sdlTopLevelWindow()
{
    SDL_SysWMinfo info;
    return sdlTopLevelWindow(&info);
}

}  // namespace testing_support

#endif
