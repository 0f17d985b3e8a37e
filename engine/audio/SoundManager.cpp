#include "engine/audio/SoundManager.h"

#include "engine/audio/Music.h"
#include "engine/audio/Sound.h"
#include "engine/core/Log.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>

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

}  // namespace

CSoundManager::CSoundManager()
    // The mixer starts every channel and the music at full volume; the getters say so until a
    // setter changes it.
    : soundVolume(MIX_MAX_VOLUME),
      musicVolume(MIX_MAX_VOLUME)
{
    // Mix_OpenAudio would start the audio subsystem itself; this only makes it explicit.
    SDL_Init(SDL_INIT_AUDIO);
    if (Mix_OpenAudio(kFrequency, AUDIO_S16SYS, kOutputChannels, kChunkSize) != 0) {
        CLog::line("Unable to open audio");
        // Only the audio: the event manager has started the joysticks already, and nothing would
        // start them again.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

CSoundManager::~CSoundManager()
{
    freeAllSounds();
    freeAllMusic();
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
}

void CSoundManager::forgetMusic(CMusic* track)
{
    unlist(music, track);
    unlist(unloadedMusic, track);
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
}

void CSoundManager::setMusicVolume(int volume)
{
    volume = clampVolume(volume);
    Mix_VolumeMusic(volume);
    musicVolume = volume;
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
