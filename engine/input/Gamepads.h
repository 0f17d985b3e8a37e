#ifndef ENGINE_INPUT_GAMEPADS_H
#define ENGINE_INPUT_GAMEPADS_H

#include "engine/input/Gamepad.h"
#include "engine/input/GamepadMappings.h"

#include <SDL.h>

#include <set>
#include <string>
#include <vector>

// The open joysticks as standard gamepads (CGamepad), one per SDL joystick index, and the
// mappings they are read through. Reached as g_pEventManager->getGamepads().
//
// Where the layout comes from:
// - On sdl12-compat (SDL 1.2 over SDL 2: Debian 13, Fedora, Arch) after requestStandardLayout(),
//   SDL 2 lists its game controllers in its own standard order, from the several hundred mappings
//   it carries and SDL_GAMECONTROLLERCONFIG; every listed pad is then mapped. SDL 2 lists only the
//   devices it knows as game controllers in that mode: a pad it cannot map is not listed at all.
// - Otherwise (the classic SDL 1.2, or sdl12-compat without the request) the engine maps each raw
//   joystick itself: by its Linux identity (CGamepadIdentity) or its name, through the built-in
//   table, SDL_GAMECONTROLLERCONFIG and the files given to loadGamepadMappings(). A pad none fits
//   stays a raw joystick, and the first time a pad is seen unmapped one line (at the next update)
//   says so and how to add a mapping.
//
// Hot-plug: SDL 1.2 lists joysticks only when its joystick subsystem starts, on both libraries; it
// never reports a pad plugged in or pulled out, and a pad pulled out keeps its last state.
// CEventManager::openJoysticks() looks again: the pads found are mapped afresh, a pad gone reads
// as released (its held buttons count as releases on the pad now at its index), and actions keep
// their bindings, which name standard buttons and axes, not devices. devicesChanged() tells, from
// Linux's device list, when a look is worth it.
// Owns its pads and mappings. Main thread only.
class CGamepads {
public:
    // Before the engine is made (or before the next openJoysticks()): asks sdl12-compat for SDL 2's
    // standard layout by setting SDL12COMPAT_USE_GAME_CONTROLLERS=1, unless the environment set it
    // already. The classic SDL ignores it.
    static void requestStandardLayout();
    // SDL 2's standard order is in use for the pads open now.
    bool isSdlLayout() const
    {
        return sdlLayout;
    }

    CGamepads();

    int getCount() const
    {
        return int(pads.size());
    }
    // The pad at SDL's joystick index; out of range, a pad with nothing held.
    CGamepad& getPad(int index);
    const CGamepad& getPad(int index) const;
    // Any open pad holds the button / pressed it / released it since the edges were cleared.
    bool isDown(GamepadButton button) const;
    bool isPressed(GamepadButton button) const;
    bool isReleased(GamepadButton button) const;
    // Every pad's presses added up.
    int getPressCount(GamepadButton button) const;
    // The value of largest size among the pads.
    float getAxis(GamepadAxis axis) const;
    // Sets the dead zones of every open pad and of those opened later.
    void setStickDeadZone(float zone);
    void setTriggerDeadZone(float zone);

    // Adds the file's lines (CGamepadMappings::loadGamepadMappings()) and maps the open pads again.
    int loadGamepadMappings(const std::string& path);
    // The same for lines in a string.
    int addGamepadMappings(const std::string& lines);
    CGamepadMappings& getMappings()
    {
        return mappings;
    }

    // Linux's list of joystick devices differs from the one at the last open(): a pad came or went.
    bool devicesChanged() const;

    // The event manager's part. The joysticks SDL opened, by index.
    void open(const std::vector<std::string>& names);
    // sdl12-compat queues no joystick events for game controllers (seen on 1.2.60: their state
    // moves, no event comes), so in SDL 2's layout the state of each open joystick is read after
    // every pump and each change answered as the event SDL 1.2 would have queued. A press and
    // release between two pumps goes unseen there. Nothing outside that layout. Not yet: should a
    // later sdl12-compat queue those events itself, each change would arrive twice.
    std::vector<SDL_Event> pollChanges(const std::vector<SDL_Joystick*>& joysticks);
    // After the waiting events were dropped: each pad takes what SDL holds for its joystick now
    // (a pad with no SDL joystick behind it, everything released), so no dropped release leaves a
    // button held.
    void resync(const std::vector<SDL_Joystick*>& joysticks);
    // A joystick event, fresh from the queue. Answers the button it pressed, Count for none.
    GamepadButton apply(const SDL_Event& event, int& padIndex);
    void clearEdges();
    void hideEdges(bool hidden);
    // Writes the lines about pads found unmapped since the last call: the event manager calls it
    // from update(), so the engine's start-up progress lines are never split by one.
    void writeLog();

private:
    void mapPads(const std::vector<CGamepad>& previous, bool keepState);
    static std::vector<std::string> deviceNames();

    CGamepadMappings mappings;
    std::vector<CGamepad> pads;
    std::vector<std::string> openNames;
    std::vector<std::string> scannedDevices;
    struct Polled {
        int16_t axes[SGamepadRawState::kAxes] = {};
        bool buttons[SGamepadRawState::kButtons] = {};
    };
    std::vector<Polled> polled;      // what pollChanges() saw last, per joystick
    std::set<std::string> reported;  // pads said to be unmapped once already
    std::vector<std::string> pendingLines;
    bool sdlLayout = false;
    float stickZone = 0.15f;
    float triggerZone = 0.1f;
    bool edgesHidden = false;
};

#endif
