#include "engine/sprite/FrameClock.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace {

// Game time is summed in milliseconds from float steps: 1/60 s three times comes to 50 ms only
// within rounding, and a fixed step must land on the frame it covers exactly.
const double kToleranceMs = 1e-3;

}  // namespace

CFrameClock::CFrameClock()
    : count(0),
      loopFrom(0),
      current(0),
      speed(20),
      lastTick(0),
      owed(0.0),
      timeScale(1.0f),
      gameTime(false),
      paused(false)
{
}

void CFrameClock::start(unsigned frameCount, unsigned from, const std::vector<Uint32>& frameDurations, Uint32 now)
{
    count = frameCount;
    loopFrom = from < frameCount ? from : 0;
    durations = frameDurations;
    durations.resize(frameDurations.empty() ? 0 : frameCount, 0);
    current = frameCount > 0 ? 1 : 0;
    lastTick = now;
    owed = 0.0;
}

void CFrameClock::rewind()
{
    current = count > 0 ? 1 : 0;
}

void CFrameClock::restartTime(Uint32 now)
{
    lastTick = now;
    owed = 0.0;
}

double CFrameClock::period(unsigned frame) const
{
    const Uint32 own = frame >= 1 && frame <= durations.size() ? durations[frame - 1] : 0;
    if (own != 0)
        return double(own);
    if (speed == 0)
        return std::numeric_limits<double>::infinity();
    return double(1000.0f / float(speed));  // kept as a float, as the sprite always has
}

void CFrameClock::step(bool loop)
{
    if (current < count)
        ++current;
    else if (loop)
        current = count > loopFrom ? loopFrom + 1 : 1;
}

void CFrameClock::stepAfterDraw(bool loop, Ticks ticks)
{
    if (count == 0 || paused || gameTime)
        return;
    const double wait = period(current);
    if (std::isinf(wait))
        return;
    const Uint32 elapsed = ticks() - lastTick;  // unsigned: right across the counter's wrap
    if (!(double(elapsed) * double(timeScale) > wait))
        return;
    lastTick = ticks();
    step(loop);
}

bool CFrameClock::update(double seconds, bool loop)
{
    if (!(seconds >= 0.0) || std::isinf(seconds))
        return false;
    gameTime = true;
    if (count == 0 || paused)
        return true;
    owed += seconds * 1000.0 * double(timeScale);
    // One whole loop takes the same time from any of its frames, so a huge step skips whole loops
    // at once instead of counting them frame by frame.
    double cycle = 0.0;
    for (unsigned frame = loopFrom + 1; frame <= count; ++frame)
        cycle += period(frame);
    for (;;) {
        if (loop && current > loopFrom && std::isfinite(cycle) && owed + kToleranceMs >= cycle)
            owed = std::fmod(owed + kToleranceMs, cycle) - kToleranceMs;
        const double wait = period(current);
        if (std::isinf(wait)) {
            owed = 0.0;  // standing still: time does not pile up for when it moves again
            return true;
        }
        if (owed + kToleranceMs < wait)
            return true;
        if (!loop && current >= count) {
            owed = 0.0;  // stopped on the last frame
            return true;
        }
        owed -= wait;
        step(loop);
    }
}

void CFrameClock::useWallClock(Uint32 now)
{
    gameTime = false;
    restartTime(now);
}

bool CFrameClock::onGameTime() const
{
    return gameTime;
}

void CFrameClock::setPaused(bool pause, Uint32 now)
{
    if (paused && !pause)
        lastTick = now;
    paused = pause;
}

bool CFrameClock::isPaused() const
{
    return paused;
}

bool CFrameClock::setTimeScale(float scale)
{
    if (!(scale >= 0.0f) || std::isinf(scale))
        return false;
    timeScale = scale;
    return true;
}

float CFrameClock::getTimeScale() const
{
    return timeScale;
}

void CFrameClock::setSpeed(unsigned framesPerSecond)
{
    speed = framesPerSecond;
}

unsigned CFrameClock::getSpeed() const
{
    return speed;
}

unsigned CFrameClock::getCurrent() const
{
    return current;
}

unsigned CFrameClock::getCount() const
{
    return count;
}

std::string CFrameClock::badStepLine(double seconds)
{
    std::ostringstream line;
    line << "Ignored an animation step of " << seconds << " seconds: not a finite time of at least 0";
    return line.str();
}

std::string CFrameClock::badScaleLine(float scale)
{
    std::ostringstream line;
    line << "Ignored an animation time scale of " << scale << ": not a finite number of at least 0";
    return line.str();
}
