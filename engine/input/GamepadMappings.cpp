#include "engine/input/GamepadMappings.h"

#include "engine/core/Log.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Layouts as Linux's drivers report them (evdev order: buttons by their BTN_ code, axes by ABS_
// code, the d-pad on hat 0), which is what SDL 1.2 lists. A version of 0 matches any.
// xpad (Xbox 360, One, Series, and the pads that present as them: 8BitDo's X-input mode, Steam's
// virtual pad): A B X Y LB RB View Menu Xbox LS RS; axes LX LY LT RX RY RT.
#define QUARL_XPAD_LAYOUT                                                                                         \
    "a:b0,b:b1,x:b2,y:b3,back:b6,guide:b8,start:b7,leftstick:b9,rightstick:b10,leftshoulder:b4,"                  \
    "rightshoulder:b5,dpup:h0.1,dpdown:h0.4,dpleft:h0.8,dpright:h0.2,leftx:a0,lefty:a1,rightx:a3,"                \
    "righty:a4,lefttrigger:a2,righttrigger:a5,platform:Linux,"
// hid-sony and hid-playstation (DualShock 4, DualSense): cross circle triangle square L1 R1 L2 R2
// share options PS L3 R3; axes LX LY L2 RX RY R2.
#define QUARL_PLAYSTATION_LAYOUT                                                                                  \
    "a:b0,b:b1,x:b3,y:b2,back:b8,guide:b10,start:b9,leftstick:b11,rightstick:b12,leftshoulder:b4,"                \
    "rightshoulder:b5,dpup:h0.1,dpdown:h0.4,dpleft:h0.8,dpright:h0.2,leftx:a0,lefty:a1,rightx:a3,"                \
    "righty:a4,lefttrigger:a2,righttrigger:a5,platform:Linux,"
// hid-nintendo (Switch Pro, and 8BitDo pads in Switch mode), by position: B (bottom) A X Y,
// capture, L R ZL ZR, minus plus home, the stick buttons; four stick axes, digital triggers.
#define QUARL_NINTENDO_LAYOUT                                                                                     \
    "a:b0,b:b1,x:b3,y:b2,back:b9,guide:b11,start:b10,leftstick:b12,rightstick:b13,leftshoulder:b5,"               \
    "rightshoulder:b6,dpup:h0.1,dpdown:h0.4,dpleft:h0.8,dpright:h0.2,leftx:a0,lefty:a1,rightx:a2,"                \
    "righty:a3,lefttrigger:b7,righttrigger:b8,platform:Linux,"

const char* const kBuiltIn[] = {
    "030000005e0400008e02000000000000,Xbox 360 Controller," QUARL_XPAD_LAYOUT,
    // The wireless receiver's d-pad comes as four buttons after the stick buttons.
    "030000005e0400001907000000000000,Xbox 360 Wireless Receiver,a:b0,b:b1,x:b2,y:b3,back:b6,guide:b8,"
    "start:b7,leftstick:b9,rightstick:b10,leftshoulder:b4,rightshoulder:b5,dpleft:b11,dpright:b12,"
    "dpup:b13,dpdown:b14,leftx:a0,lefty:a1,rightx:a3,righty:a4,lefttrigger:a2,righttrigger:a5,"
    "platform:Linux,",
    "030000005e040000d102000000000000,Xbox One Controller," QUARL_XPAD_LAYOUT,
    "030000005e040000dd02000000000000,Xbox One Controller," QUARL_XPAD_LAYOUT,
    "030000005e040000ea02000000000000,Xbox One S Controller," QUARL_XPAD_LAYOUT,
    "030000005e040000120b000000000000,Xbox Series X Controller," QUARL_XPAD_LAYOUT,
    "03000000de280000ff11000000000000,Steam Virtual Gamepad," QUARL_XPAD_LAYOUT,
    "030000004c050000c405000000000000,PS4 Controller," QUARL_PLAYSTATION_LAYOUT,
    "050000004c050000c405000000000000,PS4 Controller," QUARL_PLAYSTATION_LAYOUT,
    "030000004c050000cc09000000000000,PS4 Controller," QUARL_PLAYSTATION_LAYOUT,
    "050000004c050000cc09000000000000,PS4 Controller," QUARL_PLAYSTATION_LAYOUT,
    "030000004c050000e60c000000000000,PS5 Controller," QUARL_PLAYSTATION_LAYOUT,
    "050000004c050000e60c000000000000,PS5 Controller," QUARL_PLAYSTATION_LAYOUT,
    "030000007e0500000920000000000000,Nintendo Switch Pro Controller," QUARL_NINTENDO_LAYOUT,
    "050000007e0500000920000000000000,Nintendo Switch Pro Controller," QUARL_NINTENDO_LAYOUT,
};

std::string trimmed(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// A whole decimal number below `limit`, nothing else.
bool readIndex(const std::string& text, int limit, int& out)
{
    if (text.empty() || text.size() > 4)
        return false;
    int value = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9')
            return false;
        value = value * 10 + (digit - '0');
    }
    if (value >= limit)
        return false;
    out = value;
    return true;
}

