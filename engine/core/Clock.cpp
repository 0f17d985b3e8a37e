#include "engine/core/Clock.h"

#include <chrono>
#include <cmath>
#include <cstdint>

namespace {

CClock::Source source = nullptr;

}  // namespace

double CClock::seconds()
{
    if (source != nullptr)
        return source();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

Uint32 CClock::milliseconds()
{
    if (source == nullptr)
        return SDL_GetTicks();
    const double now = source();
    // Not a finite number, or below zero, reads as 0; past 2^32 wraps as the ticks do.
    if (!(now > 0.0) || !std::isfinite(now))
        return 0;
    return Uint32(uint64_t(std::fmod(std::floor(now * 1000.0), 4294967296.0)));
}

void CClock::setSource(Source newSource)
{
    source = newSource;
}

CClock::Source CClock::getSource()
{
    return source;
}
