#ifndef ENGINE_AUDIO_SOUNDHANDLE_H
#define ENGINE_AUDIO_SOUNDHANDLE_H

#include "engine/math/Vector2.h"

#include <cstdint>

// One play of a sound, as CSound::play() and its twins return it: a small value to copy and keep.
// It names a mixing channel and the play's generation; once that play has ended (finished, stopped,
// refused by a budget, or its sound deleted) the channel may carry another sound, but the generation
// no longer matches, so every call on the old handle does nothing and the queries answer false or 0.
// A default handle, and every handle while no audio device is open, refers to nothing.
// Owns nothing; reaches the playing sound through g_pSoundManager. Main thread only.
class CSoundHandle {
public:
    CSoundHandle();
    CSoundHandle(int channel, uint32_t generation);

    // The play is still going (paused counts as going).
    bool isPlaying() const;
    // Paused through pause() (a paused category does not count here).
    bool isPaused() const;
    void stop();
    // Fades to silence over the time, then stops.
    void fadeOut(int milliseconds);
    void pause();
    // Resumes unless the sound's category is paused; it then resumes with its category.
    void resume();
    // 0..1 (clamped), multiplied with the sound's own, its category's and the master volume. During
    // a fade the mixer owns the level; a change made then is applied at the first update() after it.
    void setVolume(float volume);
    float getVolume() const;
    // -1 fully left .. 1 fully right (clamped); added to the pan of a placed sound.
    void setPan(float pan);
    float getPan() const;
    // Places the sound in the 2D world (also one that began unplaced): pan and gain follow its
    // distance to the listener from now on.
    void setPosition(const CVector2& position);

    int channel;          // the mixer's channel, -1 for none
    uint32_t generation;  // which play on that channel this handle names
};

#endif
