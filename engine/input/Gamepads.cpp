#include "engine/input/Gamepads.h"

#include "engine/core/Log.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool compatAsked()
{
    const SDL_version* linked = SDL_Linked_Version();
    const char* asked = std::getenv("SDL12COMPAT_USE_GAME_CONTROLLERS");
    // sdl12-compat numbers itself 1.2.50 and up, and reads the variable as a true-or-false hint.
    return linked != nullptr && linked->major == 1 && linked->minor == 2 && linked->patch >= 50 &&
           asked != nullptr &&
           (std::strcmp(asked, "1") == 0 || std::strcmp(asked, "true") == 0 || std::strcmp(asked, "yes") == 0 ||
            std::strcmp(asked, "on") == 0);
}

}  // namespace

void CGamepads::requestStandardLayout()
{
    setenv("SDL12COMPAT_USE_GAME_CONTROLLERS", "1", 0);
}

CGamepads::CGamepads() = default;

CGamepad& CGamepads::getPad(int index)
{
    static CGamepad none;
    none = CGamepad();
    return index >= 0 && index < getCount() ? pads[std::size_t(index)] : none;
}

const CGamepad& CGamepads::getPad(int index) const
{
    static const CGamepad none;
    return index >= 0 && index < getCount() ? pads[std::size_t(index)] : none;
}

bool CGamepads::isDown(GamepadButton button) const
{
    for (const CGamepad& pad : pads)
        if (pad.isDown(button))
            return true;
    return false;
}

bool CGamepads::isPressed(GamepadButton button) const
{
    for (const CGamepad& pad : pads)
        if (pad.isPressed(button))
            return true;
    return false;
}

bool CGamepads::isReleased(GamepadButton button) const
{
    for (const CGamepad& pad : pads)
        if (pad.isReleased(button))
            return true;
    return false;
}

int CGamepads::getPressCount(GamepadButton button) const
{
    int count = 0;
    for (const CGamepad& pad : pads)
        count += pad.getPressCount(button);
    return count;
}

float CGamepads::getAxis(GamepadAxis axis) const
{
    float value = 0.0f;
    for (const CGamepad& pad : pads)
        if (std::fabs(pad.getAxis(axis)) > std::fabs(value))
            value = pad.getAxis(axis);
    return value;
}

void CGamepads::setStickDeadZone(float zone)
{
    stickZone = zone;
    for (CGamepad& pad : pads)
        pad.setStickDeadZone(zone);
}

void CGamepads::setTriggerDeadZone(float zone)
{
    triggerZone = zone;
    for (CGamepad& pad : pads)
        pad.setTriggerDeadZone(zone);
}

int CGamepads::loadGamepadMappings(const std::string& path)
{
    const int added = mappings.loadGamepadMappings(path);
    if (added > 0)
        mapPads(pads, true);
    return added;
}

int CGamepads::addGamepadMappings(const std::string& lines)
{
    const int added = mappings.addMappings(lines, "the game's mappings");
    if (added > 0)
        mapPads(pads, true);
    return added;
}

std::vector<std::string> CGamepads::deviceNames()
{
    std::vector<std::string> names;
    for (const CGamepadIdentity& device : CGamepadIdentity::listDevices())
        names.push_back(device.name + "/" + device.guid());
    return names;
}

bool CGamepads::devicesChanged() const
{
    return deviceNames() != scannedDevices;
}

void CGamepads::open(const std::vector<std::string>& names)
{
    // What the pads held goes as releases to the pads now at their indices, so nothing stays held.
    std::vector<CGamepad> before;
    before.swap(pads);
    openNames = names;
    scannedDevices = deviceNames();
    sdlLayout = compatAsked();
    polled.assign(names.size(), Polled());
    mapPads(before, false);
    for (std::size_t index = 0; index < pads.size() && index < before.size(); ++index)
        pads[index].countReleases(before[index]);
}

void CGamepads::mapPads(const std::vector<CGamepad>& previous, bool keepState)
{
    const std::vector<CGamepadIdentity> identities = CGamepadIdentity::match(openNames);
    std::vector<CGamepad> mapped;
    for (std::size_t index = 0; index < identities.size(); ++index) {
        const CGamepadIdentity& identity = identities[index];
        const CGamepadMapping* mapping = sdlLayout
                                             ? &CGamepadMappings::standardOrder()
                                             : mappings.find(identity.known, identity.bus, identity.vendor,
                                                             identity.product, identity.version, identity.name);
        CGamepad pad(int(index), identity, mapping);
        // A pad found again at its index keeps its settings.
        const bool known = index < previous.size() && previous[index].getName() == identity.name;
        pad.setStickDeadZone(known ? previous[index].getStickDeadZone() : stickZone);
        pad.setTriggerDeadZone(known ? previous[index].getTriggerDeadZone() : triggerZone);
        pad.setPressThreshold(known ? previous[index].getPressThreshold() : 0.5f);
        pad.hideEdges(edgesHidden);
        if (known && keepState)
            pad.takeState(previous[index]);  // mapped again: what it holds reads through the new mapping
        if (mapping == nullptr) {
            const std::string key = identity.name + "/" + identity.guid();
            if (reported.insert(key).second)
                pendingLines.push_back(
                    "No gamepad mapping for \"" + identity.name + "\"" +
                    (identity.known ? " (GUID " + identity.guid() + ")" : std::string()) +
                    ": it reads as a raw joystick; add a mapping line for it with loadGamepadMappings() "
                    "or SDL_GAMECONTROLLERCONFIG");
        }
        mapped.push_back(pad);
    }
    pads.swap(mapped);
}

