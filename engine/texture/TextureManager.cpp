#include "engine/texture/TextureManager.h"

#include "engine/texture/Texture.h"

#include <algorithm>

CTextureManager::CTextureManager() = default;

CTextureManager::~CTextureManager()
{
    unloadAll();
    textures.clear();
}

void CTextureManager::addTexture(CTexture* texture)
{
    if (texture == nullptr)
        return;
    for (const CTexture* listed : textures)
        if (listed->id == texture->id)
            return;
    textures.push_back(texture);
}

void CTextureManager::removeTexture(CTexture* texture)
{
    if (texture == nullptr)
        return;
    int last = -1;
    for (std::size_t i = 0; i < textures.size(); ++i)
        if (textures[i]->id == texture->id)
            last = static_cast<int>(i);
    if (last < 0)
        return;
    textures.erase(textures.begin() + last);
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
