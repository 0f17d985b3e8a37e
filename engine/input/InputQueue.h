#ifndef ENGINE_INPUT_INPUTQUEUE_H
#define ENGINE_INPUT_INPUTQUEUE_H

#include <SDL.h>

#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

// The events waiting for the event manager, in a queue of its own rather than SDL's: SDL 1.2's
// queue holds 128 events and silently drops the rest, so a burst of pointer moves between two
// frames would lose the key presses and releases among them. An SDL event filter (listen()) takes
// every event before SDL's queue can refuse it; events pushed with SDL_PushEvent bypass filters and
// are moved over from SDL's queue, in order. An application's own filter, set before, is kept and
// asked first.
//
// Merging keeps a burst from growing the queue without bound:
// - consecutive pointer moves from the filter with the same buttons held become one (the latest
//   position, the summed relative motion); events an application pushes itself stay as pushed
//   (SDL bounds those);
// - a joystick axis value or a window size replaces an older one of the same axis or window still
//   waiting when only such values and pointer moves stand after it: they say where something is
//   now, so a stick held in motion cannot put a key press seconds behind. A hat is a d-pad, four
//   buttons: only a repeat of the position it holds is merged, so no d-pad press is lost.
//
// Owns the waiting events. Main thread only, except the filter, which SDL may call on its event
// thread; one queue listens at a time (SDL 1.2's filter has no user pointer), the last to listen.
class CInputQueue {
public:
    CInputQueue();
    // Stops listening, putting back the filter found in place, if this queue is the listener.
    ~CInputQueue();

    // Puts the filter in place (again): SDL clears filters when its video starts. Does nothing
    // while it is in place.
    void listen();
    // SDL's filter is this queue's.
    bool isListening() const;
    // Everything that has arrived, in order: what SDL_PushEvent left on SDL's queue, then what
    // SDL's pump brings in through the filter. Listens first if the filter is gone. Needs SDL's video.
    void pump();
    // Takes the oldest waiting event: true with it, false when none waits.
    bool pop(SDL_Event& out);
    std::size_t size();
    // Drops every waiting event, here and in SDL's queue.
    void clear();
    // Drops what a later event makes stale, wherever it waits: a pointer move followed by a move of
    // the same pointer with the same buttons and no button event between (its relative motion is
    // added to that move), a joystick axis value or window size followed by one of the same axis
    // or window, and a hat position followed by the same position of that hat. Keys, buttons and every other event
    // keep their places; the newest of each stays. What the event manager does first when more than its bound
    // wait. Answers how many were dropped.
    std::size_t compact();
    // Puts events back before everything waiting, in the order given.
    void putBack(const std::vector<SDL_Event>& events);

private:
    CInputQueue(const CInputQueue&) = delete;
    CInputQueue& operator=(const CInputQueue&) = delete;

    // Queues the event here and tells SDL to drop its own copy.
    static int SDLCALL filter(const SDL_Event* event);
    // Moves what SDL_PushEvent left on SDL's queue behind what is already waiting.
    void takeSDLQueue();
    // Appends under the lock; a pointer move from the filter merges into a move from the filter
    // waiting at the end.
    void enqueue(const SDL_Event& incoming, bool mergeable);
    // Replaces a waiting value of the same joystick axis, hat or window size (see above).
    bool replaceNewest(const SDL_Event& incoming);

    std::mutex lock;  // guards waiting; the filter may run on SDL's event thread
    std::deque<SDL_Event> waiting;
    bool lastMergeable = false;  // the last event waiting is a move from the filter
};

#endif
