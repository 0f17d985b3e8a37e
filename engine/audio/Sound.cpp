#include "engine/audio/Sound.h"

#include "engine/audio/SoundManager.h"
#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/core/RegularFile.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>

CSound::CSound(const std::string& fileName)
    : chunk(nullptr),
      fileName(fileName),
      volume(1.0f),
      category("effects"),
      voiceBudget(0),
      budgetPolicy(EVoicePolicy::StopOldest),
      radius(100.0f),
      rollOff(1.0f)
{
    // Owned by the manager from the start, so that a sound whose file never loads is not leaked.
    if (g_pSoundManager != nullptr)
        g_pSoundManager->keepUnloadedSound(this);
    if (!fileName.empty())
        load(fileName);
}

CSound::~CSound()
{
    // Whoever deletes the sound, no list of the manager may keep pointing at it.
    if (g_pSoundManager != nullptr)
        g_pSoundManager->forgetSound(this);
    if (chunk != nullptr)
        Mix_FreeChunk(chunk);
}

bool CSound::load(std::string name)
{
    if (chunk != nullptr) {
        Mix_FreeChunk(chunk);
        chunk = nullptr;
    }
    // Found as textures are: beside the game, in its data folder; a name no place holds is tried
    // as written, so that the failure line names it.
    const std::string found = CDataFiles::find(name);
    if (!found.empty())
        name = found;
    // Opened here rather than inside the mixer, whose text for a file that cannot be opened would
    // only say that it was handed no stream.
    // A pipe would be opened and waited on; the refusal is the mixer's error text, on the usual line.
    const std::string irregular = CRegularFile::refusal(name);
    if (!irregular.empty())
        Mix_SetError("%s", irregular.c_str());
    SDL_RWops* file = irregular.empty() ? SDL_RWFromFile(name.c_str(), "rb") : nullptr;
    // The mixer closes the stream itself (second argument 1), on success and on failure alike.
    chunk = file != nullptr ? Mix_LoadWAV_RW(file, 1) : nullptr;
    if (chunk == nullptr) {
        CLog::line("Failed to load sound: " + name);
        // Without it, a machine with no audio device would read as one with a bad file.
        CLog::line(std::string("Error: ") + Mix_GetError());
        if (found.empty())
            CDataFiles::noteMissing(name);
        return false;
    }
    fileName = name;
    // The manager lists a sound once, so a reload cannot make it delete the sound twice.
    if (g_pSoundManager != nullptr)
        g_pSoundManager->addSound(this);
    return true;
}

bool CSound::isLoaded() const
{
    return chunk != nullptr;
}

CSoundHandle CSound::play(int loops)
{
    if (chunk == nullptr)
        return CSoundHandle();
    if (g_pSoundManager != nullptr)
        return g_pSoundManager->startVoice(this, loops, 0, nullptr);
    if (Mix_PlayChannelTimed(-1, chunk, loops, -1) == -1)
        CLog::line("Failed to play sound " + fileName + " " + SDL_GetError());
    return CSoundHandle();
}

CSoundHandle CSound::fadeIn(int milliseconds, int loops)
{
    if (chunk == nullptr || g_pSoundManager == nullptr)
        return play(loops);
    return g_pSoundManager->startVoice(this, loops, milliseconds, nullptr);
}

CSoundHandle CSound::playAt(const CVector2& position, int loops, int fadeMilliseconds)
{
    if (chunk == nullptr || g_pSoundManager == nullptr)
        return play(loops);
    return g_pSoundManager->startVoice(this, loops, fadeMilliseconds, &position);
}

void CSound::setVolume(float newVolume)
{
    volume = std::clamp(newVolume, 0.0f, 1.0f);
    if (g_pSoundManager != nullptr)
        g_pSoundManager->applyAllLevels();
}

float CSound::getVolume() const
{
    return volume;
}

void CSound::setCategory(const std::string& name)
{
    category = name;
}

const std::string& CSound::getCategory() const
{
    return category;
}

void CSound::setVoiceBudget(int voices, EVoicePolicy policy)
{
    voiceBudget = std::max(voices, 0);
    budgetPolicy = policy;
}

void CSound::setRange(float newRadius, float newRollOff)
{
    radius = newRadius;
    rollOff = newRollOff;
    if (g_pSoundManager != nullptr)
        g_pSoundManager->applyAllLevels();
}

void CSound::release()
{
    if (g_pSoundManager != nullptr)
        g_pSoundManager->removeSound(this);
    else
        delete this;
}
