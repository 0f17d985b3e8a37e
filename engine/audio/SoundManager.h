#ifndef ENGINE_AUDIO_SOUNDMANAGER_H
#define ENGINE_AUDIO_SOUNDMANAGER_H

#include <vector>

class CMusic;
class CSound;

// The audio device (SDL_mixer at 22050 Hz, signed 16-bit, stereo, 4096-sample chunks) and the
// registries of sound effects and music tracks. Owns every sound and track made while it exists,
// loaded or not, each on one of two lists: the registry, which the indices of playSound(),
// getSound() and getSoundCount() (and their music twins) count, holds the loaded items once each in
// order of loading; the items not loaded yet wait on a list of their own, which no index reaches.
// A new item starts on the waiting list and moves to the registry when its file loads. Items leave
// through removeSound()/removeMusic() (their release()) or the freeAll operations, which delete
// them, or through their own destructor, which only unlists them, so that a game may delete any
// item itself. The destructor frees what is left, waiting or registered, and closes the mixer; it
// runs after the graphics core has shut SDL down, and everything it calls copes with that. Main
// thread only; SDL_mixer mixes on its own audio thread inside the library.
class CSoundManager {
public:
    // Opens the device. When that fails, writes "Unable to open audio", shuts SDL's audio down and
    // still yields a usable manager: loads then fail and report on their own.
    CSoundManager();
    ~CSoundManager();

    // Appends the sound to the registry unless it is already there (listing it twice would delete
    // it twice), taking it off the waiting list.
    void addSound(CSound* sound);
    // Unlists the sound from either list, then deletes it either way; null does nothing.
    void removeSound(CSound* sound);
    // Appends the track to the registry unless it is already there, taking it off the waiting list.
    void addMusic(CMusic* music);
    // Unlists the track from either list, then deletes it either way; null does nothing.
    void removeMusic(CMusic* music);

    // Plays the registered sound at index (oldest first) with the mixer's loop count (0 once, -1
    // forever; see CSound::play()); an index past the end does nothing.
    void playSound(unsigned int index, int loops);
    // As playSound(), for a registered track (see CMusic::play()).
    void playMusic(unsigned int index, int loops);

    // Clamps to the mixer's 0..128, sets every effect channel to it and remembers the clamped value.
    void setSoundVolume(int volume);
    // As setSoundVolume(), for the music.
    void setMusicVolume(int volume);
    // The last clamped value set; before the first setter call, the mixer's own full volume.
    int getSoundVolume() const;
    // As getSoundVolume(), for the music.
    int getMusicVolume() const;

    // Halts whatever music is playing, whichever track it is.
    void haltMusic();
    // Deletes every sound, registered or waiting, and empties both sound lists.
    void freeAllSounds();
    // Halts the music, then deletes every track, registered or waiting, and empties both track lists.
    void freeAllMusic();

    // Registered (loaded) sounds; the waiting ones are not counted.
    unsigned int getSoundCount() const;
    // The registered sound at index, oldest first, still owned by the manager; null past the end.
    CSound* getSound(unsigned int index) const;
    // Registered (loaded) tracks; the waiting ones are not counted.
    unsigned int getMusicCount() const;
    // The registered track at index, oldest first, still owned by the manager; null past the end.
    CMusic* getMusic(unsigned int index) const;

private:
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    friend class CSound;  // a sound lists itself while unloaded and unlists itself when destroyed
    friend class CMusic;  // a track lists and unlists itself as a sound does
    // The items' own calls: a new item is put on the waiting list, and a destroyed one taken off
    // whichever list holds it, without deleting it.
    void keepUnloadedSound(CSound* sound);
    void keepUnloadedMusic(CMusic* track);
    void forgetSound(CSound* sound);
    void forgetMusic(CMusic* track);

    std::vector<CSound*> sounds;          // owned; loaded, in load order
    std::vector<CMusic*> music;           // owned; loaded, in load order
    std::vector<CSound*> unloadedSounds;  // owned; not loaded yet, reached by no index
    std::vector<CMusic*> unloadedMusic;   // owned; not loaded yet, reached by no index
    int soundVolume;
    int musicVolume;
};

#endif
