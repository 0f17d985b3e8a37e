#ifndef ENGINE_AUDIO_SOUNDMANAGER_H
#define ENGINE_AUDIO_SOUNDMANAGER_H

#include "engine/audio/SoundHandle.h"
#include "engine/audio/VoicePolicy.h"
#include "engine/math/Vector2.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
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
//
// Mixing: every play's level is the master volume times its category's, its sound's and its
// handle's (all 0..1), times the 0..128 sound volume of setSoundVolume(); the music's is the master
// times the "music" category's times setMusicVolume()'s. Categories are made by naming them; each has
// a volume, a pause and a voice budget. The listener of placed sounds is the current 2D camera's
// centre until setListener() fixes one. With no device open every call is safe and does nothing.
// update() (run by the engine's every frame) follows the camera, starts the second half of a
// cross-fade, restarts tracks at their loop point and notices the end of a track.
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

    // Once a frame (CEngine::update() calls it): the work that waits on the mixer (see the class).
    void update();

    // 0..1 (clamped), scaling every sound and the music; 1 until set.
    void setMasterVolume(float volume);
    float getMasterVolume() const;
    // 0..1 (clamped) for the plays of the category's sounds, or the music for "music"; 1 until set.
    void setCategoryVolume(const std::string& category, float volume);
    float getCategoryVolume(const std::string& category) const;
    // Pauses every play of the category, and the plays started while it stays paused; "music"
    // pauses the music.
    void pauseCategory(const std::string& category);
    void resumeCategory(const std::string& category);
    bool isCategoryPaused(const std::string& category) const;
    // At most voices plays of the category at once (0 sets no limit); policy says which gives way.
    void setCategoryBudget(const std::string& category, int voices, EVoicePolicy policy);

    // The listener of placed sounds, fixed at a world point until followCamera().
    void setListener(const CVector2& position);
    // The listener is the current 2D camera's centre again (the default), followed by update().
    void followCamera();
    // Where placed sounds are heard from now.
    CVector2 getListener() const;

    // The track the engine last started while it is playing (or paused), null otherwise.
    CMusic* getPlayingMusic() const;
    // Pauses the music where it is; resumeMusic() goes on from there. Same as the "music" category.
    void pauseMusic();
    void resumeMusic();
    bool isMusicPaused() const;
    // Fades the music to silence over the time (in steps of the mixer's 186 ms chunk), then halts it (paused music
    // at once); that end counts as the track's end (hasMusicEnded()).
    void fadeOutMusic(int milliseconds);
    // Fades the playing music out over the first half of the time and the next track in over the
    // second, with the mixer's loop count. With nothing playing the next track just fades in.
    void crossFadeMusic(CMusic* next, int milliseconds, int loops);
    // Seconds of the current track played so far, counted from what the mixer actually mixed (to one
    // 186 ms chunk); 0 with no track. Follows seeks and loop points, stops while paused.
    double getMusicPosition() const;
    // Moves the playing track to the time. SDL_mixer 1.2 seeks OGG, FLAC and MP3 files (MOD files to
    // a pattern number); for WAV, MIDI and any other, and with no music playing, writes "Failed to
    // seek music ", the name, then the mixer's reason on a line "Error: ...", and returns false.
    bool setMusicPosition(double seconds);
    // True once after a track ended on its own or by fadeOutMusic(), as noticed by update(); a halt,
    // a new play or the first half of a cross-fade does not count.
    bool hasMusicEnded();
    // Called by update() with the track that ended, as hasMusicEnded() would see it; an empty
    // function removes it.
    void setMusicEndCallback(std::function<void(CMusic*)> callback);

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

    friend class CSound;        // a sound lists itself while unloaded and unlists itself when destroyed
    friend class CMusic;        // a track lists and unlists itself as a sound does
    friend class CSoundHandle;  // a handle reaches its voice through the manager

    // What the manager knows of one mixing channel's current play.
    struct Voice {
        uint32_t generation = 0;  // of the play; 0 before the first
        CSound* sound = nullptr;  // not owned; null once the sound is gone
        std::string category;
        uint64_t started = 0;  // order of starting, for the budgets
        float volume = 1.0f;   // the handle's
        float pan = 0.0f;      // the handle's
        bool paused = false;   // by its handle
        bool placed = false;
        CVector2 position;
        bool levelPending = false;  // changed while the mixer faded it
    };
    struct Category {
        float volume = 1.0f;
        bool paused = false;
        int budget = 0;
        EVoicePolicy policy = EVoicePolicy::StopOldest;
    };

    // The sound's plays: picks a channel (making room by the budgets), sets its level and pan, then
    // starts it; position is null for an unplaced play.
    CSoundHandle startVoice(CSound* sound, int loops, int fadeMilliseconds, const CVector2* position);
    bool makeRoom(CSound* sound, const std::string& category);
    Voice* voiceOf(const CSoundHandle& handle);
    const Voice* voiceOf(const CSoundHandle& handle) const;
    void applyLevel(int channel);
    void applyPan(int channel);
    void applyAllLevels();
    void applyPlacedPans();
    void applyPause(int channel);
    void applyMusicVolume();
    // The tracks' own calls.
    void startMusic(CMusic* track, int loops, int fadeMilliseconds);
    void startMusicClock(double seconds);
    void stopMusicClock();
    static void countMusic(int channel, void* stream, int length, void* manager);
    // SDL_LockAudio and SDL_UnlockAudio while the device is open, nothing without one: there is no
    // mixer thread to keep out then, and sdl12-compat would set SDL's error to "Invalid audio device
    // ID" on each call, over the mixer's own error text.
    void lockMixer() const;
    void unlockMixer() const;

    bool deviceOpen;
    std::vector<Voice> voices;  // one per mixing channel
    uint64_t playsStarted;
    uint32_t generations;
    float masterVolume;
    std::map<std::string, Category> categories;
    bool listenerFixed;
    CVector2 listener;
    CMusic* currentTrack;  // not owned; the track last started by the engine, null once it ended
    int loopsLeft;         // repeats still due through the track's loop point (-1 for ever)
    CMusic* nextTrack;     // not owned; waits for the cross-fade's first half to end
    int nextLoops;
    int nextFade;
    bool musicEnded;
    std::function<void(CMusic*)> musicEndCallback;
    std::atomic<bool> musicClockRunning;  // read by the mixer's thread
    std::atomic<uint64_t> musicFrames;    // frames of the current track mixed so far
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
