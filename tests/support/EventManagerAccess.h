#ifndef TESTS_SUPPORT_EVENTMANAGERACCESS_H
#define TESTS_SUPPORT_EVENTMANAGERACCESS_H

#include "engine/input/EventManager.h"

// The event manager's engine-only calls, for the tests that drive them as the engine does.
class CEventManagerAccess {
public:
    static void hideEdges(CEventManager& events, bool hidden)
    {
        events.hideEdges(hidden);
    }
    static bool getResizeInUpdate(const CEventManager& events, int& width, int& height)
    {
        return events.getResizeInUpdate(width, height);
    }
};

#endif
