#include "engine/texture/TextureManager.h"

CTextureManager::CTextureManager() = default;

CTextureManager::~CTextureManager() = default;
