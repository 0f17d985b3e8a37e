#include "engine/input/InputQueue.h"

#include <map>

namespace {

// The queue the filter feeds and the filter it found in place. The filter is a plain function
// (SDL 1.2 gives it no user pointer), so they are program-wide; guarded because the filter may run
// on SDL's event thread while the main thread creates or destroys the queue.
std::mutex listenerLock;
CInputQueue* listener = nullptr;
SDL_EventFilter chained = nullptr;

// Relative motion of merged moves, held at the ends of the field rather than wrapped.
Sint16 summed(Sint16 a, Sint16 b)
{
    const int sum = int(a) + int(b);
    return Sint16(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
}

}  // namespace

CInputQueue::CInputQueue() = default;

CInputQueue::~CInputQueue()
{
    SDL_EventFilter previous = nullptr;
    {
        std::lock_guard<std::mutex> guard(listenerLock);
        if (listener != this)
            return;
        listener = nullptr;
        previous = chained;
        chained = nullptr;
    }
    // Outside the lock: setting a filter polls SDL's queue, which calls the filter.
    if (SDL_GetEventFilter() == &CInputQueue::filter)
        SDL_SetEventFilter(previous);
}

int SDLCALL CInputQueue::filter(const SDL_Event* incoming)
{
    std::lock_guard<std::mutex> guard(listenerLock);
    if (chained != nullptr && chained(incoming) == 0)
        return 0;
    if (listener == nullptr)
        return 1;
    // What SDL_PushEvent put on SDL's queue came before this event.
    listener->takeSDLQueue();
    listener->enqueue(*incoming, true);
    return 0;
}

void CInputQueue::listen()
{
    const SDL_EventFilter current = SDL_GetEventFilter();
    {
        std::lock_guard<std::mutex> guard(listenerLock);
        listener = this;
        if (current == &CInputQueue::filter)
            return;
        chained = current;
        // SDL_SetEventFilter throws away whatever waits in SDL's queue: keep it here first.
        takeSDLQueue();
    }
    // Outside the lock: setting the filter pumps, and the pump calls the filter.
    SDL_SetEventFilter(&CInputQueue::filter);
}

bool CInputQueue::isListening() const
{
    std::lock_guard<std::mutex> guard(listenerLock);
    return listener == this && SDL_GetEventFilter() == &CInputQueue::filter;
}

void CInputQueue::pump()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    if (SDL_GetEventFilter() != &CInputQueue::filter)
        listen();
    // Pushed events first: they were queued before anything this pump brings in.
    {
        std::lock_guard<std::mutex> guard(listenerLock);
        takeSDLQueue();
    }
    SDL_PumpEvents();
    std::lock_guard<std::mutex> guard(listenerLock);
    takeSDLQueue();
}

bool CInputQueue::pop(SDL_Event& out)
{
    std::lock_guard<std::mutex> guard(lock);
    if (waiting.empty())
        return false;
    out = waiting.front();
    waiting.pop_front();
    if (waiting.empty())
        lastMergeable = false;  // the move it could merge into is being handed out
    return true;
}

std::size_t CInputQueue::size()
{
    std::lock_guard<std::mutex> guard(lock);
    return waiting.size();
}

void CInputQueue::clear()
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_PumpEvents();
        SDL_Event dropped;
        while (SDL_PeepEvents(&dropped, 1, SDL_GETEVENT, SDL_ALLEVENTS) == 1) { }
    }
    std::lock_guard<std::mutex> guard(lock);
    waiting.clear();
    lastMergeable = false;
}

std::size_t CInputQueue::compact()
{
    std::lock_guard<std::mutex> guard(lock);
    // From the newest back: where the newer value of each pointer, axis, hat or window stands.
    enum { Pointer = 1, Axis, Hat, Size };
    std::map<Uint32, std::size_t> newer;
    std::vector<bool> stale(waiting.size(), false);
    std::size_t dropped = 0;
    for (std::size_t index = waiting.size(); index-- > 0;) {
        const SDL_Event& older = waiting[index];
        Uint32 what = 0;
        switch (older.type) {
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            // A move before a click keeps its own buttons: it is not merged across the click.
            newer.erase(Uint32(Pointer) << 24 | Uint32(older.button.which) << 8);
            continue;
        case SDL_MOUSEMOTION:
            what = Uint32(Pointer) << 24 | Uint32(older.motion.which) << 8;
            break;
        case SDL_JOYAXISMOTION:
            what = Uint32(Axis) << 24 | Uint32(older.jaxis.which) << 8 | older.jaxis.axis;
            break;
        case SDL_JOYHATMOTION:
            what = Uint32(Hat) << 24 | Uint32(older.jhat.which) << 8 | older.jhat.hat;
            break;
        case SDL_VIDEORESIZE:
            what = Uint32(Size) << 24;
            break;
        default:
            continue;
        }
        const auto later = newer.find(what);
        if (later == newer.end()) {
            newer[what] = index;
            continue;
        }
        SDL_Event& kept = waiting[later->second];
        // A hat is the d-pad's four buttons: only a repeat of the same position is dropped, so no
        // press of one is lost.
        if (older.type == SDL_JOYHATMOTION && kept.jhat.value != older.jhat.value) {
            later->second = index;
            continue;
        }
        if (older.type == SDL_MOUSEMOTION) {
            if (kept.motion.state != older.motion.state) {
                later->second = index;
                continue;
            }
            kept.motion.xrel = summed(older.motion.xrel, kept.motion.xrel);
            kept.motion.yrel = summed(older.motion.yrel, kept.motion.yrel);
        }
        stale[index] = true;
        ++dropped;
    }
    if (dropped == 0)
        return 0;
    std::deque<SDL_Event> left;
    for (std::size_t index = 0; index < waiting.size(); ++index)
        if (!stale[index])
            left.push_back(waiting[index]);
    waiting.swap(left);
    // The last event is never stale, so whether it may take a merge is unchanged.
    return dropped;
}

void CInputQueue::putBack(const std::vector<SDL_Event>& events)
{
    std::lock_guard<std::mutex> guard(lock);
    const bool wasEmpty = waiting.empty();
    waiting.insert(waiting.begin(), events.begin(), events.end());
    if (wasEmpty)
        lastMergeable = false;
}

void CInputQueue::enqueue(const SDL_Event& incoming, bool mergeable)
{
    std::lock_guard<std::mutex> guard(lock);
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

bool CInputQueue::replaceNewest(const SDL_Event& incoming)
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
            if (same && type == SDL_JOYHATMOTION && waited->jhat.value != incoming.jhat.value)
                return false;  // a new d-pad position: each press stays an event of its own
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

void CInputQueue::takeSDLQueue()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_Event pushed;
    while (SDL_PeepEvents(&pushed, 1, SDL_GETEVENT, SDL_ALLEVENTS) == 1)
        enqueue(pushed, false);
}
