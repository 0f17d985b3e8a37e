#include "engine/input/EventManager.h"

#include "engine/core/Log.h"

#include <cstring>

namespace {

// The manager the filter feeds and the filter it found in place. The filter is a plain function
// (SDL 1.2 gives it no user pointer), so they are program-wide; guarded because the filter may run
// on SDL's event thread while the main thread creates or destroys the manager.
std::mutex listenerLock;
CEventManager* listener = nullptr;
SDL_EventFilter chained = nullptr;

// Relative motion of merged moves, held at the ends of the field rather than wrapped.
Sint16 summed(Sint16 a, Sint16 b)
{
    const int sum = int(a) + int(b);
    return Sint16(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
}

} // namespace

CEventManager::CEventManager()
    : keyPressed(false),
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
    SDL_EventFilter previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(listenerLock);
        if (listener != this)
            return;
        listener = nullptr;
        previous = chained;
        chained = nullptr;
    }
    // Outside the lock: setting a filter polls SDL's queue, which calls the filter.
    if (SDL_GetEventFilter() == &CEventManager::filter)
        SDL_SetEventFilter(previous);
}

int SDLCALL CEventManager::filter(const SDL_Event* incoming)
{
    std::lock_guard<std::mutex> lock(listenerLock);
    if (chained != nullptr && chained(incoming) == 0)
        return 0;
    if (listener == nullptr)
        return 1;
    // What SDL_PushEvent put on SDL's queue came before this event.
    listener->takeSDLQueue();
    listener->enqueue(*incoming, true);
    return 0;
}

void CEventManager::listen()
{
    const SDL_EventFilter current = SDL_GetEventFilter();
    {
        std::lock_guard<std::mutex> lock(listenerLock);
        listener = this;
        if (current == &CEventManager::filter)
            return;
        chained = current;
        // SDL_SetEventFilter throws away whatever waits in SDL's queue: keep it here first.
        takeSDLQueue();
    }
    // Outside the lock: setting the filter pumps, and the pump calls the filter.
    SDL_SetEventFilter(&CEventManager::filter);
    // Key presses then carry the character typed, for getText().
    SDL_EnableUNICODE(1);
}

void CEventManager::enqueue(const SDL_Event& incoming, bool mergeable)
{
    std::lock_guard<std::mutex> lock(queueLock);
    const bool merge = mergeable && lastMergeable;
    lastMergeable = mergeable && incoming.type == SDL_MOUSEMOTION;
    if (merge && incoming.type == SDL_MOUSEMOTION && !waiting.empty()) {
        SDL_Event& last = waiting.back();
        if (last.type == SDL_MOUSEMOTION && last.motion.state == incoming.motion.state &&
            last.motion.which == incoming.motion.which) {
            const Sint16 xrel = summed(last.motion.xrel, incoming.motion.xrel);
            const Sint16 yrel = summed(last.motion.yrel, incoming.motion.yrel);
            last.motion = incoming.motion;
            last.motion.xrel = xrel;
            last.motion.yrel = yrel;
            return;
        }
    }
    if (replaceNewest(incoming))
        return;
    waiting.push_back(incoming);
}

bool CEventManager::replaceNewest(const SDL_Event& incoming)
{
    const Uint8 type = incoming.type;
    if (type != SDL_JOYAXISMOTION && type != SDL_JOYHATMOTION && type != SDL_VIDEORESIZE)
        return false;
    // Only values that say where something is now: an older value of the same axis, hat or window
    // size is replaced while nothing that must keep its order (a key, a button) stands after it.
    for (auto waited = waiting.rbegin(); waited != waiting.rend(); ++waited) {
        const Uint8 kind = waited->type;
        if (kind == type) {
            const bool same = type == SDL_VIDEORESIZE ||
                              (type == SDL_JOYAXISMOTION && waited->jaxis.which == incoming.jaxis.which &&
                               waited->jaxis.axis == incoming.jaxis.axis) ||
                              (type == SDL_JOYHATMOTION && waited->jhat.which == incoming.jhat.which &&
                               waited->jhat.hat == incoming.jhat.hat);
            if (same) {
                *waited = incoming;
                return true;
            }
        }
        if (kind != SDL_JOYAXISMOTION && kind != SDL_JOYHATMOTION && kind != SDL_VIDEORESIZE &&
            kind != SDL_MOUSEMOTION)
            return false;
    }
    return false;
}

void CEventManager::takeSDLQueue()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_Event pushed;
    while (SDL_PeepEvents(&pushed, 1, SDL_GETEVENT, SDL_ALLEVENTS) == 1)
        enqueue(pushed, false);
}

