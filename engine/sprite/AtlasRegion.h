#ifndef ENGINE_SPRITE_ATLASREGION_H
#define ENGINE_SPRITE_ATLASREGION_H

#include "engine/texture/TextureRegion.h"

#include <memory>

class CTexture;

// One named image of a texture atlas: the part of a page that holds what trimming kept of it, and
// where that part lay in the untrimmed source image. A value that points to its page, which the
// atlas owns: it is good until the atlas is destroyed or loads again. After that it is stale
// (isStale()): the atlas's draws and a sprite batch draw nothing for it and say so once, rather
// than read a page that is gone. Take the region again from the atlas after a load.
//
// Bleeding: a draw that does not land texel for pixel (a fraction of a pixel off, scaled, turned)
// filters linearly and so reads up to half a texel past the part's edges. Where the packer left
// padding there (transparent or extruded pixels, as make_atlas, Aseprite and TexturePacker's
// default shape padding do) that is what the author drew round the picture, and the part's exact
// edges are kept: it draws exactly as its separate image would. Only an edge that lies against
// another frame (no padding, or a frame beyond the page's edge, where GL_REPEAT wraps) is drawn in
// by half a texel in inner, which such draws sample instead: it costs that edge half a texel of
// width, where reading the neighbour would show a seam of another picture's colours. Draws that
// land texel for pixel read exactly the part's own texels, so they keep the exact edges.
struct CAtlasRegion {
    CTexture* texture;                // the page; owned by the atlas
    CTextureRegion region;            // what the part covers on the page, in texture coordinates
    CTextureRegion inner;             // the same, drawn in by half a texel on edges beside other frames
    bool rotated;                     // stored turned a quarter clockwise: region is height x width texels
    float width, height;              // the kept part's upright size in pixels
    float offsetX, offsetY;           // its top-left corner in the source image
    float sourceWidth, sourceHeight;  // the untrimmed source image's size

    // Which load of which atlas made the region: the atlas holds the number of its current load,
    // and drops it when it loads again or goes. 0 for a region no atlas made.
    std::weak_ptr<const unsigned> atlasLoad = {};
    unsigned load = 0;

    // Its atlas has loaded again or is gone since the region was made: texture points nowhere.
    bool isStale() const
    {
        const std::shared_ptr<const unsigned> current = atlasLoad.lock();
        return load != 0 && (current == nullptr || *current != load);
    }
};

#endif
