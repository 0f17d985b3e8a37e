#include "engine/audio/SoundHandle.h"

#include "engine/audio/SoundManager.h"
#include "engine/core/Registry.h"

#include <SDL_mixer.h>

#include <algorithm>

CSoundHandle::CSoundHandle()
    : channel(-1),
      generation(0)
{
}

CSoundHandle::CSoundHandle(int channel, uint32_t generation)
    : channel(channel),
      generation(generation)
{
}

bool CSoundHandle::isPlaying() const
{
    return g_pSoundManager != nullptr && g_pSoundManager->voiceOf(*this) != nullptr;
}

bool CSoundHandle::isPaused() const
{
    const CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr;
    return voice != nullptr && voice->paused;
}

void CSoundHandle::stop()
{
    if (isPlaying())
        Mix_HaltChannel(channel);
}

void CSoundHandle::fadeOut(int milliseconds)
{
    if (!isPlaying())
        return;
    // The mixer refuses a fade of no time, which would leave the sound playing.
    if (milliseconds > 0)
        Mix_FadeOutChannel(channel, milliseconds);
    else
        Mix_HaltChannel(channel);
}

void CSoundHandle::pause()
{
    if (CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr) {
        voice->paused = true;
        g_pSoundManager->applyPause(channel);
    }
}

void CSoundHandle::resume()
{
    if (CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr) {
        voice->paused = false;
        g_pSoundManager->applyPause(channel);
    }
}

void CSoundHandle::setVolume(float volume)
{
    if (CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr) {
        voice->volume = std::clamp(volume, 0.0f, 1.0f);
        g_pSoundManager->applyLevel(channel);
    }
}

float CSoundHandle::getVolume() const
{
    const CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr;
    return voice != nullptr ? voice->volume : 0.0f;
}

void CSoundHandle::setPan(float pan)
{
    if (CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr) {
        voice->pan = std::clamp(pan, -1.0f, 1.0f);
        g_pSoundManager->applyPan(channel);
    }
}

float CSoundHandle::getPan() const
{
    const CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr;
    return voice != nullptr ? voice->pan : 0.0f;
}

void CSoundHandle::setPosition(const CVector2& position)
{
    if (CSoundManager::Voice* voice = g_pSoundManager != nullptr ? g_pSoundManager->voiceOf(*this) : nullptr) {
        voice->placed = true;
        voice->position = position;
        g_pSoundManager->applyLevel(channel);
        g_pSoundManager->applyPan(channel);
    }
}
