#include "engine/audio/SoundManager.h"

#include "engine/audio/Music.h"
#include "engine/audio/Sound.h"
#include "engine/audio/SoundPlacement.h"
#include "engine/camera/CameraManager.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>

namespace {

const int kFrequency = 22050;
const int kOutputChannels = 2;
const int kChunkSize = 4096;

int clampVolume(int volume)
{
    if (volume > MIX_MAX_VOLUME)
        volume = MIX_MAX_VOLUME;
    if (volume < 0)
        volume = 0;
    return volume;
}

template <typename T>
void unlist(std::vector<T*>& items, T* item)
{
    const auto found = std::find(items.begin(), items.end(), item);
    if (found != items.end())
        items.erase(found);
}

template <typename T>
void appendOnce(std::vector<T*>& items, T* item)
{
    if (std::find(items.begin(), items.end(), item) == items.end())
        items.push_back(item);
}

template <typename T>
T* itemAt(const std::vector<T*>& items, unsigned int index)
{
    return index < items.size() ? items[index] : nullptr;
}

// Deletes through a swapped-out copy: a destructor that reaches back into the manager (every item
// unlists itself, a track halts the music) then sees an empty list, never a dangling entry.
template <typename T>
void deleteAll(std::vector<T*>& items)
{
    std::vector<T*> doomed;
    doomed.swap(items);
    for (T* item : doomed)
        delete item;
}

int mixerLevel(double level)
{
    return clampVolume(int(std::lround(level)));
}

const char* const kMusicCategory = "music";

// The world point at the centre of the view: the camera manager draws a world point p at p plus the
// current camera's position, so the window's centre shows its half size minus that position.
// Without a window or camera, the window's centre or nothing.
bool cameraCentre(CVector2& centre)
{
    if (g_pGraphicsCore == nullptr)
        return false;
    CVector2 offset;
    if (g_pCameraManager != nullptr)
        if (const CVector2* camera = g_pCameraManager->getCurrent())
            offset = *camera;
    centre = CVector2(float(g_pGraphicsCore->width) / 2.0f - offset.x,
                      float(g_pGraphicsCore->height) / 2.0f - offset.y);
    return true;
}

}  // namespace

