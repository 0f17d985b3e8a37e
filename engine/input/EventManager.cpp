#include "engine/input/EventManager.h"

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
}

CEventManager::~CEventManager()
{
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
    waiting.push_back(incoming);
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
    std::lock_guard<std::mutex> lock(queueLock);
    waiting.clear();
    lastMergeable = false;
}

std::size_t CEventManager::waitingCount()
{
    std::lock_guard<std::mutex> lock(queueLock);
    return waiting.size();
}

void CEventManager::update()
{
    readMouse();
    clickedId = -1;
    eventPolled = false;
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
    {
        std::lock_guard<std::mutex> lock(queueLock);
        if (!waiting.empty()) {
            event = waiting.front();
            waiting.pop_front();
            eventPolled = true;
            if (waiting.empty())
                lastMergeable = false;  // the move it could merge into is being handed out
        }
    }
    eventCode = CodeOther;
    keyPressed = false;
    apply();
}

void CEventManager::readMouse()
{
    lastMouseX = mouseX;
    lastMouseY = mouseY;
    SDL_GetMouseState(&mouseX, &mouseY);
}

void CEventManager::apply()
{
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
        break;
    }
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
}

int CEventManager::getClickedId() const
{
    return clickedId;
}
