#ifndef ENGINE_CORE_CLOCK_H
#define ENGINE_CORE_CLOCK_H

#include <SDL.h>

// The engine's one clock. Sprites, atlas animations and animated tiles on the wall clock read
// milliseconds(); the game loop and the frame timing read seconds(). By default they are
// SDL_GetTicks, as sprites have always been timed, and the system's steady clock, which the loop
// needs finer than a millisecond. A source set with setSource() replaces both at once, so a test,
// or a game replaying a recording, moves every animation and the loop together. The classes that
// have a setClock() of their own still take it; it wins over this one for that class. Holds only
// the source; main thread only.
class CClock {
public:
    // Seconds, never going back.
    typedef double (*Source)();

    static double seconds();
    // The source's time in whole milliseconds, wrapping after 2^32 as SDL_GetTicks does.
    static Uint32 milliseconds();
    // Null puts the defaults back.
    static void setSource(Source source);
    static Source getSource();
};

#endif
