#ifndef ENGINE_AUDIO_SOUNDMANAGER_H
#define ENGINE_AUDIO_SOUNDMANAGER_H

#include <vector>

class CMusic;
class CSound;

// The audio device (SDL_mixer at 22050 Hz, signed 16-bit, stereo, 4096-sample chunks) and the
// registries of sound effects and music tracks. Owns every registered item, each listed once in
// order of registration: items register themselves when their file loads, and leave only through
// removeSound()/removeMusic() (their release()) or the freeAll operations, which delete them.
// The destructor frees what is left and closes the mixer; it runs after the graphics core has shut
// SDL down, and everything it calls copes with that. Main thread only; SDL_mixer mixes on its own
// audio thread inside the library.
class CSoundManager {
public:
    // Opens the device. When that fails, writes "Unable to open audio", shuts SDL down and still
    // yields a usable manager: loads then fail and report on their own.
    CSoundManager();
    ~CSoundManager();

    // Appends the sound unless it is already listed (listing it twice would delete it twice).
    void addSound(CSound* sound);
    // Unlists the sound if listed, then deletes it either way; null does nothing.
    void removeSound(CSound* sound);
    // Appends the track unless it is already listed.
    void addMusic(CMusic* music);
    // Unlists the track if listed, then deletes it either way; null does nothing.
    void removeMusic(CMusic* music);

    // Plays the item at index (oldest first) with the mixer's loop count (0 once, -1 forever); an
    // index past the end does nothing.
    void playSound(unsigned int index, int loops);
    void playMusic(unsigned int index, int loops);

    // Clamp to the mixer's 0..128, apply it (to every effect channel, or to the music) and remember
    // the clamped value.
    void setSoundVolume(int volume);
    void setMusicVolume(int volume);
    // The last clamped value set; before the first setter call, the mixer's own full volume.
    int getSoundVolume() const;
    int getMusicVolume() const;

    // Halts whatever music is playing, whichever track it is.
    void haltMusic();
    // Delete every registered item and empty the list; freeAllMusic() halts the music first.
    void freeAllSounds();
    void freeAllMusic();

    // The registries as they stand: null past the end. The items stay owned by the manager.
    unsigned int getSoundCount() const;
    CSound* getSound(unsigned int index) const;
    unsigned int getMusicCount() const;
    CMusic* getMusic(unsigned int index) const;

private:
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    std::vector<CSound*> sounds;  // owned
    std::vector<CMusic*> music;   // owned
    int soundVolume;
    int musicVolume;
};

#endif