CSoundManager::CSoundManager()
    // The mixer starts every channel and the music at full volume; the getters say so until a
    // setter changes it (the last two).
    : deviceOpen(false),
      playsStarted(0),
      generations(0),
      masterVolume(1.0f),
      listenerFixed(false),
      currentTrack(nullptr),
      loopsLeft(0),
      nextTrack(nullptr),
      nextLoops(0),
      nextFade(0),
      musicEnded(false),
      musicClockRunning(false),
      musicFrames(0),
      soundVolume(MIX_MAX_VOLUME),
      musicVolume(MIX_MAX_VOLUME)
{
    // Mix_OpenAudio would start the audio subsystem itself; this only makes it explicit.
    SDL_Init(SDL_INIT_AUDIO);
    if (Mix_OpenAudio(kFrequency, AUDIO_S16SYS, kOutputChannels, kChunkSize) != 0) {
        CLog::line("Unable to open audio");
        // Only the audio: the event manager has started the joysticks already, and nothing would
        // start them again.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    deviceOpen = true;
    // SDL_mixer 1.2 cannot tell where its music is: the manager counts what it mixes instead.
    Mix_RegisterEffect(MIX_CHANNEL_POST, &CSoundManager::countMusic, nullptr, this);
}

CSoundManager::~CSoundManager()
{
    freeAllSounds();
    freeAllMusic();
    if (deviceOpen)
        Mix_UnregisterEffect(MIX_CHANNEL_POST, &CSoundManager::countMusic);
    // Also right after SDL_Quit: the mixer then only frees its own tables, the device is gone.
    Mix_CloseAudio();
}

void CSoundManager::addSound(CSound* sound)
{
    if (sound == nullptr)
        return;
    unlist(unloadedSounds, sound);
    appendOnce(sounds, sound);
}

void CSoundManager::removeSound(CSound* sound)
{
    // The destructor unlists too; done here first so that it finds nothing left to do.
    forgetSound(sound);
    delete sound;
}

void CSoundManager::addMusic(CMusic* track)
{
    if (track == nullptr)
        return;
    unlist(unloadedMusic, track);
    appendOnce(music, track);
}

void CSoundManager::removeMusic(CMusic* track)
{
    forgetMusic(track);
    delete track;
}

void CSoundManager::keepUnloadedSound(CSound* sound)
{
    appendOnce(unloadedSounds, sound);
}

void CSoundManager::keepUnloadedMusic(CMusic* track)
{
    appendOnce(unloadedMusic, track);
}

void CSoundManager::forgetSound(CSound* sound)
{
    unlist(sounds, sound);
    unlist(unloadedSounds, sound);
    // Freeing its chunk stops its plays; their voices must not point at it meanwhile.
    for (Voice& voice : voices)
        if (voice.sound == sound)
            voice.sound = nullptr;
}

void CSoundManager::forgetMusic(CMusic* track)
{
    unlist(music, track);
    unlist(unloadedMusic, track);
    if (currentTrack == track)
        currentTrack = nullptr;
    if (nextTrack == track)
        nextTrack = nullptr;
}

void CSoundManager::playSound(unsigned int index, int loops)
{
    if (CSound* sound = itemAt(sounds, index))
        sound->play(loops);
}

void CSoundManager::playMusic(unsigned int index, int loops)
{
    if (CMusic* track = itemAt(music, index))
        track->play(loops);
}

void CSoundManager::setSoundVolume(int volume)
{
    volume = clampVolume(volume);
    Mix_Volume(-1, volume);
    soundVolume = volume;
    // The plays' own factors stay: at 1 each, every channel keeps the value just set.
    applyAllLevels();
}

void CSoundManager::setMusicVolume(int volume)
{
    volume = clampVolume(volume);
    musicVolume = volume;
    applyMusicVolume();
}

int CSoundManager::getSoundVolume() const
{
    return soundVolume;
}

int CSoundManager::getMusicVolume() const
{
    return musicVolume;
}

void CSoundManager::haltMusic()
{
    if (Mix_PlayingMusic() == 1)
        Mix_HaltMusic();
    // A halt is no end of the track, and cancels a cross-fade under way.
    currentTrack = nullptr;
    nextTrack = nullptr;
    loopsLeft = 0;
    stopMusicClock();
    musicFrames = 0;
}

void CSoundManager::freeAllSounds()
{
    deleteAll(sounds);
    deleteAll(unloadedSounds);
}

void CSoundManager::freeAllMusic()
{
    // Halted before any track goes, so the mixer never plays from a stream being freed.
    haltMusic();
    deleteAll(music);
    deleteAll(unloadedMusic);
}

unsigned int CSoundManager::getSoundCount() const
{
    return unsigned(sounds.size());
}

CSound* CSoundManager::getSound(unsigned int index) const
{
    return itemAt(sounds, index);
}

unsigned int CSoundManager::getMusicCount() const
{
    return unsigned(music.size());
}

CMusic* CSoundManager::getMusic(unsigned int index) const
{
    return itemAt(music, index);
}

// --- Plays and their handles --------------------------------------------------------------------

CSoundHandle CSoundManager::startVoice(CSound* sound, int loops, int fadeMilliseconds, const CVector2* position)
{
    if (sound == nullptr || sound->chunk == nullptr)
        return CSoundHandle();
    // The game may change the number of channels at any time.
    if (deviceOpen)
        voices.resize(size_t(std::max(Mix_AllocateChannels(-1), 0)));
    if (!makeRoom(sound, sound->category))
        return CSoundHandle();
    Voice fresh;
    fresh.sound = sound;
    fresh.category = sound->category;
    fresh.started = ++playsStarted;
    fresh.placed = position != nullptr;
    if (position != nullptr)
        fresh.position = *position;
    // Level and pan go on a free channel before its play starts, so that no mixed chunk misses them;
    // the mixer clears a channel's effects when its play ends, so every play sets them again.
    int channel = -1;
    for (size_t i = 0; i < voices.size() && channel < 0; ++i)
        if (Mix_Playing(int(i)) == 0)
            channel = int(i);
    if (channel >= 0) {
        voices[size_t(channel)] = fresh;
        applyLevel(channel);
        applyPan(channel);
    }
    // Held from the start to the pause of a paused category, so that not one chunk is heard.
    lockMixer();
    const int played = fadeMilliseconds > 0
                           ? Mix_FadeInChannelTimed(channel, sound->chunk, loops, fadeMilliseconds, -1)
                           : Mix_PlayChannelTimed(channel, sound->chunk, loops, -1);
    if (played < 0 || size_t(played) >= voices.size()) {
        unlockMixer();
        if (played < 0)
            CLog::line("Failed to play sound " + sound->fileName + " " + SDL_GetError());
        return CSoundHandle();
    }
    Voice& voice = voices[size_t(played)];
    voice = fresh;
    if (++generations == 0)
        ++generations;  // 0 names no play
    voice.generation = generations;
    applyPause(played);
    unlockMixer();
    return CSoundHandle(played, voice.generation);
}

bool CSoundManager::makeRoom(CSound* sound, const std::string& category)
{
    const Category& rules = categories[category];
    for (int pass = 0; pass < 2; ++pass) {
        const int budget = pass == 0 ? sound->voiceBudget : rules.budget;
        const EVoicePolicy policy = pass == 0 ? sound->budgetPolicy : rules.policy;
        if (budget <= 0)
            continue;
        for (;;) {
            int count = 0;
            int oldest = -1;
            for (size_t i = 0; i < voices.size(); ++i) {
                const Voice& voice = voices[i];
                const bool counts = pass == 0 ? voice.sound == sound : voice.category == category;
                if (voice.generation == 0 || !counts || Mix_Playing(int(i)) == 0)
                    continue;
                ++count;
                if (oldest < 0 || voice.started < voices[size_t(oldest)].started)
                    oldest = int(i);
            }
            if (count < budget)
                break;
            if (policy == EVoicePolicy::RefuseNew)
                return false;
            Mix_HaltChannel(oldest);
        }
    }
    return true;
}

CSoundManager::Voice* CSoundManager::voiceOf(const CSoundHandle& handle)
{
    return const_cast<Voice*>(static_cast<const CSoundManager*>(this)->voiceOf(handle));
}

const CSoundManager::Voice* CSoundManager::voiceOf(const CSoundHandle& handle) const
{
    if (!deviceOpen || handle.channel < 0 || size_t(handle.channel) >= voices.size() || handle.generation == 0)
        return nullptr;
    const Voice& voice = voices[size_t(handle.channel)];
    if (voice.generation != handle.generation || Mix_Playing(handle.channel) == 0)
        return nullptr;
    return &voice;
}

void CSoundManager::applyLevel(int channel)
{
    Voice& voice = voices[size_t(channel)];
    // While the mixer fades a play it owns the channel's level, and at the fade's end it puts back
    // the level the fade started from; update() applies the new one then.
    if (Mix_Playing(channel) != 0 && Mix_FadingChannel(channel) != MIX_NO_FADING) {
        voice.levelPending = true;
        return;
    }
    voice.levelPending = false;
    const auto found = categories.find(voice.category);
    double level = double(soundVolume) * masterVolume * voice.volume;
    if (found != categories.end())
        level *= found->second.volume;
    if (voice.sound != nullptr)
        level *= voice.sound->volume;
    if (voice.placed) {
        const float radius = voice.sound != nullptr ? voice.sound->radius : 100.0f;
        const float rollOff = voice.sound != nullptr ? voice.sound->rollOff : 1.0f;
        level *= CSoundPlacement::between(getListener(), voice.position, radius, rollOff).gain;
    }
    Mix_Volume(channel, mixerLevel(level));
}

void CSoundManager::applyPan(int channel)
{
    const Voice& voice = voices[size_t(channel)];
    float pan = voice.pan;
    if (voice.placed) {
        const float radius = voice.sound != nullptr ? voice.sound->radius : 100.0f;
        const float rollOff = voice.sound != nullptr ? voice.sound->rollOff : 1.0f;
        pan += CSoundPlacement::between(getListener(), voice.position, radius, rollOff).pan;
    }
    pan = std::clamp(pan, -1.0f, 1.0f);
    // A balance: the far side fades out, the near side stays whole (255 both ways removes the effect).
    const int left = int(std::lround(255.0f * std::min(1.0f, 1.0f - pan)));
    const int right = int(std::lround(255.0f * std::min(1.0f, 1.0f + pan)));
    Mix_SetPanning(channel, Uint8(left), Uint8(right));
}

void CSoundManager::applyAllLevels()
{
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].generation != 0 && Mix_Playing(int(i)) != 0)
            applyLevel(int(i));
}

