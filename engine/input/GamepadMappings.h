#ifndef ENGINE_INPUT_GAMEPADMAPPINGS_H
#define ENGINE_INPUT_GAMEPADMAPPINGS_H

#include "engine/input/GamepadLayout.h"

#include <cstdint>
#include <string>
#include <vector>

// What one raw joystick reports, as the mappings read it: the last value of each axis and whether
// it was ever reported (SDL 1.2 does not seed axis values, so a trigger never moved since the pad
// was opened would otherwise read half pressed), the buttons held and the hats' SDL_HAT_* bits.
struct SGamepadRawState {
    static constexpr int kAxes = 32;
    static constexpr int kButtons = 128;
    static constexpr int kHats = 16;
    int16_t axes[kAxes] = {};
    bool axisReported[kAxes] = {};
    bool buttons[kButtons] = {};
    uint8_t hats[kHats] = {};
};

// One line of the community controller database's format, read:
//   GUID,name,a:b0,b:b1,...,leftx:a0,lefttrigger:a2,dpup:h0.1,platform:Linux,
// Inputs are bN (a button), hN.M (hat N with the SDL_HAT_* bits M), aN (a whole axis), +aN or -aN
// (its upper or lower half) with an optional trailing ~ (inverted). An output may carry + or -
// (leftx's right or left half, for a button or half axis that drives it). Fields the engine does
// not know (misc1, paddles, touchpad, crc, hint) are skipped, not refused.
class CGamepadMapping {
public:
    // Reads the line; false with what is wrong in `error` (the mapping then is empty). A line for
    // another platform answers true with isForThisPlatform() false.
    bool parse(const std::string& line, std::string& error);
    // The standard state from the raw one: buttons (the directions and triggers past none of
    // their thresholds: CGamepad sets those) and axes, sticks -1..1 and triggers 0..1.
    void apply(const SGamepadRawState& raw, bool buttons[int(GamepadButton::Count)],
               float axes[int(GamepadAxis::Count)]) const;

    const std::string& getGuid() const
    {
        return guid;
    }  // 32 lowercase hex digits
    const std::string& getName() const
    {
        return name;
    }
    bool isForThisPlatform() const
    {
        return thisPlatform;
    }
    // The identity in the GUID (Linux's layout: bus, vendor, product, version, little-endian).
    uint16_t getBus() const;
    uint16_t getVendor() const;
    uint16_t getProduct() const;
    uint16_t getVersion() const;

private:
    struct Input {
        enum Kind { Button, Hat, Axis } kind = Button;
        int index = 0;
        int hatMask = 0;
        int half = 0;  // axes: 0 the whole axis, 1 its upper half, -1 its lower half
        bool inverted = false;
    };
    struct Binding {
        bool toAxis = false;
        int target = 0;  // a GamepadButton or GamepadAxis
        int half = 0;    // axis outputs: 0 the whole axis, 1 or -1 one half
        Input input;
    };
    static bool parseInput(const std::string& text, Input& input);
    static bool isActive(const Input& input, const SGamepadRawState& raw);
    static float axisValue(const Input& input, const SGamepadRawState& raw, bool trigger);

    std::string guid;
    std::string name;
    bool thisPlatform = true;
    std::vector<Binding> bindings;
};

// The mappings the engine knows: a small built-in table for common pads, the lines of
// SDL_GAMECONTROLLERCONFIG (one per line, as SDL reads it) and any files a game loads. A later line
// for the same pad wins, as in SDL. Owns its mappings.
class CGamepadMappings {
public:
    // The built-in table, then the environment's lines.
    CGamepadMappings();

    // Adds every line of the text; a bad line writes one line naming the source, the line number
    // and what is wrong, and the others still load. Answers how many were added (lines for other
    // platforms, comments and blank lines are not counted and not refused).
    int addMappings(const std::string& text, const std::string& source);
    // The community file (gamecontrollerdb.txt) or any file of such lines; a missing file writes
    // "Failed to load gamepad mappings: " + path + ", Error: " + the reason, and adds none.
    int loadGamepadMappings(const std::string& path);
    // The mapping for a pad: by bus, vendor, product and version when known (the exact version,
    // else a line's version 0, which stands for any, else another version; the GUID's CRC bytes are
    // ignored), else by the name SDL reports. Null when none fits. Valid until the next add.
    const CGamepadMapping* find(bool identified, uint16_t bus, uint16_t vendor, uint16_t product, uint16_t version,
                                const std::string& name) const;
    std::size_t size() const
    {
        return mappings.size();
    }
    // The layout SDL 2 gives a game controller through sdl12-compat: buttons and axes already in
    // the standard order, triggers from 0 up.
    static const CGamepadMapping& standardOrder();

private:
    std::vector<CGamepadMapping> mappings;
};

#endif
