#include "engine/input/EventManager.h"

#include "engine/input/InputQueue.h"

#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/graphics/LogicalScreen.h"

#include <algorithm>
#include <cstring>

namespace {

// The key, mouse button or joystick button an event presses or releases, as one number; -1 for
// any other event.
long pressedThing(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return long(event.key.keysym.sym);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return 0x10000L + (long(event.button.which) << 8) + event.button.button;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        return 0x20000L + (long(event.jbutton.which) << 8) + event.jbutton.button;
    default:
        return -1;
    }
}

bool isPress(const SDL_Event& event)
{
    return event.type == SDL_KEYDOWN || event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_JOYBUTTONDOWN;
}

// Which of a frame's events update() hands out: a close request, then the exit key, then any
// press, then anything else; the latest of the best kind.
int handOutRank(const SDL_Event& event)
{
    if (event.type == SDL_QUIT)
        return 3;
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)
        return 2;
    return isPress(event) ? 1 : 0;
}

}  // namespace

CEventManager::CEventManager()
    : queue(new CInputQueue()),
      keyPressed(false),
      eventCode(CodeOther),
      eventPolled(false),
      mouseX(0),
      mouseY(0),
      lastMouseX(0),
      lastMouseY(0),
      leftButton(false),
      rightButton(false),
      clickedId(-1)
{
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_NOEVENT;
    std::memset(keys, 0, sizeof(keys));
    clearEdges();
    openJoysticks();
}

CEventManager::~CEventManager()
{
    closeJoysticks();
}

void CEventManager::listen()
{
    queue->listen();
    // Key presses then carry the character typed, for getText().
    SDL_EnableUNICODE(1);
}

void CEventManager::discardWaiting()
{
    queue->clear();
    handedOut.clear();
    clearEdges();
    // A release among the dropped events would leave its key or button held for good, and the last
    // event, applied again each frame until the next, would press it again: the record is emptied
    // and the tables take what SDL itself holds now.
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_NOEVENT;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        int count = 0;
        const Uint8* held = SDL_GetKeyState(&count);
        for (int key = 0; key < kKeyCount; ++key)
            keys[key] = held != nullptr && key < count && held[key] ? 1 : 0;
        const Uint8 buttons = SDL_GetMouseState(nullptr, nullptr);
        leftButton = (buttons & SDL_BUTTON(SDL_BUTTON_LEFT)) != 0;
        rightButton = (buttons & SDL_BUTTON(SDL_BUTTON_RIGHT)) != 0;
        for (int button = 1; button < kButtonCount; ++button)
            buttonsDown[button] = (buttons & SDL_BUTTON(button)) != 0 ? 1 : 0;
    } else {
        std::memset(buttonsDown, 0, sizeof(buttonsDown));
        std::memset(keys, 0, sizeof(keys));
        leftButton = false;
        rightButton = false;
    }
    gamepads.resync(joysticks);
    gamepads.clearEdges();
}

std::size_t CEventManager::waitingCount()
{
    return queue->size();
}

void CEventManager::update()
{
    // Taking every event, a press is applied in the update that pumped it, so the pointer is read
    // after the pump: read before, it would stand where the previous frame left it, off the button
    // just clicked. One event per update, the press comes a frame or more after its pump.
    if (!everyEvent)
        readMouse();
    gamepads.writeLog();
    clickedId = -1;
    eventPolled = false;
    inUpdate = polledSince;
    polledSince = UpdateEdges();
    if (!everyEvent)
        clearEdges();
    pumpEvents();
    if (everyEvent)
        readMouse();
    eventCode = CodeOther;
    keyPressed = false;
    std::deque<SDL_Event> taken;
    SDL_Event next;
    if (everyEvent) {
        while (queue->pop(next))
            taken.push_back(next);
    } else {
        // Beyond the bound: what merges without loss first, then the oldest are taken with the
        // frame's event (see the header).
        if (queue->size() > kMaxWaiting)
            queue->compact();
        while (queue->size() > kMaxWaiting && queue->pop(next))
            taken.push_back(next);
        if (queue->pop(next))
            taken.push_back(next);
    }
    if (taken.empty()) {
        apply(false);  // the last record again, as the frame before
        return;
    }
    eventPolled = true;
    if (!everyEvent && taken.size() > 1) {
        applyBeyondBound(taken);
        return;
    }
    // Events handed to pollEvent() in earlier frames and never asked for stay, up to the bound;
    // this frame's all stay, so that none of its presses is lost to the stream.
    if (everyEvent) {
        while (handedOut.size() > kMaxWaiting)
            handedOut.pop_front();
    }
    for (const SDL_Event& applied : taken) {
        eventCode = CodeOther;
        keyPressed = false;
        event = applied;
        apply(true);
        if (everyEvent)
            handedOut.push_back(applied);
    }
}