GamepadButton CGamepads::apply(const SDL_Event& event, int& padIndex)
{
    padIndex = -1;
    // jaxis, jbutton and jhat all start with type and which.
    const int index = event.jaxis.which;
    if (index >= getCount())
        return GamepadButton::Count;
    CGamepad& pad = pads[std::size_t(index)];
    bool before[int(GamepadButton::Count)];
    for (int button = 0; button < int(GamepadButton::Count); ++button)
        before[button] = pad.isDown(GamepadButton(button));
    pad.apply(event);
    padIndex = index;
    for (int button = 0; button < int(GamepadButton::Count); ++button)
        if (!before[button] && pad.isDown(GamepadButton(button)))
            return GamepadButton(button);
    return GamepadButton::Count;
}

std::vector<SDL_Event> CGamepads::pollChanges(const std::vector<SDL_Joystick*>& joysticks)
{
    std::vector<SDL_Event> changes;
    if (!sdlLayout || !SDL_WasInit(SDL_INIT_JOYSTICK))
        return changes;
    for (std::size_t index = 0; index < joysticks.size() && index < polled.size(); ++index) {
        SDL_Joystick* joystick = joysticks[index];
        Polled& last = polled[index];
        const int buttons = std::min(SDL_JoystickNumButtons(joystick), SGamepadRawState::kButtons);
        for (int button = 0; button < buttons; ++button) {
            const bool down = SDL_JoystickGetButton(joystick, button) != 0;
            if (down == last.buttons[button])
                continue;
            last.buttons[button] = down;
            SDL_Event event{};
            event.type = down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
            event.jbutton.which = Uint8(index);
            event.jbutton.button = Uint8(button);
            event.jbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
            changes.push_back(event);
        }
        const int axes = std::min(SDL_JoystickNumAxes(joystick), SGamepadRawState::kAxes);
        for (int axis = 0; axis < axes; ++axis) {
            const Sint16 value = SDL_JoystickGetAxis(joystick, axis);
            if (value == last.axes[axis])
                continue;
            last.axes[axis] = value;
            SDL_Event event{};
            event.type = SDL_JOYAXISMOTION;
            event.jaxis.which = Uint8(index);
            event.jaxis.axis = Uint8(axis);
            event.jaxis.value = value;
            changes.push_back(event);
        }
    }
    return changes;
}

void CGamepads::resync(const std::vector<SDL_Joystick*>& joysticks)
{
    const bool live = SDL_WasInit(SDL_INIT_JOYSTICK) != 0;
    for (std::size_t index = 0; index < pads.size(); ++index) {
        SGamepadRawState state;
        if (live && index < joysticks.size()) {
            SDL_Joystick* joystick = joysticks[index];
            SDL_JoystickUpdate();
            const SGamepadRawState& before = pads[index].getRawState();
            const int buttons = std::min(SDL_JoystickNumButtons(joystick), SGamepadRawState::kButtons);
            for (int button = 0; button < buttons; ++button)
                state.buttons[button] = SDL_JoystickGetButton(joystick, button) != 0;
            const int axes = std::min(SDL_JoystickNumAxes(joystick), SGamepadRawState::kAxes);
            for (int axis = 0; axis < axes; ++axis) {
                state.axes[axis] = SDL_JoystickGetAxis(joystick, axis);
                // Still unreported while SDL holds nothing but its unseeded 0.
                state.axisReported[axis] = before.axisReported[axis] || state.axes[axis] != 0;
            }
            const int hats = std::min(SDL_JoystickNumHats(joystick), SGamepadRawState::kHats);
            for (int hat = 0; hat < hats; ++hat)
                state.hats[hat] = SDL_JoystickGetHat(joystick, hat);
            if (index < polled.size()) {
                std::copy(std::begin(state.buttons), std::end(state.buttons), std::begin(polled[index].buttons));
                std::copy(std::begin(state.axes), std::end(state.axes), std::begin(polled[index].axes));
            }
        }
        pads[index].setRawState(state);
    }
}

void CGamepads::writeLog()
{
    for (const std::string& line : pendingLines)
        CLog::line(line);
    pendingLines.clear();
}

void CGamepads::clearEdges()
{
    for (CGamepad& pad : pads)
        pad.clearEdges();
}

void CGamepads::hideEdges(bool hidden)
{
    edgesHidden = hidden;
    for (CGamepad& pad : pads)
        pad.hideEdges(hidden);
}
