#ifndef ENGINE_INPUT_GAMEPADLAYOUT_H
#define ENGINE_INPUT_GAMEPADLAYOUT_H

#include <string>

// The standard gamepad: the face buttons by position (A at the bottom, B on the right, X on the
// left, Y at the top, whatever the pad prints on them), as SDL 2's game controllers and the
// community mapping database name them. The stick and trigger directions after DPadRight are
// buttons too: held while the stick or trigger stands past its press threshold, so they have
// edges and counts like the others.
enum class GamepadButton {
    A,
    B,
    X,
    Y,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    DPadUp,
    DPadDown,
    DPadLeft,
    DPadRight,
    LeftStickLeft,
    LeftStickRight,
    LeftStickUp,
    LeftStickDown,
    RightStickLeft,
    RightStickRight,
    RightStickUp,
    RightStickDown,
    LeftTrigger,
    RightTrigger,
    Count
};

// Sticks read -1 to 1 (X to the right, Y downwards, as SDL reports), triggers 0 to 1.
enum class GamepadAxis { LeftX, LeftY, RightX, RightY, LeftTrigger, RightTrigger, Count };

// The names the mapping lines and the actions file use ("a", "start", "dpup", "leftx",
// "lefttrigger"; the directions "leftx-", "leftx+", "lefty-", "lefty+" and the triggers
// "lefttrigger"/"righttrigger" as buttons); an empty text outside the enumeration.
std::string gamepadButtonName(GamepadButton button);
std::string gamepadAxisName(GamepadAxis axis);
// The button or axis of that name; Count for none.
GamepadButton gamepadButtonByName(const std::string& name);
GamepadAxis gamepadAxisByName(const std::string& name);

#endif
