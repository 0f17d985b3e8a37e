#ifndef ENGINE_SPRITE_FRAMECLOCK_H
#define ENGINE_SPRITE_FRAMECLOCK_H

#include <SDL.h>

#include <string>
#include <vector>

// Which frame of a flip-book shows, and when it changes: the one place CSprite and
// CAtlasAnimation step their frames. Two time sources:
// - the wall clock (the default): after each draw, one step at most, when more than the current
//   frame's time has passed since the last change; it never skips frames to catch up;
// - game time: update(seconds) steps through as many frames as the time given covers, exactly, so
//   a fixed-step loop, a paused game and a slowed one see their own time. The first update() puts
//   the clock on game time, and draws no longer step it.
// A frame's time is its own duration when it has one, else 1000 / speed milliseconds; speed 0
// with no duration stands still. The time scale multiplies the time either source gives. A plain
// value; owns nothing.
class CFrameClock {
public:
    typedef Uint32 (*Ticks)();

    CFrameClock();

    // Frames 1 to count (1 with none is 0), current 1, the time counting from now. After the last
    // frame, looping goes on at loopFrom + 1. durations: milliseconds per frame, 0 for the speed's
    // period; empty when every frame takes the speed's.
    void start(unsigned count, unsigned loopFrom, const std::vector<Uint32>& durations, Uint32 now);
    // Back to frame 1 (0 without frames); the time since the last change is left as it was.
    void rewind();
    // The time counts from now.
    void restartTime(Uint32 now);

    // The step after a draw on the wall clock: loop (after the last frame the loop's first) or once
    // (stops on the last). Nothing when paused or on game time.
    void stepAfterDraw(bool loop, Ticks ticks);
    // Game time: seconds of the game (finite, at least 0) at the time scale. Nothing when paused.
    // False, with nothing changed, for a step that is negative or not a number.
    bool update(double seconds, bool loop);
    // Back on the wall clock, the time counting from now.
    void useWallClock(Uint32 now);
    bool onGameTime() const;

    // A paused clock does not step; resuming on the wall clock counts the time from then, so the
    // pause does not show as one late step.
    void setPaused(bool paused, Uint32 now);
    bool isPaused() const;
    // 2 runs twice as fast, 0.5 at half speed, 0 stands still. False, with the scale unchanged, for
    // a scale that is negative or not a finite number.
    bool setTimeScale(float scale);
    float getTimeScale() const;

    void setSpeed(unsigned framesPerSecond);
    unsigned getSpeed() const;
    // Counted from 1; 0 without frames.
    unsigned getCurrent() const;
    unsigned getCount() const;

    // The lines the animations write for a refused step or scale.
    static std::string badStepLine(double seconds);
    static std::string badScaleLine(float scale);

private:
    // Milliseconds frame `frame` (1-based) shows; infinite when it stands still.
    double period(unsigned frame) const;
    void step(bool loop);

    std::vector<Uint32> durations;
    unsigned count;
    unsigned loopFrom;
    unsigned current;
    unsigned speed;
    Uint32 lastTick;  // the wall clock's last change
    double owed;      // game time since the last change, in milliseconds
    float timeScale;
    bool gameTime;
    bool paused;
};

#endif
