#include "engine/input/Gamepad.h"

#include <algorithm>
#include <cmath>

namespace {

float clampedZone(float zone, float low, float high)
{
    if (!(zone >= low))  // NaN too
        return low;
    return std::min(zone, high);
}

bool valid(GamepadButton button)
{
    return int(button) >= 0 && int(button) < int(GamepadButton::Count);
}

}  // namespace

CGamepad::CGamepad() = default;

CGamepad::CGamepad(int index, const CGamepadIdentity& identity, const CGamepadMapping* mapping)
    : index(index),
      identity(identity),
      mapped(mapping != nullptr)
{
    if (mapping != nullptr)
        this->mapping = *mapping;
}

bool CGamepad::isDown(GamepadButton button) const
{
    return valid(button) && down[int(button)];
}

bool CGamepad::isPressed(GamepadButton button) const
{
    return !edgesHidden && valid(button) && presses[int(button)] != 0;
}

bool CGamepad::isReleased(GamepadButton button) const
{
    return !edgesHidden && valid(button) && releases[int(button)] != 0;
}

int CGamepad::getPressCount(GamepadButton button) const
{
    return edgesHidden || !valid(button) ? 0 : presses[int(button)];
}

float CGamepad::getAxis(GamepadAxis axis) const
{
    return int(axis) >= 0 && int(axis) < int(GamepadAxis::Count) ? axes[int(axis)] : 0.0f;
}

void CGamepad::setStickDeadZone(float zone)
{
    stickZone = clampedZone(zone, 0.0f, 0.95f);
}

void CGamepad::setTriggerDeadZone(float zone)
{
    triggerZone = clampedZone(zone, 0.0f, 0.95f);
}

void CGamepad::setPressThreshold(float threshold)
{
    pressThreshold = clampedZone(threshold, 0.05f, 1.0f);
}

void CGamepad::apply(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        if (event.jaxis.axis < SGamepadRawState::kAxes) {
            raw.axes[event.jaxis.axis] = event.jaxis.value;
            raw.axisReported[event.jaxis.axis] = true;
        }
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        if (event.jbutton.button < SGamepadRawState::kButtons)
            raw.buttons[event.jbutton.button] = event.type == SDL_JOYBUTTONDOWN;
        break;
    case SDL_JOYHATMOTION:
        if (event.jhat.hat < SGamepadRawState::kHats)
            raw.hats[event.jhat.hat] = event.jhat.value;
        break;
    default:
        return;
    }
    update();
}

void CGamepad::update()
{
    if (!mapped)
        return;
    bool now[int(GamepadButton::Count)];
    mapping.apply(raw, now, rawAxes);
    // Radial: the stick's distance from the centre decides, so a diagonal is not cut to a cross.
    for (int stick = 0; stick < 2; ++stick) {
        const float x = rawAxes[stick * 2];
        const float y = rawAxes[stick * 2 + 1];
        const float length = std::sqrt(x * x + y * y);
        float scale = 0.0f;
        if (length > stickZone)
            scale = (std::min(length, 1.0f) - stickZone) / (1.0f - stickZone) / length;
        axes[stick * 2] = x * scale;
        axes[stick * 2 + 1] = y * scale;
    }
    for (int trigger = int(GamepadAxis::LeftTrigger); trigger <= int(GamepadAxis::RightTrigger); ++trigger) {
        const float value = rawAxes[trigger];
        axes[trigger] = value > triggerZone ? (std::min(value, 1.0f) - triggerZone) / (1.0f - triggerZone) : 0.0f;
    }
    const float t = pressThreshold;
    now[int(GamepadButton::LeftStickLeft)] = axes[int(GamepadAxis::LeftX)] <= -t;
    now[int(GamepadButton::LeftStickRight)] = axes[int(GamepadAxis::LeftX)] >= t;
    now[int(GamepadButton::LeftStickUp)] = axes[int(GamepadAxis::LeftY)] <= -t;
    now[int(GamepadButton::LeftStickDown)] = axes[int(GamepadAxis::LeftY)] >= t;
    now[int(GamepadButton::RightStickLeft)] = axes[int(GamepadAxis::RightX)] <= -t;
    now[int(GamepadButton::RightStickRight)] = axes[int(GamepadAxis::RightX)] >= t;
    now[int(GamepadButton::RightStickUp)] = axes[int(GamepadAxis::RightY)] <= -t;
    now[int(GamepadButton::RightStickDown)] = axes[int(GamepadAxis::RightY)] >= t;
    now[int(GamepadButton::LeftTrigger)] = axes[int(GamepadAxis::LeftTrigger)] >= t;
    now[int(GamepadButton::RightTrigger)] = axes[int(GamepadAxis::RightTrigger)] >= t;
    for (int button = 0; button < int(GamepadButton::Count); ++button) {
        if (now[button] && !down[button] && presses[button] < 255)
            ++presses[button];
        if (!now[button] && down[button] && releases[button] < 255)
            ++releases[button];
        down[button] = now[button];
    }
}

void CGamepad::clearEdges()
{
    std::fill(std::begin(presses), std::end(presses), 0);
    std::fill(std::begin(releases), std::end(releases), 0);
}

void CGamepad::setRawState(const SGamepadRawState& state)
{
    raw = state;
    update();
}

void CGamepad::takeState(const CGamepad& other)
{
    raw = other.raw;
    update();
}

void CGamepad::countReleases(const CGamepad& other)
{
    for (int button = 0; button < int(GamepadButton::Count); ++button)
        if (other.down[button] && !down[button] && releases[button] < 255)
            ++releases[button];
}