uint16_t guidWord(const std::string& guid, std::size_t byte)
{
    if (guid.size() != 32)
        return 0;
    // Little-endian: the low byte's two digits first.
    const unsigned long low = std::strtoul(guid.substr(byte * 2, 2).c_str(), nullptr, 16);
    const unsigned long high = std::strtoul(guid.substr(byte * 2 + 2, 2).c_str(), nullptr, 16);
    return uint16_t(low | high << 8);
}

float fromRaw(int16_t value)
{
    return std::max(-1.0f, float(value) / 32767.0f);
}

}  // namespace

bool CGamepadMapping::parseInput(const std::string& text, Input& input)
{
    std::string rest = text;
    input = Input();
    if (!rest.empty() && rest.back() == '~') {
        input.inverted = true;
        rest.pop_back();
    }
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        input.half = rest[0] == '+' ? 1 : -1;
        rest.erase(0, 1);
    }
    if (rest.size() < 2)
        return false;
    const char kind = rest[0];
    rest.erase(0, 1);
    if (kind == 'a') {
        input.kind = Input::Axis;
        return readIndex(rest, SGamepadRawState::kAxes, input.index);
    }
    // Halves and inversion belong to axes only.
    if (input.half != 0 || input.inverted)
        return false;
    if (kind == 'b') {
        input.kind = Input::Button;
        return readIndex(rest, SGamepadRawState::kButtons, input.index);
    }
    if (kind == 'h') {
        input.kind = Input::Hat;
        const std::size_t dot = rest.find('.');
        return dot != std::string::npos && readIndex(rest.substr(0, dot), SGamepadRawState::kHats, input.index) &&
               readIndex(rest.substr(dot + 1), 16, input.hatMask) && input.hatMask != 0;
    }
    return false;
}

bool CGamepadMapping::parse(const std::string& line, std::string& error)
{
    guid.clear();
    name.clear();
    bindings.clear();
    thisPlatform = true;
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ','))
        fields.push_back(trimmed(field));
    // The platform first: lines for other systems are skipped whatever else they hold.
    for (const std::string& each : fields)
        if (each.compare(0, 9, "platform:") == 0)
            thisPlatform = each.substr(9) == "Linux";
    if (!thisPlatform)
        return true;
    if (fields.size() < 2) {
        error = "no name after the GUID";
        return false;
    }
    std::string id = fields[0];
    std::transform(id.begin(), id.end(), id.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (id.size() != 32 || id.find_first_not_of("0123456789abcdef") != std::string::npos) {
        error = "the GUID \"" + fields[0] + "\" is not 32 hexadecimal digits";
        return false;
    }
    std::vector<Binding> read;
    for (std::size_t index = 2; index < fields.size(); ++index) {
        const std::string& each = fields[index];
        if (each.empty())
            continue;  // the trailing comma
        const std::size_t colon = each.find(':');
        if (colon == std::string::npos) {
            error = "the field \"" + each + "\" has no colon";
            return false;
        }
        std::string output = each.substr(0, colon);
        const std::string value = each.substr(colon + 1);
        Binding binding;
        if (!output.empty() && (output[0] == '+' || output[0] == '-')) {
            binding.half = output[0] == '+' ? 1 : -1;
            output.erase(0, 1);
        }
        const GamepadAxis axis = gamepadAxisByName(output);
        // A mapping line names the pad's own buttons, up to the d-pad: the stick and trigger
        // directions after it are read from the axes.
        const GamepadButton named = gamepadButtonByName(output);
        const int button = named <= GamepadButton::DPadRight ? int(named) : -1;
        if (axis == GamepadAxis::Count && button < 0)
            continue;  // misc1, paddles, touchpad, crc, hint...: not ours
        if (button >= 0 && binding.half != 0) {
            error = "the button \"" + output + "\" has a sign";
            return false;
        }
        if (!parseInput(value, binding.input)) {
            error = "the input \"" + value + "\" of " + output + " is not bN, hN.M or aN";
            return false;
        }
        binding.toAxis = button < 0;
        binding.target = button >= 0 ? button : int(axis);
        read.push_back(binding);
    }
    guid = id;
    name = fields[1];
    bindings.swap(read);
    return true;
}

bool CGamepadMapping::isActive(const Input& input, const SGamepadRawState& raw)
{
    switch (input.kind) {
    case Input::Button:
        return raw.buttons[input.index];
    case Input::Hat:
        return (raw.hats[input.index] & input.hatMask) != 0;
    case Input::Axis:
    default: {
        if (!raw.axisReported[input.index])
            return false;
        int value = raw.axes[input.index];
        if (input.inverted)
            value = -value - 1;
        // Past the middle of the input's range, as SDL decides.
        if (input.half > 0)
            return value > 16383;
        if (input.half < 0)
            return value < -16384;
        return value > 0;
    }
    }
}

