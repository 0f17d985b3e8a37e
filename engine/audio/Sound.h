#ifndef ENGINE_AUDIO_SOUND_H
#define ENGINE_AUDIO_SOUND_H

#include "engine/audio/SoundHandle.h"
#include "engine/audio/VoicePolicy.h"
#include "engine/math/Vector2.h"

#include <string>

struct Mix_Chunk;

// One sound effect: a sample file decoded by SDL_mixer, played on any free mixing channel. Owns its
// chunk.
//
// Ownership: create sounds with new and never delete them unless you want them gone early: the
// sound manager frees every one at shut-down, loaded or not; release() (or delete) frees one
// earlier. Deleting one yourself is always safe, since the destructor takes it off the manager's
// lists. Only a sound made while no engine runs (g_pSoundManager null) is its creator's alone
// until its file loads. A sound not made with new (a member, a local) must be gone before the
// engine shuts down, or the manager would delete it.
// Once loaded, a sound is also in the manager's registry (getSound(), playSound()), in load order.
// Main thread only.
class CSound {
public:
    // Loads the file unless the name is empty; an empty name is no error and writes nothing.
    explicit CSound(const std::string& fileName);
    // Frees the chunk (the mixer stops it on any channel playing it) and takes the sound off the
    // manager's lists.
    ~CSound();

    // Decodes the file, found through CDataFiles::find() as textures are (the name as written when
    // no place holds it), and registers the sound (once, however often it loads). A second load frees
    // the earlier chunk first. On failure writes "Failed to load sound: " and the name, then
    // SDL_mixer's reason on a line of its own ("Error: " and the text), returns false and leaves
    // the sound silent; a sound already registered stays registered.
    bool load(std::string fileName);
    // A chunk is loaded: play() makes a sound.
    bool isLoaded() const;
    // Plays on the first free channel with the mixer's loop count (0 plays once, n plays n + 1
    // times, -1 repeats until halted); several plays overlap. Silent sounds do nothing. With no free channel
    // writes "Failed to play sound ", the name, a blank and SDL's error text.
    // The play's level is the product of the master, category, sound and handle volumes (and the
    // manager's 0..128 sound volume); it obeys the sound's and its category's voice budgets and
    // starts paused in a paused category. Returns a handle to the play; one that refers to nothing
    // when the sound is silent, no channel was free, a budget refused it, or no device is open.
    CSoundHandle play(int loops = 0);
    // As play(), rising from silence to its level over the time.
    CSoundHandle fadeIn(int milliseconds, int loops = 0);
    // As play(), placed at a point of the 2D world: pan and gain follow its distance to the sound
    // manager's listener (see setRange()) while it plays; fading in over the time when it is not 0.
    CSoundHandle playAt(const CVector2& position, int loops = 0, int fadeMilliseconds = 0);

    // The volume every new play of this sound starts from, 0..1 (clamped); plays already going
    // follow it too.
    void setVolume(float volume);
    float getVolume() const;
    // The category whose volume, pause and budget this sound's plays obey from the next play on;
    // "effects" until set. Any name makes a category ("music" is the music's own, not for sounds).
    void setCategory(const std::string& name);
    const std::string& getCategory() const;
    // At most voices copies of this sound play at once (0, the default, sets no limit); policy
    // says which one gives way.
    void setVoiceBudget(int voices, EVoicePolicy policy);
    // For placed plays: full volume within radius world units of the listener, fading beyond it by
    // rollOff (see CSoundPlacement). 100 and 1 until set.
    void setRange(float radius, float rollOff);
    // Deletes this sound now, loaded or not; the object is gone when this returns.
    void release();

    Mix_Chunk* chunk;      // owned; null while nothing is loaded
    std::string fileName;  // as given to the constructor, kept when loading fails
    float volume;          // 0..1, for every play
    std::string category;  // "effects" unless set
    int voiceBudget;       // 0: no limit
    EVoicePolicy budgetPolicy;
    float radius;   // world units heard at full volume around the listener
    float rollOff;  // how fast placed plays fade beyond radius

private:
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;
};

#endif
