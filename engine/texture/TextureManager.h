#ifndef ENGINE_TEXTURE_TEXTUREMANAGER_H
#define ENGINE_TEXTURE_TEXTUREMANAGER_H

#include <vector>

class CTexture;

// Lists every texture whose upload succeeded, in upload order, identified by GL texture name (no
// lookup by file name: the same file loaded twice is listed twice). Does not own them: their owners
// delete them, and a texture leaves the list when it is destroyed. Only removeTexture() deletes one.
// Destroying the manager leaves the textures as they are: the closing window takes their GL names.
// Main thread only.
class CTextureManager {
public:
    CTextureManager();
    ~CTextureManager();

    // Appends unless a texture with the same GL name is already listed.
    void addTexture(CTexture* texture);
    // Unlists the texture and deletes it (its GL texture with it). A texture that is not listed is
    // neither unlisted nor deleted, though another listed one may have the same GL name (two
    // unloaded ones have 0).
    void removeTexture(CTexture* texture);
    // Drops every entry pointing at this object without deleting it; a texture's destructor calls it.
    void forgetTexture(const CTexture* texture);
    // Calls CTexture::reload() on every listed texture: each loaded from a file gets a new GL
    // texture from it (its old one deleted); one made from pixels in memory keeps what it has.
    void reloadAll();
    // Calls CTexture::unload() on every listed texture: their GL textures are deleted and they draw
    // nothing until reloadAll(). They stay listed.
    void unloadAll();

    int getTextureCount() const;
    // The texture at index in upload order; null outside 0 to getTextureCount() - 1.
    CTexture* getTexture(int index) const;

private:
    CTextureManager(const CTextureManager&) = delete;
    CTextureManager& operator=(const CTextureManager&) = delete;

    std::vector<CTexture*> textures;
};

#endif
