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
// SDL_mixer 1.2 has one music stream: two tracks never sound together, so the manager's cross-fade
// is a fade-out of the one playing followed by a fade-in of the next. Pause, volume ("music"
// category), fades, position and end notice are the manager's (CSoundManager). Main thread only.
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
    // the track silent; a track already registered stays registered. A FLAC file other than 16-bit
    // stereo is refused so ("SDL_mixer 1.2 plays only 16-bit stereo FLAC files"): the mixer would
    // open it, play silence, and hang its thread on a seek.
    bool load(std::string fileName);
    // A stream is open: play() makes music.
    bool isLoaded() const;
    // Halts any music and plays this track from its start with the mixer's loop count (-1 repeats
    // until halted). A silent track does nothing; the mixer's own failure to start is not reported.
    void play(int loops);
    // As play(), rising from silence to the music volume over the time (in steps of the mixer's
    // 186 ms chunk).
    void fadeIn(int milliseconds, int loops);
    // Where a repeat restarts, in seconds from the start (0, the default, restarts at the start as
    // the mixer does). With a loop point, plays that repeat are restarted by the manager's update()
    // when the track ends, so up to a frame and a mixer chunk of silence comes between. Only formats
    // SDL_mixer 1.2 can seek honour it (OGG, FLAC, MP3, and MOD by pattern); others restart at the
    // start and write the seek failure once per repeat.
    void setLoopPoint(double seconds);
    double getLoopPoint() const;
    // Deletes this track now, loaded or not (halting the music, as the destructor does); the object
    // is gone when this returns.
    void release();

    _Mix_Music* music;     // owned; null while nothing is loaded
    std::string fileName;  // as given to the constructor, kept when loading fails
    double loopPoint;      // seconds; 0 repeats from the start

private:
    CMusic(const CMusic&) = delete;
    CMusic& operator=(const CMusic&) = delete;
};

#endif
