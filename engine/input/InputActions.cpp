#include "engine/input/InputActions.h"

#include "engine/core/FileReplacement.h"
#include "engine/core/Log.h"
#include "engine/input/EventManager.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string trimmed(const std::string& text)
{
    const std::size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return std::string();
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

bool isActionName(const std::string& name)
{
    return !name.empty() &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_.-") ==
               std::string::npos;
}

// The two direction buttons that stand for an axis past the press threshold (the triggers have one).
void directionsOf(int axis, GamepadButton& negative, GamepadButton& positive)
{
    static const GamepadButton table[int(GamepadAxis::Count)][2] = {
        {GamepadButton::LeftStickLeft, GamepadButton::LeftStickRight},
        {GamepadButton::LeftStickUp, GamepadButton::LeftStickDown},
        {GamepadButton::RightStickLeft, GamepadButton::RightStickRight},
        {GamepadButton::RightStickUp, GamepadButton::RightStickDown},
        {GamepadButton::Count, GamepadButton::LeftTrigger},
        {GamepadButton::Count, GamepadButton::RightTrigger}};
    negative = table[axis][0];
    positive = table[axis][1];
}

bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

}  // namespace

CInputActions::CInputActions(CEventManager* events)
    : events(events)
{
}

bool CInputActions::parseBinding(const std::string& text, Binding& binding, std::string& error)
{
    std::string rest = trimmed(text);
    binding = Binding();
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        binding.sign = rest[0] == '+' ? 1 : -1;
        rest.erase(0, 1);
    }
    const std::size_t colon = rest.find(':');
    if (colon == std::string::npos || colon + 1 >= rest.size()) {
        error = "the binding \"" + trimmed(text) + "\" is not kind:name";
        return false;
    }
    const std::string kind = rest.substr(0, colon);
    const std::string what = rest.substr(colon + 1);
    if (kind == "key") {
        binding.kind = Binding::Key;
        if (what[0] == '#' && what.size() > 1 && what.find_first_not_of("0123456789", 1) == std::string::npos &&
            what.size() < 5 && std::atoi(what.c_str() + 1) < CEventManager::kKeyCount) {
            binding.code = std::atoi(what.c_str() + 1);
            return true;
        }
        for (int key = 1; key < SDLK_LAST; ++key) {
            const char* name = SDL_GetKeyName(SDLKey(key));
            if (name != nullptr && what == name && what != "unknown key") {
                binding.code = key;
                return true;
            }
        }
        error = "no key is named \"" + what + "\"";
        return false;
    }
    if (kind == "mouse") {
        binding.kind = Binding::Mouse;
        if (what.size() == 1 && what[0] >= '1' && what[0] < '0' + CEventManager::kButtonCount) {
            binding.code = what[0] - '0';
            return true;
        }
        error = "no mouse button is numbered \"" + what + "\"";
        return false;
    }
    if (kind == "pad") {
        binding.kind = Binding::Pad;
        binding.code = int(gamepadButtonByName(what));
        if (binding.code != int(GamepadButton::Count))
            return true;
        error = "no pad button is named \"" + what + "\"";
        return false;
    }
    if (kind == "axis") {
        binding.kind = Binding::Axis;
        binding.code = int(gamepadAxisByName(what));
        if (binding.code != int(GamepadAxis::Count))
            return true;
        error = "no pad axis is named \"" + what + "\"";
        return false;
    }
    error = "the kind \"" + kind + "\" is none of key, mouse, pad, axis";
    return false;
}

std::string CInputActions::spell(const Binding& binding)
{
    std::string text = binding.sign > 0 ? "+" : binding.sign < 0 ? "-" : "";
    switch (binding.kind) {
    case Binding::Key: {
        const char* name = SDL_GetKeyName(SDLKey(binding.code));
        // Before SDL's video starts the classic SDL knows no names: the number stands in.
        if (name == nullptr || std::strcmp(name, "unknown key") == 0 || std::strchr(name, '|') != nullptr)
            return text + "key:#" + std::to_string(binding.code);
        return text + "key:" + name;
    }
    case Binding::Mouse:
        return text + "mouse:" + std::to_string(binding.code);
    case Binding::Pad:
        return text + "pad:" + gamepadButtonName(GamepadButton(binding.code));
    case Binding::Axis:
    default:
        return text + "axis:" + gamepadAxisName(GamepadAxis(binding.code));
    }
}

CInputActions::Action* CInputActions::find(const std::string& name)
{
    for (Action& action : actions)
        if (action.name == name)
            return &action;
    return nullptr;
}

const CInputActions::Action* CInputActions::find(const std::string& name) const
{
    for (const Action& action : actions)
        if (action.name == name)
            return &action;
    return nullptr;
}

CInputActions::Action& CInputActions::findOrAdd(const std::string& name)
{
    if (Action* action = find(name))
        return *action;
    actions.push_back(Action{name, {}});
    return actions.back();
}