void CSoundManager::applyPlacedPans()
{
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].generation != 0 && voices[i].placed && Mix_Playing(int(i)) != 0) {
            applyLevel(int(i));
            applyPan(int(i));
        }
}

void CSoundManager::applyPause(int channel)
{
    const Voice& voice = voices[size_t(channel)];
    const auto found = categories.find(voice.category);
    const bool paused = voice.paused || (found != categories.end() && found->second.paused);
    if (paused)
        Mix_Pause(channel);
    else if (Mix_Paused(channel) != 0)
        Mix_Resume(channel);
}

// --- Volumes, categories, listener --------------------------------------------------------------

void CSoundManager::setMasterVolume(float volume)
{
    masterVolume = std::clamp(volume, 0.0f, 1.0f);
    applyAllLevels();
    applyMusicVolume();
}

float CSoundManager::getMasterVolume() const
{
    return masterVolume;
}

void CSoundManager::setCategoryVolume(const std::string& category, float volume)
{
    categories[category].volume = std::clamp(volume, 0.0f, 1.0f);
    if (category == kMusicCategory)
        applyMusicVolume();
    else
        applyAllLevels();
}

float CSoundManager::getCategoryVolume(const std::string& category) const
{
    const auto found = categories.find(category);
    return found != categories.end() ? found->second.volume : 1.0f;
}

