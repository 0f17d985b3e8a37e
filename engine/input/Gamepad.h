#ifndef ENGINE_INPUT_GAMEPAD_H
#define ENGINE_INPUT_GAMEPAD_H

#include "engine/input/GamepadIdentity.h"
#include "engine/input/GamepadLayout.h"
#include "engine/input/GamepadMappings.h"

#include <SDL.h>

#include <string>

// One open joystick read as the standard gamepad (engine/input/GamepadLayout.h) through its
// mapping. The sticks have a radial dead zone (0.15 unless set: inside it they read 0, and just
// outside it just above 0, the rest rescaled to reach 1); the triggers one of their own (0.1).
// The stick directions and the triggers count as held past the press threshold (0.5).
//
// Edges and counts cover every event applied since the event manager's edges were last cleared,
// as CEventManager::isKeyPressed() does: a press and a release within one frame read pressed,
// released and not down, and two presses count two. A pad without a mapping answers as a pad with
// nothing held (isMapped() false); its raw joystick stays readable through the event manager.
// Copies its mapping. Made and fed by CGamepads.
class CGamepad {
public:
    CGamepad();
    CGamepad(int index, const CGamepadIdentity& identity, const CGamepadMapping* mapping);

    // SDL's joystick index, -1 for the empty pad answered out of range.
    int getIndex() const
    {
        return index;
    }
    const std::string& getName() const
    {
        return identity.name;
    }
    const CGamepadIdentity& getIdentity() const
    {
        return identity;
    }
    bool isMapped() const
    {
        return mapped;
    }

    bool isDown(GamepadButton button) const;
    // A press among the events applied since the edges were cleared.
    bool isPressed(GamepadButton button) const;
    bool isReleased(GamepadButton button) const;
    // How many presses (0 to 255).
    int getPressCount(GamepadButton button) const;
    // After the dead zones: sticks -1..1, triggers 0..1; 0 outside the enumeration.
    float getAxis(GamepadAxis axis) const;

    // Taken into 0..0.95; applies from the next event.
    void setStickDeadZone(float zone);
    float getStickDeadZone() const
    {
        return stickZone;
    }
    void setTriggerDeadZone(float zone);
    float getTriggerDeadZone() const
    {
        return triggerZone;
    }
    // Taken into 0.05..1.
    void setPressThreshold(float threshold);
    float getPressThreshold() const
    {
        return pressThreshold;
    }

    // The event manager's part: a joystick event of this pad, then the standard state again.
    void apply(const SDL_Event& event);
    void clearEdges();
    void hideEdges(bool hidden)
    {
        edgesHidden = hidden;
    }
    // The raw state as SDL holds it now (after dropped events), read through the mapping.
    void setRawState(const SGamepadRawState& state);
    const SGamepadRawState& getRawState() const
    {
        return raw;
    }
    // Another pad's raw state read through this pad's mapping (a pad mapped again).
    void takeState(const CGamepad& other);
    // What the other pad held counts as released here (a pad gone, or found again, at this index).
    void countReleases(const CGamepad& other);

private:
    void update();

    int index = -1;
    CGamepadIdentity identity;
    bool mapped = false;
    CGamepadMapping mapping;
    SGamepadRawState raw;
    float rawAxes[int(GamepadAxis::Count)] = {};
    float axes[int(GamepadAxis::Count)] = {};
    bool down[int(GamepadButton::Count)] = {};
    unsigned char presses[int(GamepadButton::Count)] = {};
    unsigned char releases[int(GamepadButton::Count)] = {};
    float stickZone = 0.15f;
    float triggerZone = 0.1f;
    float pressThreshold = 0.5f;
    bool edgesHidden = false;
};

#endif
