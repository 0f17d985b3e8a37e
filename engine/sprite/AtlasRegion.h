#ifndef ENGINE_SPRITE_ATLASREGION_H
#define ENGINE_SPRITE_ATLASREGION_H

#include "engine/texture/TextureRegion.h"

class CTexture;

// One named image of a texture atlas: the part of a page that holds what trimming kept of it, and
// where that part lay in the untrimmed source image. A value that points to its page, which the
// atlas owns: it is good until the atlas is destroyed or loads again.
struct CAtlasRegion {
    CTexture* texture;                // the page; owned by the atlas
    CTextureRegion region;            // the kept part in the page's texture coordinates
    float width, height;              // the kept part's size in pixels
    float offsetX, offsetY;           // its top-left corner in the source image
    float sourceWidth, sourceHeight;  // the untrimmed source image's size
};

#endif
