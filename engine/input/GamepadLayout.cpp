#include "engine/input/GamepadLayout.h"

namespace {

// In the enumerations' order.
const char* const kButtonNames[] = {"a",
                                    "b",
                                    "x",
                                    "y",
                                    "back",
                                    "guide",
                                    "start",
                                    "leftstick",
                                    "rightstick",
                                    "leftshoulder",
                                    "rightshoulder",
                                    "dpup",
                                    "dpdown",
                                    "dpleft",
                                    "dpright",
                                    "leftx-",
                                    "leftx+",
                                    "lefty-",
                                    "lefty+",
                                    "rightx-",
                                    "rightx+",
                                    "righty-",
                                    "righty+",
                                    "lefttrigger",
                                    "righttrigger"};
const char* const kAxisNames[] = {"leftx", "lefty", "rightx", "righty", "lefttrigger", "righttrigger"};

static_assert(sizeof(kButtonNames) / sizeof(kButtonNames[0]) == int(GamepadButton::Count), "a name per button");
static_assert(sizeof(kAxisNames) / sizeof(kAxisNames[0]) == int(GamepadAxis::Count), "a name per axis");

}  // namespace

std::string gamepadButtonName(GamepadButton button)
{
    const int index = int(button);
    return index >= 0 && index < int(GamepadButton::Count) ? kButtonNames[index] : "";
}

std::string gamepadAxisName(GamepadAxis axis)
{
    const int index = int(axis);
    return index >= 0 && index < int(GamepadAxis::Count) ? kAxisNames[index] : "";
}

GamepadButton gamepadButtonByName(const std::string& name)
{
    for (int index = 0; index < int(GamepadButton::Count); ++index)
        if (name == kButtonNames[index])
            return GamepadButton(index);
    return GamepadButton::Count;
}

GamepadAxis gamepadAxisByName(const std::string& name)
{
    for (int index = 0; index < int(GamepadAxis::Count); ++index)
        if (name == kAxisNames[index])
            return GamepadAxis(index);
    return GamepadAxis::Count;
}