bool CInputActions::bind(const std::string& action, const std::string& text)
{
    Binding binding;
    std::string error;
    if (!isActionName(action)) {
        CLog::line("Cannot bind the action \"" + action + "\": its name is empty or holds a space or a sign");
        return false;
    }
    if (!parseBinding(text, binding, error)) {
        CLog::line("Cannot bind the action " + action + ": " + error);
        return false;
    }
    findOrAdd(action).bindings.push_back(binding);
    return true;
}

void CInputActions::clear(const std::string& action)
{
    if (Action* found = find(action))
        found->bindings.clear();
}

void CInputActions::clearAll()
{
    actions.clear();
    rebinding.clear();
}

std::vector<std::string> CInputActions::getBindings(const std::string& action) const
{
    std::vector<std::string> spelled;
    if (const Action* found = find(action))
        for (const Binding& binding : found->bindings)
            spelled.push_back(spell(binding));
    return spelled;
}

std::vector<std::string> CInputActions::getActionNames() const
{
    std::vector<std::string> names;
    for (const Action& action : actions)
        names.push_back(action.name);
    return names;
}

bool CInputActions::isDown(const Binding& binding) const
{
    switch (binding.kind) {
    case Binding::Key:
        return events->isKeyDown(binding.code) != 0;
    case Binding::Mouse:
        return events->isButtonDown(binding.code);
    case Binding::Pad:
        return events->getGamepads().isDown(GamepadButton(binding.code));
    case Binding::Axis:
    default: {
        GamepadButton negative, positive;
        directionsOf(binding.code, negative, positive);
        return events->getGamepads().isDown(negative) || events->getGamepads().isDown(positive);
    }
    }
}

bool CInputActions::isActionDown(const std::string& action) const
{
    if (const Action* found = find(action))
        for (const Binding& binding : found->bindings)
            if (isDown(binding))
                return true;
    return false;
}

int CInputActions::getActionPressCount(const std::string& action) const
{
    const Action* found = find(action);
    if (found == nullptr)
        return 0;
    int count = 0;
    const CGamepads& pads = events->getGamepads();
    for (const Binding& binding : found->bindings) {
        switch (binding.kind) {
        case Binding::Key:
            count += events->getKeyPressCount(binding.code);
            break;
        case Binding::Mouse:
            count += events->getButtonPressCount(binding.code);
            break;
        case Binding::Pad:
            count += pads.getPressCount(GamepadButton(binding.code));
            break;
        case Binding::Axis: {
            GamepadButton negative, positive;
            directionsOf(binding.code, negative, positive);
            count += pads.getPressCount(negative) + pads.getPressCount(positive);
            break;
        }
        }
    }
    return count;
}

bool CInputActions::isActionPressed(const std::string& action) const
{
    return getActionPressCount(action) > 0;
}

bool CInputActions::isActionReleased(const std::string& action) const
{
    const Action* found = find(action);
    if (found == nullptr || isActionDown(action))
        return false;
    const CGamepads& pads = events->getGamepads();
    for (const Binding& binding : found->bindings) {
        switch (binding.kind) {
        case Binding::Key:
            if (events->isKeyReleased(binding.code))
                return true;
            break;
        case Binding::Mouse:
            if (events->isButtonReleased(binding.code))
                return true;
            break;
        case Binding::Pad:
            if (pads.isReleased(GamepadButton(binding.code)))
                return true;
            break;
        case Binding::Axis: {
            GamepadButton negative, positive;
            directionsOf(binding.code, negative, positive);
            if (pads.isReleased(negative) || pads.isReleased(positive))
                return true;
            break;
        }
        }
    }
    return false;
}

float CInputActions::getActionValue(const std::string& action) const
{
    const Action* found = find(action);
    if (found == nullptr)
        return 0.0f;
    // Keys and buttons add up, so a pair held together reads 0; an axis counts when it is pushed
    // further than they add up to.
    float digital = 0.0f;
    float analog = 0.0f;
    for (const Binding& binding : found->bindings) {
        if (binding.kind == Binding::Axis) {
            const float each =
                events->getGamepads().getAxis(GamepadAxis(binding.code)) * (binding.sign < 0 ? -1.0f : 1.0f);
            if (std::fabs(each) > std::fabs(analog))
                analog = each;
        } else if (isDown(binding)) {
            digital += binding.sign < 0 ? -1.0f : 1.0f;
        }
    }
    digital = std::max(-1.0f, std::min(1.0f, digital));
    return std::fabs(analog) > std::fabs(digital) ? analog : digital;
}

void CInputActions::rebind(const std::string& action, int sign)
{
    if (!isActionName(action)) {
        CLog::line("Cannot bind the action \"" + action + "\": its name is empty or holds a space or a sign");
        return;
    }
    findOrAdd(action);
    rebinding = action;
    rebindSign = sign < 0 ? -1 : sign > 0 ? 1 : 0;
}

