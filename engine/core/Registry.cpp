#include "engine/core/Registry.h"

CGraphicsCore* g_pGraphicsCore = nullptr;
CTextureManager* g_pTextureManager = nullptr;
CWindowManager* g_pWindowManager = nullptr;
CEventManager* g_pEventManager = nullptr;
CUtils* g_pUtils = nullptr;
CSoundManager* g_pSoundManager = nullptr;
CShaderManager* g_pShaderManager = nullptr;
CCamera* g_pCamera = nullptr;
CCameraManager* g_pCameraManager = nullptr;
CFontManager* g_pFontManager = nullptr;
