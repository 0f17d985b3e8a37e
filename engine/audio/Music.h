#ifndef ENGINE_AUDIO_MUSIC_H
#define ENGINE_AUDIO_MUSIC_H

#include <string>

struct _Mix_Music;

// One music track: a file opened by SDL_mixer as a stream. The mixer plays one stream at a time, so
// starting or destroying any track first halts whatever music plays. Owns its stream. Create it
// with new: once its file loads it registers itself with the sound manager, which owns and deletes
// it from then on; only a track that never loaded stays its creator's to delete. Main thread only.
class CMusic {
public:
    // Opens the file unless the name is empty; an empty name is no error and writes nothing.
    explicit CMusic(const std::string& fileName);
    // Halts the music playing now (this track or another), then frees the stream; does not unlist.
    ~CMusic();

    // Opens the file and registers the track (once, however often it loads). A second load frees
    // the earlier stream first. On failure writes "Failed to load music " and the name, returns
    // false and leaves the track silent; a track already registered stays registered.
    bool load(std::string fileName);
    // Halts any music and plays this track from its start with the mixer's loop count (-1 repeats
    // until halted). A silent track does nothing; the mixer's own failure to start is not reported.
    void play(int loops);
    // A loaded track: asks the manager to unlist and delete it (gone when this returns). A track
    // with no stream does nothing and stays its creator's.
    void release();

    _Mix_Music* music;     // owned; null while nothing is loaded
    std::string fileName;  // as given to the constructor, kept when loading fails

private:
    CMusic(const CMusic&) = delete;
    CMusic& operator=(const CMusic&) = delete;
};

#endif
