#ifndef ENGINE_AUDIO_MUSIC_H
#define ENGINE_AUDIO_MUSIC_H

#include <string>

struct _Mix_Music;

// One music track: a file opened by SDL_mixer as a stream. The mixer plays one stream at a time, so
// starting or destroying any track first halts whatever music plays. Owns its stream.
//
// Ownership, as for sounds: create tracks with new and never delete them unless you want them gone
// early: the sound manager frees every one at shut-down, loaded or not; release() (or delete) frees
// one earlier. Deleting one yourself is always safe, since the destructor takes it off the
// manager's lists. Only a track made while no engine runs (g_pSoundManager null) is its creator's
// alone until its file loads. A track not made with new must be gone before the engine shuts down,
// or the manager would delete it.
// Once loaded, a track is also in the manager's registry (getMusic(), playMusic()), in load order.
// Main thread only.
class CMusic {
public:
    // Opens the file unless the name is empty; an empty name is no error and writes nothing.
    explicit CMusic(const std::string& fileName);
    // Halts the music playing now (this track or another), frees the stream and takes the track
    // off the manager's lists.
    ~CMusic();

    // Opens the file, found through CDataFiles::find() as textures are (the name as written when no
    // place holds it), and registers the track (once, however often it loads). A second load frees
    // the earlier stream first. On failure writes "Failed to load music " and the name, then
    // SDL_mixer's reason on a line of its own ("Error: " and the text), returns false and leaves
    // the track silent; a track already registered stays registered.
    bool load(std::string fileName);
    // A stream is open: play() makes music.
    bool isLoaded() const;
    // Halts any music and plays this track from its start with the mixer's loop count (-1 repeats
    // until halted). A silent track does nothing; the mixer's own failure to start is not reported.
    void play(int loops);
    // Deletes this track now, loaded or not (halting the music, as the destructor does); the object
    // is gone when this returns.
    void release();

    _Mix_Music* music;     // owned; null while nothing is loaded
    std::string fileName;  // as given to the constructor, kept when loading fails

private:
    CMusic(const CMusic&) = delete;
    CMusic& operator=(const CMusic&) = delete;
};

#endif
