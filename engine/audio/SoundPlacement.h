#ifndef ENGINE_AUDIO_SOUNDPLACEMENT_H
#define ENGINE_AUDIO_SOUNDPLACEMENT_H

#include "engine/math/Vector2.h"

// How a sound at a point of the 2D world is heard by a listener at another: its pan and its gain.
// Plain arithmetic, no mixer call.
class CSoundPlacement {
public:
    // Within radius of the listener the gain is 1; beyond it falls as radius / (radius + rollOff *
    // (distance - radius)), the inverse-distance law of OpenAL and SFML (rollOff 0 never fades,
    // larger values fade faster). The pan is the horizontal offset over the distance (the sine of
    // the direction), over the radius when nearer: a sound straight above is centred, one far to the
    // right is fully right, and one at the listener moves smoothly across. A radius below one unit
    // counts as one; a negative roll-off as 0.
    static CSoundPlacement between(const CVector2& listener, const CVector2& source, float radius, float rollOff);

    float pan;   // -1 fully left .. 1 fully right
    float gain;  // 0 .. 1
};

#endif