void CEventManager::discardWaiting()
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_PumpEvents();
        SDL_Event dropped;
        while (SDL_PeepEvents(&dropped, 1, SDL_GETEVENT, SDL_ALLEVENTS) == 1) {
        }
    }
    {
        std::lock_guard<std::mutex> lock(queueLock);
        waiting.clear();
        lastMergeable = false;
    }
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
    } else {
        std::memset(keys, 0, sizeof(keys));
        leftButton = false;
        rightButton = false;
    }
}

std::size_t CEventManager::waitingCount()
{
    std::lock_guard<std::mutex> lock(queueLock);
    return waiting.size();
}

void CEventManager::update()
{
    // Taking every event, a press is applied in the update that pumped it, so the pointer is read
    // after the pump: read before, it would stand where the previous frame left it, off the button
    // just clicked. One event per update, the press comes a frame or more after its pump.
    if (!everyEvent)
        readMouse();
    clickedId = -1;
    eventPolled = false;
    inUpdate = polledSince;
    polledSince = UpdateEdges();
    if (!everyEvent)
        clearEdges();
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        if (SDL_GetEventFilter() != &CEventManager::filter)
            listen();
        // Pushed events first: they were queued before anything this pump brings in.
        {
            std::lock_guard<std::mutex> lock(listenerLock);
            takeSDLQueue();
        }
        SDL_PumpEvents();
        std::lock_guard<std::mutex> lock(listenerLock);
        takeSDLQueue();
    }
    if (everyEvent)
        readMouse();
    eventCode = CodeOther;
    keyPressed = false;
    std::deque<SDL_Event> taken;
    {
        std::lock_guard<std::mutex> lock(queueLock);
        // Beyond the bound the oldest events reach the tables but not the stream (see the header).
        const std::size_t keep = everyEvent ? 0 : kMaxWaiting;
        while (waiting.size() > keep) {
            taken.push_back(waiting.front());
            waiting.pop_front();
        }
        if (!everyEvent && !waiting.empty()) {
            taken.push_back(waiting.front());
            waiting.pop_front();
        }
        if (waiting.empty())
            lastMergeable = false;  // the move it could merge into is being handed out
    }
    if (taken.empty()) {
        apply(false);  // the last record again, as the frame before
        return;
    }
    for (const SDL_Event& next : taken) {
        eventCode = CodeOther;
        keyPressed = false;
        event = next;
        apply(true);
        if (everyEvent)
            handedOut.push_back(next);
    }
    eventPolled = true;
    // Events handed to pollEvent() but never asked for stay there, up to the bound.
    while (handedOut.size() > kMaxWaiting)
        handedOut.pop_front();
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
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        if (SDL_GetEventFilter() != &CEventManager::filter)
            listen();
        SDL_PumpEvents();
        std::lock_guard<std::mutex> lock(listenerLock);
        takeSDLQueue();
    }
    {
        std::lock_guard<std::mutex> lock(queueLock);
        if (waiting.empty())
            return false;
        out = waiting.front();
        waiting.pop_front();
        if (waiting.empty())
            lastMergeable = false;
    }
    eventCode = CodeOther;
    keyPressed = false;
    event = out;
    polling = true;
    apply(true);
    polling = false;
    return true;
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
}

void CEventManager::readMouse()
{
    lastMouseX = mouseX;
    lastMouseY = mouseY;
    SDL_GetMouseState(&mouseX, &mouseY);
}

void CEventManager::apply(bool fresh)
{
    if (fresh)
        applyEdges();
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
        if (event.button.button == SDL_BUTTON_LEFT) {
            leftButton = true;
            eventCode = CodeLeftDown;
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            rightButton = true;
            eventCode = CodeRightDown;
        }
        break;
    case SDL_MOUSEBUTTONUP:
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
            (event.type == SDL_KEYDOWN ? keysPressed : keysReleased)[key] = 1;
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
            (down ? buttonsPressed : buttonsReleased)[button] = 1;
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
        return 0;
    }
    const int found = SDL_NumJoysticks();
    for (int index = 0; index < found && index < kMaxJoysticks; ++index) {
        SDL_Joystick* joystick = SDL_JoystickOpen(index);
        if (joystick == nullptr) {
            CLog::line(std::string("Unable to open joystick ") + std::to_string(index) +
                       ", Error: " + SDL_GetError());
            break; // SDL's event indices must stay the table's indices
        }
        joysticks.push_back(joystick);
        const char* name = SDL_JoystickName(index);
        joystickNames.push_back(name ? name : "");
    }
    SDL_JoystickEventState(SDL_ENABLE);
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
}