void CEventManager::applyBeyondBound(const std::deque<SDL_Event>& taken)
{
    // Every event reaches the tables and edges in order, except the release of a key or button
    // pressed among them: held back to the front of the queue, so that the table shows every
    // press down in this frame. A later press of the same key or button applies it first.
    std::vector<long> pressedHere;
    std::vector<SDL_Event> heldBack;
    SDL_Event handed = taken.back();
    int bestRank = -1;
    for (const SDL_Event& next : taken) {
        const long thing = pressedThing(next);
        if (thing >= 0 && !isPress(next) &&
            std::find(pressedHere.begin(), pressedHere.end(), thing) != pressedHere.end()) {
            heldBack.push_back(next);
            continue;
        }
        if (thing >= 0 && isPress(next)) {
            for (auto held = heldBack.begin(); held != heldBack.end(); ++held) {
                if (pressedThing(*held) == thing) {
                    eventCode = CodeOther;
                    keyPressed = false;
                    event = *held;
                    apply(true);
                    heldBack.erase(held);
                    break;
                }
            }
            pressedHere.push_back(thing);
        }
        eventCode = CodeOther;
        keyPressed = false;
        event = next;
        apply(true);
        const int rank = handOutRank(next);
        if (rank >= bestRank) {
            bestRank = rank;
            handed = next;
        }
    }
    // The record is the event handed out; applying it again agrees with the tables, since what
    // would release it was held back.
    eventCode = CodeOther;
    keyPressed = false;
    event = handed;
    apply(false);
    queue->putBack(heldBack);
}

bool CEventManager::pollEvent(SDL_Event& out)
{
    if (!handedOut.empty()) {
        out = handedOut.front();
        handedOut.pop_front();
        return true;
    }
    // Taking every event, the frame's events are those update() took: the rest wait for the next
    // update, so that the edges describe the same events whichever way they are read.
    if (everyEvent)
        return false;
    pumpEvents();
    if (!queue->pop(out))
        return false;
    eventCode = CodeOther;
    keyPressed = false;
    event = out;
    polling = true;
    apply(true);
    polling = false;
    return true;
}

void CEventManager::pumpEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    // SDL clears its filter, and the character translation, when its video starts.
    if (!queue->isListening())
        listen();
    queue->pump();
    std::vector<SDL_Event> changes = gamepads.pollChanges(joysticks);
    if (!changes.empty()) {
        // Behind what waits, through SDL's queue, as if SDL had queued them.
        for (SDL_Event& change : changes)
            SDL_PushEvent(&change);
        queue->pump();
    }
}

void CEventManager::takeEveryEvent(bool on)
{
    // Events already taken stay for pollEvent(): the last frame of a loop brings some.
    everyEvent = on;
}

bool CEventManager::isTakingEveryEvent() const
{
    return everyEvent;
}

void CEventManager::clearEdges()
{
    std::memset(keysPressed, 0, sizeof(keysPressed));
    std::memset(keysReleased, 0, sizeof(keysReleased));
    std::memset(buttonsPressed, 0, sizeof(buttonsPressed));
    std::memset(buttonsReleased, 0, sizeof(buttonsReleased));
    wheel = 0;
    text.clear();
    quitRequested = false;
    clickedIds.clear();
    gamepads.clearEdges();
}

