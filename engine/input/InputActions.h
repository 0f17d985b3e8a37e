#ifndef ENGINE_INPUT_INPUTACTIONS_H
#define ENGINE_INPUT_INPUTACTIONS_H

#include "engine/input/GamepadLayout.h"

#include <SDL.h>

#include <string>
#include <vector>

class CEventManager;

// Named actions ("jump", "move_x") bound to keys, mouse buttons, gamepad buttons and axes, several
// bindings each, read through the event manager's state. Reached as g_pEventManager->getActions().
//
// A binding, as the actions file spells it:
//   key:space   mouse:1   pad:a   pad:leftx+ (the left stick pushed right)   axis:leftx
// and an optional sign in front, -key:left | +key:right, which gives getActionValue() -1 or 1 (an
// axis with a minus reads inverted). Key names are SDL's (SDL_GetKeyName: "space", "left",
// "right ctrl"); pad and axis names are those of engine/input/GamepadLayout.h. Pad bindings answer
// for any open pad.
//
// The actions file: one action a line, "name = binding | binding", # starts a comment. Saving
// writes every action through CFileReplacement; loading replaces the bindings of the actions the
// file names and keeps the others; a bad line writes "Bad input action in " + path + ", line " +
// number + ": " + what is wrong, and the other lines still load.
// Owns its actions; points to the event manager that owns it.
class CInputActions {
public:
    explicit CInputActions(CEventManager* events);

    // Adds a binding in the file's spelling; false, with a line, for one it cannot read.
    bool bind(const std::string& action, const std::string& binding);
    // Forgets the action's bindings (the action stays, with none).
    void clear(const std::string& action);
    // Forgets every action.
    void clearAll();
    // The bindings in the file's spelling; empty for an unknown action.
    std::vector<std::string> getBindings(const std::string& action) const;
    std::vector<std::string> getActionNames() const;

    // A binding is held (an axis past the press threshold either way).
    bool isActionDown(const std::string& action) const;
    // A binding was pressed since the edges were cleared.
    bool isActionPressed(const std::string& action) const;
    // A binding was released since the edges were cleared and none is held now.
    bool isActionReleased(const std::string& action) const;
    // The presses of all its bindings since the edges were cleared.
    int getActionPressCount(const std::string& action) const;
    // -1..1: keys, buttons and pad buttons held add their signs (1 unsigned), so a pair held
    // together reads 0; an axis, after its dead zone, wins when pushed further. 0 for an unknown
    // action.
    float getActionValue(const std::string& action) const;

    // "Press the key for jump": the next key, mouse button or pad button pressed, or stick pushed
    // past the press threshold, becomes the action's binding, replacing its bindings of that kind
    // (keyboard and mouse, or pad) and sign. Sign -1 or 1 binds that side of an axis action
    // (a stick pushed that way binds the whole axis, inverted if need be); 0 none. Escape cancels.
    void rebind(const std::string& action, int sign = 0);
    bool isRebinding() const
    {
        return !rebinding.empty();
    }
    void cancelRebind()
    {
        rebinding.clear();
    }

    // "$XDG_CONFIG_HOME/<game>/input-actions.txt" ($HOME/.config when XDG_CONFIG_HOME is unset or
    // not absolute); empty when neither is known or the game's name is empty or holds a slash.
    static std::string configPath(const std::string& game);
    // Writes every action, making the file's folder if needed; false after a line
    // "Failed to save input actions: " + path + ", Error: " + the reason.
    bool save(const std::string& path) const;
    // Reads a file save() wrote or a person edited; false after a line when it cannot be read.
    bool load(const std::string& path);

    // The event manager's part: an event just applied, and the pad button it pressed, if any.
    void observe(const SDL_Event& event, GamepadButton padPressed);

private:
    struct Binding {
        enum Kind { Key, Mouse, Pad, Axis } kind = Key;
        int code = 0;  // key symbol, mouse button, GamepadButton or GamepadAxis
        int sign = 0;  // 0 unsigned
    };
    struct Action {
        std::string name;
        std::vector<Binding> bindings;
    };
    static bool parseBinding(const std::string& text, Binding& binding, std::string& error);
    static std::string spell(const Binding& binding);
    Action* find(const std::string& name);
    const Action* find(const std::string& name) const;
    Action& findOrAdd(const std::string& name);
    bool isDown(const Binding& binding) const;
    void capture(const Binding& binding);

    CEventManager* events;  // owns this object
    std::vector<Action> actions;
    std::string rebinding;  // the action waiting for an input, empty for none
    int rebindSign = 0;
};

#endif
