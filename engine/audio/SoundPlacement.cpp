#include "engine/audio/SoundPlacement.h"

#include <algorithm>
#include <cmath>

CSoundPlacement CSoundPlacement::between(const CVector2& listener, const CVector2& source, float radius,
                                         float rollOff)
{
    radius = std::max(radius, 1.0f);
    rollOff = std::max(rollOff, 0.0f);
    const float dx = source.x - listener.x;
    const float dy = source.y - listener.y;
    const float distance = std::sqrt(dx * dx + dy * dy);
    CSoundPlacement placement;
    placement.pan = std::clamp(dx / std::max(distance, radius), -1.0f, 1.0f);
    placement.gain = distance <= radius ? 1.0f : radius / (radius + rollOff * (distance - radius));
    return placement;
}
