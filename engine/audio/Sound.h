#ifndef ENGINE_AUDIO_SOUND_H
#define ENGINE_AUDIO_SOUND_H

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
    void play(int loops);
    // Deletes this sound now, loaded or not; the object is gone when this returns.
    void release();

    Mix_Chunk* chunk;      // owned; null while nothing is loaded
    std::string fileName;  // as given to the constructor, kept when loading fails

private:
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;
};

#endif
