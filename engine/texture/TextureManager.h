#ifndef ENGINE_TEXTURE_TEXTUREMANAGER_H
#define ENGINE_TEXTURE_TEXTUREMANAGER_H

// Lists every texture whose upload succeeded. Does not own them: their owners delete them.
// Not yet: textures and their registry arrive with the texture loader; the manager exists now so that
// start-up and shut-down run in their fixed order. Main thread only.
class CTextureManager {
public:
    CTextureManager();
    ~CTextureManager();

};

#endif
