#ifndef ENGINE_AUDIO_SOUNDMANAGER_H
#define ENGINE_AUDIO_SOUNDMANAGER_H

// Owns the audio device, the sound effects and the music tracks.
// Not yet: the device and the registries arrive with audio. Main thread only.
class CSoundManager {
public:
    CSoundManager();
    ~CSoundManager();

};

#endif