void CSoundManager::pauseCategory(const std::string& category)
{
    if (category == kMusicCategory) {
        pauseMusic();
        return;
    }
    categories[category].paused = true;
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].generation != 0 && voices[i].category == category && Mix_Playing(int(i)) != 0)
            applyPause(int(i));
}

void CSoundManager::resumeCategory(const std::string& category)
{
    if (category == kMusicCategory) {
        resumeMusic();
        return;
    }
    categories[category].paused = false;
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].generation != 0 && voices[i].category == category && Mix_Playing(int(i)) != 0)
            applyPause(int(i));
}

bool CSoundManager::isCategoryPaused(const std::string& category) const
{
    const auto found = categories.find(category);
    return found != categories.end() && found->second.paused;
}

void CSoundManager::setCategoryBudget(const std::string& category, int voicesAllowed, EVoicePolicy policy)
{
    Category& rules = categories[category];
    rules.budget = std::max(voicesAllowed, 0);
    rules.policy = policy;
}

void CSoundManager::setListener(const CVector2& position)
{
    listenerFixed = true;
    listener = position;
    applyPlacedPans();
}

void CSoundManager::followCamera()
{
    listenerFixed = false;
    cameraCentre(listener);
    applyPlacedPans();
}

CVector2 CSoundManager::getListener() const
{
    CVector2 centre = listener;
    if (!listenerFixed)
        cameraCentre(centre);
    return centre;
}

// --- Music --------------------------------------------------------------------------------------

void CSoundManager::applyMusicVolume()
{
    const auto found = categories.find(kMusicCategory);
    const double category = found != categories.end() ? found->second.volume : 1.0;
    Mix_VolumeMusic(mixerLevel(double(musicVolume) * masterVolume * category));
}

void CSoundManager::startMusic(CMusic* track, int loops, int fadeMilliseconds)
{
    haltMusic();
    if (track == nullptr || track->music == nullptr)
        return;
    // With a loop point the mixer plays the track once and update() starts each repeat there.
    const bool throughLoopPoint = track->loopPoint > 0.0 && loops != 0;
    const int mixerLoops = throughLoopPoint ? 0 : loops;
    lockMixer();
    if (fadeMilliseconds > 0)
        Mix_FadeInMusic(track->music, mixerLoops, fadeMilliseconds);
    else
        Mix_PlayMusic(track->music, mixerLoops);
    currentTrack = track;
    loopsLeft = throughLoopPoint ? loops : 0;
    // A new play would otherwise unpause the mixer's music behind a paused "music" category.
    if (isMusicPaused())
        Mix_PauseMusic();
    startMusicClock(0.0);
    unlockMixer();
}

void CSoundManager::startMusicClock(double seconds)
{
    musicFrames = uint64_t(std::max(seconds, 0.0) * kFrequency);
    musicClockRunning = !isMusicPaused();
}

void CSoundManager::stopMusicClock()
{
    musicClockRunning = false;
}

void CSoundManager::lockMixer() const
{
    if (deviceOpen)
        SDL_LockAudio();
}

void CSoundManager::unlockMixer() const
{
    if (deviceOpen)
        SDL_UnlockAudio();
}

void CSoundManager::countMusic(int, void*, int length, void* manager)
{
    // On the mixer's thread, inside the audio lock that the main thread takes around every change of
    // the clock; the stream is 16-bit stereo.
    CSoundManager* self = static_cast<CSoundManager*>(manager);
    if (self->musicClockRunning)
        self->musicFrames += uint64_t(length) / (2 * kOutputChannels);
}

void CSoundManager::pauseMusic()
{
    categories[kMusicCategory].paused = true;
    lockMixer();
    Mix_PauseMusic();
    stopMusicClock();
    unlockMixer();
}

