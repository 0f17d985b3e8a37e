// Compiled against SDL 2's headers only (see VirtualPad.h).
#include "tests/support/VirtualPad.h"

#ifdef QUARL_NO_SDL2_HEADERS

namespace testing_support {

// Without libsdl2-dev no pad attaches: ready() stays false.
CVirtualPad::CVirtualPad(const char*, int, int, int, int, int)
{
}
CVirtualPad::~CVirtualPad() = default;
void CVirtualPad::setButton(int, bool)
{
}
void CVirtualPad::setAxis(int, int)
{
}
void CVirtualPad::setHat(int, int)
{
}
void CVirtualPad::update()
{
}

}  // namespace testing_support

#else

#include <SDL2/SDL.h>
#include <dlfcn.h>

namespace testing_support {

namespace {

void* sdl2()
{
    // The instance already in the process (sdl12-compat's), never a second one.
    static void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    return handle;
}

template <typename Function>
Function find(const char* name)
{
    return sdl2() != nullptr ? reinterpret_cast<Function>(dlsym(sdl2(), name)) : nullptr;
}

}  // namespace

CVirtualPad::CVirtualPad(const char* name, int vendor, int product, int buttons, int axes, int hats)
{
    const auto init = find<int (*)(Uint32)>("SDL_InitSubSystem");
    const auto attach = find<int (*)(const SDL_VirtualJoystickDesc*)>("SDL_JoystickAttachVirtualEx");
    const auto open = find<SDL_Joystick* (*)(int)>("SDL_JoystickOpen");
    if (init == nullptr || attach == nullptr || open == nullptr || init(SDL_INIT_JOYSTICK) != 0)
        return;
    referenced = true;
    SDL_VirtualJoystickDesc description{};
    description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    description.naxes = Uint16(axes);
    description.nbuttons = Uint16(buttons);
    description.nhats = Uint16(hats);
    description.vendor_id = Uint16(vendor);
    description.product_id = Uint16(product);
    description.name = name;
    // SDL 2 makes the pad's game-controller mapping from these: the first buttons and axes in the
    // standard order.
    description.button_mask = buttons >= 32 ? 0xFFFFFFFFu : (1u << buttons) - 1u;
    description.axis_mask = axes >= 32 ? 0xFFFFFFFFu : (1u << axes) - 1u;
    const int deviceIndex = attach(&description);
    if (deviceIndex >= 0)
        joystick = open(deviceIndex);
}

CVirtualPad::~CVirtualPad()
{
    if (joystick != nullptr) {
        const auto close = find<void (*)(SDL_Joystick*)>("SDL_JoystickClose");
        const auto instance = find<SDL_JoystickID (*)(SDL_Joystick*)>("SDL_JoystickInstanceID");
        const auto detach = find<int (*)(int)>("SDL_JoystickDetachVirtual");
        const auto count = find<int (*)(void)>("SDL_NumJoysticks");
        const auto instanceAt = find<SDL_JoystickID (*)(int)>("SDL_JoystickGetDeviceInstanceID");
        const SDL_JoystickID id = instance(static_cast<SDL_Joystick*>(joystick));
        close(static_cast<SDL_Joystick*>(joystick));
        // Detaching takes the device index, which moves as other devices come and go.
        for (int index = 0; index < count(); ++index)
            if (instanceAt(index) == id)
                detach(index);
    }
    if (referenced)
        find<void (*)(Uint32)>("SDL_QuitSubSystem")(SDL_INIT_JOYSTICK);
}

void CVirtualPad::setButton(int button, bool down)
{
    if (joystick != nullptr)
        find<int (*)(SDL_Joystick*, int, Uint8)>("SDL_JoystickSetVirtualButton")(
            static_cast<SDL_Joystick*>(joystick), button, down ? 1 : 0);
}

void CVirtualPad::setAxis(int axis, int value)
{
    if (joystick != nullptr)
        find<int (*)(SDL_Joystick*, int, Sint16)>("SDL_JoystickSetVirtualAxis")(
            static_cast<SDL_Joystick*>(joystick), axis, Sint16(value));
}

void CVirtualPad::setHat(int hat, int value)
{
    if (joystick != nullptr)
        find<int (*)(SDL_Joystick*, int, Uint8)>("SDL_JoystickSetVirtualHat")(static_cast<SDL_Joystick*>(joystick),
                                                                              hat, Uint8(value));
}

void CVirtualPad::update()
{
    if (joystick != nullptr)
        find<void (*)(void)>("SDL_JoystickUpdate")();
}

}  // namespace testing_support

#endif
