#include "engine/audio/Music.h"

#include "engine/audio/SoundManager.h"
#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/core/RegularFile.h"

#include <SDL_mixer.h>

#include <cstring>

namespace {

void haltAnyMusic()
{
    if (g_pSoundManager != nullptr)
        g_pSoundManager->haltMusic();
    else if (Mix_PlayingMusic() == 1)
        Mix_HaltMusic();
}

// SDL_mixer 1.2 opens a FLAC file of any layout but plays only 16-bit stereo: anything else stays
// silent, and a seek in it leaves the mixer's thread spinning with the audio lock held, which hangs
// the game. The layout is in the STREAMINFO block that must follow the "fLaC" marker. Returns the
// refusal text, empty for any other file.
std::string unplayableFlac(const std::string& path)
{
    unsigned char head[22] = {};
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (file == nullptr)
        return std::string();
    const size_t got = SDL_RWread(file, head, 1, sizeof(head));
    SDL_RWclose(file);
    if (got != sizeof(head) || std::memcmp(head, "fLaC", 4) != 0)
        return std::string();
    const int channels = ((head[20] >> 1) & 7) + 1;
    const int bits = (((head[20] & 1) << 4) | (head[21] >> 4)) + 1;
    if ((head[4] & 0x7f) == 0 && channels == 2 && bits == 16)
        return std::string();
    return "SDL_mixer 1.2 plays only 16-bit stereo FLAC files";
}

}  // namespace

CMusic::CMusic(const std::string& fileName)
    : music(nullptr),
      fileName(fileName),
      loopPoint(0.0)
{
    // Owned by the manager from the start, so that a track whose file never loads is not leaked.
    if (g_pSoundManager != nullptr)
        g_pSoundManager->keepUnloadedMusic(this);
    if (!fileName.empty())
        load(fileName);
}

CMusic::~CMusic()
{
    // Whoever deletes the track, no list of the manager may keep pointing at it.
    if (g_pSoundManager != nullptr)
        g_pSoundManager->forgetMusic(this);
    haltAnyMusic();
    if (music != nullptr)
        Mix_FreeMusic(music);
}

bool CMusic::load(std::string name)
{
    if (music != nullptr) {
        // Mix_FreeMusic stops the stream first when it is the one playing.
        Mix_FreeMusic(music);
        music = nullptr;
    }
    // Found as textures are: beside the game, in its data folder; a name no place holds is tried
    // as written, so that the failure line names it.
    const std::string found = CDataFiles::find(name);
    if (!found.empty())
        name = found;
    // As for a sound: a pipe is refused with the mixer's error text before the mixer opens it.
    std::string irregular = CRegularFile::refusal(name);
    if (irregular.empty())
        irregular = unplayableFlac(name);
    if (!irregular.empty())
        Mix_SetError("%s", irregular.c_str());
    music = irregular.empty() ? Mix_LoadMUS(name.c_str()) : nullptr;
    if (music == nullptr) {
        CLog::line("Failed to load music " + name);
        // Without it, a machine with no audio device would read as one with a bad file.
        CLog::line(std::string("Error: ") + Mix_GetError());
        if (found.empty())
            CDataFiles::noteMissing(name);
        return false;
    }
    fileName = name;
    if (g_pSoundManager != nullptr)
        g_pSoundManager->addMusic(this);
    return true;
}

bool CMusic::isLoaded() const
{
    return music != nullptr;
}

void CMusic::play(int loops)
{
    if (music == nullptr)
        return;
    if (g_pSoundManager != nullptr) {
        g_pSoundManager->startMusic(this, loops, 0);
        return;
    }
    haltAnyMusic();
    Mix_PlayMusic(music, loops);
}

void CMusic::fadeIn(int milliseconds, int loops)
{
    if (music == nullptr)
        return;
    if (g_pSoundManager != nullptr) {
        g_pSoundManager->startMusic(this, loops, milliseconds);
        return;
    }
    haltAnyMusic();
    Mix_FadeInMusic(music, loops, milliseconds);
}

void CMusic::setLoopPoint(double seconds)
{
    loopPoint = seconds > 0.0 ? seconds : 0.0;
}

double CMusic::getLoopPoint() const
{
    return loopPoint;
}

void CMusic::release()
{
    if (g_pSoundManager != nullptr)
        g_pSoundManager->removeMusic(this);
    else
        delete this;
}