void CSoundManager::resumeMusic()
{
    categories[kMusicCategory].paused = false;
    lockMixer();
    Mix_ResumeMusic();
    musicClockRunning = currentTrack != nullptr;
    unlockMixer();
}

CMusic* CSoundManager::getPlayingMusic() const
{
    return Mix_PlayingMusic() != 0 ? currentTrack : nullptr;
}

bool CSoundManager::isMusicPaused() const
{
    return isCategoryPaused(kMusicCategory);
}

void CSoundManager::fadeOutMusic(int milliseconds)
{
    if (Mix_PlayingMusic() == 0)
        return;
    nextTrack = nullptr;
    loopsLeft = 0;
    // Paused music would never fade: it ends at once, as a fade would have.
    if (milliseconds <= 0 || isMusicPaused() || Mix_FadeOutMusic(milliseconds) == 0) {
        // No time, or the mixer would not fade: it ends now, as a fade would have.
        Mix_HaltMusic();
    }
}

void CSoundManager::crossFadeMusic(CMusic* next, int milliseconds, int loops)
{
    if (next == nullptr || next->music == nullptr)
        return;
    const int firstHalf = milliseconds / 2;
    // A paused track would never fade; a fade of no time is a plain switch.
    if (currentTrack == nullptr || Mix_PlayingMusic() == 0 || isMusicPaused() || firstHalf <= 0 ||
        Mix_FadeOutMusic(firstHalf) == 0) {
        startMusic(next, loops, milliseconds - firstHalf);
        return;
    }
    loopsLeft = 0;
    nextTrack = next;
    nextLoops = loops;
    nextFade = milliseconds - firstHalf;
}

double CSoundManager::getMusicPosition() const
{
    return currentTrack != nullptr ? double(musicFrames) / kFrequency : 0.0;
}

bool CSoundManager::setMusicPosition(double seconds)
{
    const std::string name = currentTrack != nullptr ? currentTrack->fileName : std::string();
    lockMixer();
    const Mix_MusicType type = Mix_GetMusicType(nullptr);
    // SDL_mixer 1.2 moves MP3 streams forward from where they are, the others to the time given.
    if (type == MUS_MP3 || type == MUS_MP3_MAD)
        Mix_RewindMusic();
    const bool moved = Mix_PlayingMusic() != 0 && Mix_SetMusicPosition(std::max(seconds, 0.0)) == 0;
    if (moved)
        musicFrames = uint64_t(std::max(seconds, 0.0) * kFrequency);
    else if (Mix_PlayingMusic() == 0)
        Mix_SetError("Music isn't playing");
    // Read inside the lock, before any other SDL call can replace it.
    const std::string error = moved ? std::string() : std::string(Mix_GetError());
    unlockMixer();
    if (!moved) {
        CLog::line("Failed to seek music " + name);
        CLog::line("Error: " + error);
    }
    return moved;
}

bool CSoundManager::hasMusicEnded()
{
    const bool ended = musicEnded;
    musicEnded = false;
    return ended;
}

void CSoundManager::setMusicEndCallback(std::function<void(CMusic*)> callback)
{
    musicEndCallback = std::move(callback);
}

void CSoundManager::update()
{
    if (!deviceOpen)
        return;
    if (!listenerFixed) {
        CVector2 centre;
        if (cameraCentre(centre) && (centre.x != listener.x || centre.y != listener.y)) {
            listener = centre;
            applyPlacedPans();
        }
    }
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].levelPending && (Mix_Playing(int(i)) == 0 || Mix_FadingChannel(int(i)) == MIX_NO_FADING))
            applyLevel(int(i));

    if (currentTrack == nullptr || Mix_PlayingMusic() != 0)
        return;
    CMusic* ended = currentTrack;
    currentTrack = nullptr;
    stopMusicClock();
    if (nextTrack != nullptr) {
        CMusic* next = nextTrack;
        startMusic(next, nextLoops, nextFade);
        return;
    }
    if (loopsLeft != 0) {
        const int left = loopsLeft > 0 ? loopsLeft - 1 : -1;
        // One lock from the start to the seek: no chunk from the track's start is heard.
        lockMixer();
        startMusic(ended, 0, 0);
        setMusicPosition(ended->loopPoint);
        unlockMixer();
        loopsLeft = left;
        return;
    }
    musicEnded = true;
    if (musicEndCallback)
        musicEndCallback(ended);
}
