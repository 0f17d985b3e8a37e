#include "engine/audio/SoundManager.h"

CSoundManager::CSoundManager() = default;

CSoundManager::~CSoundManager() = default;