void CEventManager::readMouse()
{
    lastMouseX = mouseX;
    lastMouseY = mouseY;
    SDL_GetMouseState(&mouseX, &mouseY);
    // In the game's pixels while a logical screen shows the game scaled.
    if (g_pGraphicsCore != nullptr)
        g_pGraphicsCore->getLogicalScreen().toGame(mouseX, mouseY);
}

void CEventManager::apply(bool fresh)
{
    if (fresh) {
        applyEdges();
        GamepadButton padPressed = GamepadButton::Count;
        if (event.type >= SDL_JOYAXISMOTION && event.type <= SDL_JOYBUTTONUP) {
            int pad = -1;
            padPressed = gamepads.apply(event, pad);
        }
        actions.observe(event, padPressed);
    }
    switch (event.type) {
    case SDL_KEYDOWN: {
        keyPressed = true;
        eventCode = CodeKeyDown;
        const int key = event.key.keysym.sym;
        if (key >= 0 && key < kKeyCount)
            keys[key] = 1;
        break;
    }
    case SDL_KEYUP: {
        const int key = event.key.keysym.sym;
        if (key >= 0 && key < kKeyCount)
            keys[key] = 0;
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button < kButtonCount)
            buttonsDown[event.button.button] = 1;
        if (event.button.button == SDL_BUTTON_LEFT) {
            leftButton = true;
            eventCode = CodeLeftDown;
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            rightButton = true;
            eventCode = CodeRightDown;
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button < kButtonCount)
            buttonsDown[event.button.button] = 0;
        if (event.button.button == SDL_BUTTON_LEFT) {
            leftButton = false;
            eventCode = CodeLeftUp;
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            rightButton = false;
            eventCode = CodeRightUp;
        }
        break;
    case SDL_QUIT:
        eventCode = CodeQuit;
        break;
    default:
        applyJoystickOrResize();
        break;
    }
}

void CEventManager::applyEdges()
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const int key = event.key.keysym.sym;
        if (key >= 0 && key < kKeyCount) {
            uint8_t& count = (event.type == SDL_KEYDOWN ? keysPressed : keysReleased)[key];
            count = uint8_t(count < 255 ? count + 1 : 255);
            if (event.type == SDL_KEYDOWN)
                (polling ? polledSince : inUpdate).keysPressed[key] = 1;
        }
        if (event.type == SDL_KEYDOWN)
            appendUtf8(event.key.keysym.unicode);
        break;
    }
    case SDL_QUIT:
        quitRequested = true;
        break;
    case SDL_VIDEORESIZE:
        (polling ? polledSince : inUpdate).resized = true;
        (polling ? polledSince : inUpdate).width = event.resize.w;
        (polling ? polledSince : inUpdate).height = event.resize.h;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const int button = event.button.button;
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        if (button < kButtonCount) {
            uint8_t& count = (down ? buttonsPressed : buttonsReleased)[button];
            count = uint8_t(count < 255 ? count + 1 : 255);
            UpdateEdges& target = polling ? polledSince : inUpdate;
            (down ? target.buttonsPressed : target.buttonsReleased)[button] = 1;
        }
        if (down && button == SDL_BUTTON_WHEELUP)
            ++wheel;
        else if (down && button == SDL_BUTTON_WHEELDOWN)
            --wheel;
        break;
    }
    default:
        break;
    }
}

void CEventManager::appendUtf8(Uint16 unit)
{
    // SDL 1.2 gives one UTF-16 unit per key press; a surrogate pair arrives as two presses.
    if (unit >= 0xD800 && unit < 0xDC00) {
        highSurrogate = unit;
        return;
    }
    std::uint32_t code = unit;
    if (unit >= 0xDC00 && unit < 0xE000) {
        if (highSurrogate == 0)
            return;
        code = 0x10000 + ((std::uint32_t(highSurrogate) - 0xD800) << 10) + (unit - 0xDC00);
    }
    highSurrogate = 0;
    // Control characters (Backspace, Return, Escape, Tab, Delete) are keys, not text.
    if (code < 0x20 || code == 0x7F)
        return;
    if (code < 0x80) {
        text += char(code);
    } else if (code < 0x800) {
        text += char(0xC0 | (code >> 6));
        text += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += char(0xE0 | (code >> 12));
        text += char(0x80 | ((code >> 6) & 0x3F));
        text += char(0x80 | (code & 0x3F));
    } else {
        text += char(0xF0 | (code >> 18));
        text += char(0x80 | ((code >> 12) & 0x3F));
        text += char(0x80 | ((code >> 6) & 0x3F));
        text += char(0x80 | (code & 0x3F));
    }
}

