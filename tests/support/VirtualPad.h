#ifndef TESTS_SUPPORT_VIRTUALPAD_H
#define TESTS_SUPPORT_VIRTUALPAD_H

// A virtual joystick of SDL 2 (SDL_JoystickAttachVirtualEx, SDL 2.24 and later), for the tests that
// run on sdl12-compat: sdl12-compat lists it as a real joystick. Its own translation unit speaks to
// SDL 2 through dlopen and dlsym, because SDL 1.2 and SDL 2 export functions of the same names.
// It keeps a reference of its own on SDL 2's joystick subsystem, so the joystick survives the
// engine's openJoysticks(), which starts SDL 1.2's joystick subsystem afresh. No header of SDL here:
// the tests include SDL 1.2's.
namespace testing_support {

class CVirtualPad {
public:
    // Attaches the pad; ready() tells whether it worked. Only on sdl12-compat: the classic SDL
    // never sees it (SDL 2 may be in the process all the same, through SDL_mixer's libraries).
    CVirtualPad(const char* name, int vendor, int product, int buttons, int axes, int hats);
    // Detaches it; the engine then finds it gone at its next openJoysticks().
    ~CVirtualPad();
    CVirtualPad(const CVirtualPad&) = delete;
    CVirtualPad& operator=(const CVirtualPad&) = delete;

    bool ready() const
    {
        return joystick != nullptr;
    }
    // The new values reach SDL 1.2's queue at its next pump.
    void setButton(int button, bool down);
    void setAxis(int axis, int value);
    void setHat(int hat, int value);
    // Lets SDL 2 send what changed (SDL_JoystickUpdate), as its event pump does.
    void update();

private:
    void* joystick = nullptr;  // SDL 2's SDL_Joystick
    bool referenced = false;   // our reference on SDL 2's joystick subsystem
};

}  // namespace testing_support

#endif