void CInputActions::observe(const SDL_Event& event, GamepadButton padPressed)
{
    if (rebinding.empty())
        return;
    Binding binding;
    binding.sign = rebindSign;
    if (event.type == SDL_KEYDOWN) {
        if (event.key.keysym.sym == SDLK_ESCAPE) {
            rebinding.clear();
            return;
        }
        if (int(event.key.keysym.sym) >= CEventManager::kKeyCount)
            return;
        binding.kind = Binding::Key;
        binding.code = event.key.keysym.sym;
    } else if (event.type == SDL_MOUSEBUTTONDOWN) {
        if (event.button.button >= CEventManager::kButtonCount)
            return;
        binding.kind = Binding::Mouse;
        binding.code = event.button.button;
    } else if (padPressed != GamepadButton::Count) {
        binding.kind = Binding::Pad;
        binding.code = int(padPressed);
        const int direction = int(padPressed) - int(GamepadButton::LeftStickLeft);
        if (direction >= 0 && direction < 8) {
            // An axis action takes the whole stick axis, turned so that the way it was pushed
            // reads as the sign asked for.
            bool axisAction = rebindSign != 0;
            if (const Action* found = find(rebinding))
                for (const Binding& each : found->bindings)
                    axisAction = axisAction || each.kind == Binding::Axis;
            if (axisAction) {
                const int pushed = direction % 2 == 0 ? -1 : 1;
                binding.kind = Binding::Axis;
                binding.code = direction / 2;  // LeftX, LeftY, RightX, RightY
                binding.sign = rebindSign != 0 && pushed != rebindSign ? -1 : 0;
            }
        }
    } else {
        return;
    }
    capture(binding);
}

void CInputActions::capture(const Binding& binding)
{
    Action& action = findOrAdd(rebinding);
    const bool padKind = binding.kind == Binding::Pad || binding.kind == Binding::Axis;
    std::vector<Binding> kept;
    for (const Binding& each : action.bindings) {
        const bool samePart = (each.kind == Binding::Pad || each.kind == Binding::Axis) == padKind;
        const bool sameSide =
            each.kind == Binding::Axis || binding.kind == Binding::Axis || each.sign == rebindSign;
        if (!(samePart && sameSide))
            kept.push_back(each);
    }
    kept.push_back(binding);
    action.bindings.swap(kept);
    rebinding.clear();
}

std::string CInputActions::configPath(const std::string& game)
{
    if (game.empty() || game.find('/') != std::string::npos || game == "." || game == "..")
        return std::string();
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/" + game + "/input-actions.txt";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return std::string(home) + "/.config/" + game + "/input-actions.txt";
    return std::string();
}

bool CInputActions::save(const std::string& path) const
{
    if (path.empty()) {
        CLog::line("Failed to save input actions: " + path + ", Error: no path");
        return false;
    }
    if (!makeFolders(path)) {
        CLog::line("Failed to save input actions: " + path + ", Error: " + std::strerror(errno));
        return false;
    }
    std::string text = "# Input actions: one a line, \"name = binding | binding\" (key:space, mouse:1, pad:a,\n"
                       "# pad:leftx+, axis:leftx; a leading - or + gives the binding that sign).\n";
    for (const Action& action : actions) {
        text += action.name + " =";
        for (std::size_t index = 0; index < action.bindings.size(); ++index)
            text += (index == 0 ? " " : " | ") + spell(action.bindings[index]);
        text += "\n";
    }
    CFileReplacement file(path);
    if (file.file() == nullptr || std::fwrite(text.data(), 1, text.size(), file.file()) != text.size() ||
        !file.commit()) {
        CLog::line("Failed to save input actions: " + path + ", Error: " + file.getError());
        return false;
    }
    return true;
}

bool CInputActions::load(const std::string& path)
{
    struct stat info;
    std::ifstream in;
    errno = 0;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || (in.open(path), !in)) {
        CLog::line("Failed to load input actions: " + path +
                   ", Error: " + (errno != 0 ? std::strerror(errno) : "not a regular file"));
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::size_t hash = line.find('#');
        // A # is a comment, except as a key number (key:#273).
        std::string content = line;
        if (hash != std::string::npos && (hash == 0 || line.compare(hash - 1, 1, ":") != 0))
            content = line.substr(0, hash);
        content = trimmed(content);
        if (content.empty())
            continue;
        const std::size_t equals = content.find('=');
        std::string error;
        const std::string name = equals == std::string::npos ? std::string() : trimmed(content.substr(0, equals));
        std::vector<Binding> read;
        if (equals == std::string::npos) {
            error = "no \"=\" after the action's name";
        } else if (!isActionName(name)) {
            error = "the action's name \"" + name + "\" is empty or holds a space or a sign";
        } else {
            std::stringstream list(content.substr(equals + 1));
            std::string each;
            while (error.empty() && std::getline(list, each, '|')) {
                if (trimmed(each).empty())
                    continue;
                Binding binding;
                if (parseBinding(each, binding, error))
                    read.push_back(binding);
            }
        }
        if (!error.empty()) {
            CLog::line("Bad input action in " + path + ", line " + std::to_string(number) + ": " + error);
            continue;
        }
        findOrAdd(name).bindings = read;
    }
    return true;
}
