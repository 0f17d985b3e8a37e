#include "engine/texture/TextureManager.h"

#include "engine/texture/Texture.h"

#include <algorithm>

CTextureManager::CTextureManager() = default;

CTextureManager::~CTextureManager() = default;

void CTextureManager::addTexture(CTexture* texture)
{
    if (texture == nullptr)
        return;
    for (const CTexture* listed : textures)
        if (listed == texture || (listed->id == texture->id && listed->idGeneration == texture->idGeneration))
            return;
    textures.push_back(texture);
}

void CTextureManager::removeTexture(CTexture* texture)
{
    if (texture == nullptr)
        return;
    // By the object: unloaded textures share GL name 0.
    const auto listed = std::find(textures.begin(), textures.end(), texture);
    if (listed == textures.end())
        return;
    textures.erase(listed);
    delete texture;
}

void CTextureManager::forgetTexture(const CTexture* texture)
{
    textures.erase(std::remove(textures.begin(), textures.end(), texture), textures.end());
}

void CTextureManager::reloadAll()
{
    for (CTexture* texture : textures)
        texture->reload();
}

void CTextureManager::unloadAll()
{
    for (CTexture* texture : textures)
        texture->unload();
}

int CTextureManager::getTextureCount() const
{
    return static_cast<int>(textures.size());
}

CTexture* CTextureManager::getTexture(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= textures.size())
        return nullptr;
    return textures[static_cast<std::size_t>(index)];
}
