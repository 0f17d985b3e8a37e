#include "engine/audio/Sound.h"

#include "engine/audio/SoundManager.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"

#include <SDL.h>
#include <SDL_mixer.h>

CSound::CSound(const std::string& fileName)
    : chunk(nullptr),
      fileName(fileName)
{
    if (!fileName.empty())
        load(fileName);
}

CSound::~CSound()
{
    if (chunk != nullptr)
        Mix_FreeChunk(chunk);
}

bool CSound::load(std::string name)
{
    if (chunk != nullptr) {
        Mix_FreeChunk(chunk);
        chunk = nullptr;
    }
    // The mixer closes the stream itself (second argument 1), on success and on failure alike.
    chunk = Mix_LoadWAV_RW(SDL_RWFromFile(name.c_str(), "rb"), 1);
    if (chunk == nullptr) {
        CLog::line("Failed to load sound: " + name);
        return false;
    }
    fileName = name;
    // The manager lists a sound once, so a reload cannot make it delete the sound twice.
    if (g_pSoundManager != nullptr)
        g_pSoundManager->addSound(this);
    return true;
}

void CSound::play(int loops)
{
    if (chunk == nullptr)
        return;
    if (Mix_PlayChannelTimed(-1, chunk, loops, -1) == -1)
        CLog::line("Failed to play sound " + fileName + " " + SDL_GetError());
}

void CSound::release()
{
    if (g_pSoundManager != nullptr)
        g_pSoundManager->removeSound(this);
    else
        delete this;
}
