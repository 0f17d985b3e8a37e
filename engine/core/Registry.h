#ifndef ENGINE_CORE_REGISTRY_H
#define ENGINE_CORE_REGISTRY_H

// The manager registry: one object of each manager per process, reached through these pointers.
// Each is set by CEngine's start-up and is null before it and again after CEngine's shut-down.
// Only CEngine creates and deletes the objects. Main thread only.

class CGraphicsCore;
class CTextureManager;
class CWindowManager;
class CEventManager;
class CUtils;
class CSoundManager;
class CShaderManager;
class CCamera;
class CCameraManager;
class CFontManager;

// Window, OpenGL state, caption and cursor; created first and destroyed first (it shuts SDL down).
extern CGraphicsCore* g_pGraphicsCore;
// Lists uploaded textures; created second, destroyed fourth.
extern CTextureManager* g_pTextureManager;
// Owns the GUI windows; created third, destroyed fifth.
extern CWindowManager* g_pWindowManager;
// Input state of the current frame; created fourth, destroyed sixth.
extern CEventManager* g_pEventManager;
// Frame rate, debug shapes, BMP loading; created fifth, destroyed third.
extern CUtils* g_pUtils;
// Owns the audio device, sounds and music; created sixth, destroyed seventh, after SDL_Quit.
extern CSoundManager* g_pSoundManager;
// Owns the shader programs; created seventh, destroyed eighth.
extern CShaderManager* g_pShaderManager;
// The first-person camera; created eighth, destroyed ninth.
extern CCamera* g_pCamera;
// Owns the 2D cameras; created ninth, destroyed last.
extern CCameraManager* g_pCameraManager;
// Lists the fonts (font 1 prints every engine text); created last, destroyed second.
extern CFontManager* g_pFontManager;

#endif