void CEventManager::applyJoystickOrResize()
{
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        eventCode = CodeJoyAxis;
        if (event.jaxis.which < kMaxJoysticks && event.jaxis.axis < kMaxJoystickAxes)
            joyAxes[event.jaxis.which][event.jaxis.axis] = event.jaxis.value;
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        const bool down = event.type == SDL_JOYBUTTONDOWN;
        eventCode = down ? CodeJoyButtonDown : CodeJoyButtonUp;
        if (event.jbutton.which < kMaxJoysticks && event.jbutton.button < kMaxJoystickButtons)
            joyButtons[event.jbutton.which][event.jbutton.button] = down ? 1 : 0;
        break;
    }
    case SDL_JOYHATMOTION:
        eventCode = CodeJoyHat;
        if (event.jhat.which < kMaxJoysticks && event.jhat.hat < kMaxJoystickHats)
            joyHats[event.jhat.which][event.jhat.hat] = event.jhat.value;
        break;
    case SDL_VIDEORESIZE:
        eventCode = CodeResize;
        break;
    default:
        break;
    }
}

int CEventManager::openJoysticks()
{
    closeJoysticks();
    std::memset(joyAxes, 0, sizeof(joyAxes));
    std::memset(joyButtons, 0, sizeof(joyButtons));
    std::memset(joyHats, 0, sizeof(joyHats));
    // The last event is applied again each frame until the next: one of a joystick from before the
    // rescan would fill the emptied tables again.
    if (event.type >= SDL_JOYAXISMOTION && event.type <= SDL_JOYBUTTONUP) {
        std::memset(&event, 0, sizeof(event));
        event.type = SDL_NOEVENT;
    }
    // SDL 1.2 lists joysticks only when its joystick subsystem starts, so start it afresh.
    if (SDL_WasInit(SDL_INIT_JOYSTICK))
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        CLog::line(std::string("Unable to initialize joysticks: ") + SDL_GetError());
        gamepads.open(joystickNames);
        return 0;
    }
    const int found = SDL_NumJoysticks();
    for (int index = 0; index < found && index < kMaxJoysticks; ++index) {
        SDL_Joystick* joystick = SDL_JoystickOpen(index);
        if (joystick == nullptr) {
            CLog::line(std::string("Unable to open joystick ") + std::to_string(index) +
                       ", Error: " + SDL_GetError());
            break;  // SDL's event indices must stay the table's indices
        }
        joysticks.push_back(joystick);
        const char* name = SDL_JoystickName(index);
        joystickNames.push_back(name ? name : "");
    }
    SDL_JoystickEventState(SDL_ENABLE);
    gamepads.open(joystickNames);
    return getJoystickCount();
}

void CEventManager::closeJoysticks()
{
    // SDL_Quit, which the graphics core calls at shut-down, has closed and freed them already.
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) {
        for (SDL_Joystick* joystick : joysticks)
            SDL_JoystickClose(joystick);
    }
    joysticks.clear();
    joystickNames.clear();
}

int CEventManager::getJoystickCount() const
{
    return static_cast<int>(joysticks.size());
}

std::string CEventManager::getJoystickName(int joystick) const
{
    if (joystick < 0 || joystick >= getJoystickCount())
        return std::string();
    return joystickNames[static_cast<std::size_t>(joystick)];
}

int16_t CEventManager::getJoystickAxis(int joystick, int axis) const
{
    if (joystick < 0 || joystick >= kMaxJoysticks || axis < 0 || axis >= kMaxJoystickAxes)
        return 0;
    return joyAxes[joystick][axis];
}

