#ifndef ENGINE_AUDIO_SOUND_H
#define ENGINE_AUDIO_SOUND_H

#include <string>

struct Mix_Chunk;

// One sound effect: a sample file decoded by SDL_mixer, played on any free mixing channel. Owns its
// chunk. Create it with new: once its file loads it registers itself with the sound manager, which
// owns and deletes it from then on (release(), or the manager's shut-down); only a sound that never
// loaded stays its creator's to delete. Main thread only.
class CSound {
public:
    // Loads the file unless the name is empty; an empty name is no error and writes nothing.
    explicit CSound(const std::string& fileName);
    // Frees the chunk (the mixer stops it on any channel playing it); does not unlist the sound.
    ~CSound();

    // Decodes the file and registers the sound (once, however often it loads). A second load frees
    // the earlier chunk first. On failure writes "Failed to load sound: " and the name, returns
    // false and leaves the sound silent; a sound already registered stays registered.
    bool load(std::string fileName);
    // Plays on the first free channel with the mixer's loop count (0 plays once, n plays n + 1
    // times, -1 repeats until halted); several plays overlap. Silent sounds do nothing. With no free channel writes
    // "Failed to play sound ", the name, a blank and SDL's error text.
    void play(int loops);
    // Asks the manager to unlist and delete this sound; the object is gone when this returns,
    // registered or not.
    void release();

    Mix_Chunk* chunk;      // owned; null while nothing is loaded
    std::string fileName;  // as given to the constructor, kept when loading fails

private:
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;
};

#endif