float CGamepadMapping::axisValue(const Input& input, const SGamepadRawState& raw, bool trigger)
{
    if (input.kind != Input::Axis)
        return isActive(input, raw) ? 1.0f : 0.0f;
    if (!raw.axisReported[input.index])
        return 0.0f;  // a trigger resting at -32768 would otherwise read half pressed until moved
    float value = fromRaw(raw.axes[input.index]);
    if (input.inverted)
        value = -value;
    if (input.half > 0)
        return std::max(0.0f, value);
    if (input.half < 0)
        return std::max(0.0f, -value);
    // A whole axis: a trigger's rests at one end.
    return trigger ? (value + 1.0f) / 2.0f : value;
}

void CGamepadMapping::apply(const SGamepadRawState& raw, bool buttons[int(GamepadButton::Count)],
                            float axes[int(GamepadAxis::Count)]) const
{
    for (int index = 0; index < int(GamepadButton::Count); ++index)
        buttons[index] = false;
    for (int index = 0; index < int(GamepadAxis::Count); ++index)
        axes[index] = 0.0f;
    for (const Binding& binding : bindings) {
        if (!binding.toAxis) {
            buttons[binding.target] = buttons[binding.target] || isActive(binding.input, raw);
            continue;
        }
        const bool trigger = binding.target >= int(GamepadAxis::LeftTrigger);
        const bool wholeInput = binding.input.kind == Input::Axis && binding.input.half == 0;
        float value = axisValue(binding.input, raw, trigger);
        if (binding.half != 0) {
            // One half of the output: a whole input axis is spread over it.
            if (wholeInput && !trigger)
                value = raw.axisReported[binding.input.index] ? (value + 1.0f) / 2.0f : 0.0f;
            value *= float(binding.half);
        } else if (!trigger && !wholeInput && binding.input.kind == Input::Axis) {
            value = value * 2.0f - 1.0f;  // a half input over the whole output
            if (!raw.axisReported[binding.input.index])
                value = 0.0f;
        }
        if (std::fabs(value) > std::fabs(axes[binding.target]))
            axes[binding.target] = value;
    }
}

uint16_t CGamepadMapping::getBus() const
{
    return guidWord(guid, 0);
}

uint16_t CGamepadMapping::getVendor() const
{
    return guidWord(guid, 4);
}

uint16_t CGamepadMapping::getProduct() const
{
    return guidWord(guid, 8);
}

uint16_t CGamepadMapping::getVersion() const
{
    return guidWord(guid, 12);
}

CGamepadMappings::CGamepadMappings()
{
    std::string table;
    for (const char* line : kBuiltIn)
        table += std::string(line) + "\n";
    addMappings(table, "the built-in table");
    if (const char* environment = std::getenv("SDL_GAMECONTROLLERCONFIG"))
        addMappings(environment, "SDL_GAMECONTROLLERCONFIG");
}

int CGamepadMappings::addMappings(const std::string& text, const std::string& source)
{
    std::stringstream stream(text);
    std::string line;
    int number = 0;
    int added = 0;
    while (std::getline(stream, line)) {
        ++number;
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        CGamepadMapping mapping;
        std::string error;
        if (!mapping.parse(line, error)) {
            CLog::line("Bad gamepad mapping in " + source + ", line " + std::to_string(number) + ": " + error);
            continue;
        }
        if (!mapping.isForThisPlatform())
            continue;
        mappings.push_back(mapping);
        ++added;
    }
    return added;
}

int CGamepadMappings::loadGamepadMappings(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        CLog::line("Failed to load gamepad mappings: " + path + ", Error: " + std::strerror(errno));
        return 0;
    }
    std::stringstream text;
    text << in.rdbuf();
    return addMappings(text.str(), path);
}

const CGamepadMapping* CGamepadMappings::find(bool identified, uint16_t bus, uint16_t vendor, uint16_t product,
                                              uint16_t version, const std::string& name) const
{
    if (identified) {
        // The newest line first: it replaces the older ones, as in SDL. The exact version first,
        // then a line for any version (0), then a line for another version.
        for (int pass = 0; pass < 3; ++pass) {
            for (auto mapping = mappings.rbegin(); mapping != mappings.rend(); ++mapping) {
                if (mapping->getBus() != bus || mapping->getVendor() != vendor || mapping->getProduct() != product)
                    continue;
                if (pass == 2 || mapping->getVersion() == (pass == 0 ? version : 0))
                    return &*mapping;
            }
        }
    }
    for (auto mapping = mappings.rbegin(); mapping != mappings.rend(); ++mapping)
        if (!name.empty() && mapping->getName() == name)
            return &*mapping;
    return nullptr;
}

const CGamepadMapping& CGamepadMappings::standardOrder()
{
    static const CGamepadMapping standard = [] {
        CGamepadMapping mapping;
        std::string error;
        mapping.parse("00000000000000000000000000000000,SDL 2 game controller,a:b0,b:b1,x:b2,y:b3,back:b4,"
                      "guide:b5,start:b6,leftstick:b7,rightstick:b8,leftshoulder:b9,rightshoulder:b10,"
                      "dpup:b11,dpdown:b12,dpleft:b13,dpright:b14,leftx:a0,lefty:a1,rightx:a2,righty:a3,"
                      "lefttrigger:+a4,righttrigger:+a5,",
                      error);
        return mapping;
    }();
    return standard;
}