uint8_t CEventManager::isJoystickButtonDown(int joystick, int button) const
{
    if (joystick < 0 || joystick >= kMaxJoysticks || button < 0 || button >= kMaxJoystickButtons)
        return 0;
    return joyButtons[joystick][button];
}

uint8_t CEventManager::getJoystickHat(int joystick, int hat) const
{
    if (joystick < 0 || joystick >= kMaxJoysticks || hat < 0 || hat >= kMaxJoystickHats)
        return 0;
    return joyHats[joystick][hat];
}

SDL_Event CEventManager::getEvent() const
{
    return event;
}

bool CEventManager::isEventPolled() const
{
    return eventPolled;
}

int CEventManager::getMouseX() const
{
    return mouseX;
}

int CEventManager::getMouseY() const
{
    return mouseY;
}

int CEventManager::getMouseDeltaX() const
{
    return mouseX - lastMouseX;
}

int CEventManager::getMouseDeltaY() const
{
    return mouseY - lastMouseY;
}

bool CEventManager::hasMouseMoved() const
{
    return mouseX != lastMouseX || mouseY != lastMouseY;
}

uint8_t CEventManager::isKeyDown(int key) const
{
    if (key < 0 || key >= kKeyCount)
        return 0;
    return keys[key];
}

bool CEventManager::isLeftButtonDown() const
{
    return leftButton;
}

bool CEventManager::isRightButtonDown() const
{
    return rightButton;
}

bool CEventManager::isEventCode(int code) const
{
    return eventCode == code;
}

void CEventManager::setClickedId(int id)
{
    clickedId = id;
    if (id >= 0)
        clickedIds.push_back(id);
}

bool CEventManager::wasClicked(int id) const
{
    if (edgesHidden)
        return false;
    for (int clicked : clickedIds)
        if (clicked == id)
            return true;
    return false;
}

bool CEventManager::isKeyPressedInUpdate(int key) const
{
    return key >= 0 && key < kKeyCount && inUpdate.keysPressed[key] != 0;
}

bool CEventManager::getResizeInUpdate(int& width, int& height) const
{
    if (!inUpdate.resized)
        return false;
    width = inUpdate.width;
    height = inUpdate.height;
    return true;
}

int CEventManager::getClickedId() const
{
    return clickedId;
}

bool CEventManager::isKeyPressed(int key) const
{
    return !edgesHidden && key >= 0 && key < kKeyCount && keysPressed[key] != 0;
}

bool CEventManager::isKeyReleased(int key) const
{
    return !edgesHidden && key >= 0 && key < kKeyCount && keysReleased[key] != 0;
}

bool CEventManager::isButtonPressed(int button) const
{
    return !edgesHidden && button >= 0 && button < kButtonCount && buttonsPressed[button] != 0;
}

bool CEventManager::isButtonReleased(int button) const
{
    return !edgesHidden && button >= 0 && button < kButtonCount && buttonsReleased[button] != 0;
}

bool CEventManager::isButtonPressedInUpdate(int button) const
{
    return button >= 0 && button < kButtonCount && inUpdate.buttonsPressed[button] != 0;
}

bool CEventManager::isButtonReleasedInUpdate(int button) const
{
    return button >= 0 && button < kButtonCount && inUpdate.buttonsReleased[button] != 0;
}

int CEventManager::getWheel() const
{
    return edgesHidden ? 0 : wheel;
}

const std::string& CEventManager::getText() const
{
    static const std::string none;
    return edgesHidden ? none : text;
}

bool CEventManager::isQuitRequested() const
{
    return !edgesHidden && quitRequested;
}

void CEventManager::hideEdges(bool hidden)
{
    edgesHidden = hidden;
    gamepads.hideEdges(hidden);
}

int CEventManager::getKeyPressCount(int key) const
{
    return edgesHidden || key < 0 || key >= kKeyCount ? 0 : keysPressed[key];
}

int CEventManager::getButtonPressCount(int button) const
{
    return edgesHidden || button < 0 || button >= kButtonCount ? 0 : buttonsPressed[button];
}

bool CEventManager::isButtonDown(int button) const
{
    return button >= 0 && button < kButtonCount && buttonsDown[button] != 0;
}
