#ifndef ENGINE_TEXTURE_TEXTUREREGION_H
#define ENGINE_TEXTURE_TEXTUREREGION_H

// A part of an image in texture coordinates: 0 is the left and bottom edge, 1 the right and top
// edge. The whole image is (1, 1, 0, 0).
struct CTextureRegion {
    float top;
    float right;
    float bottom;
    float left;
};

// The whole image.
const CTextureRegion kWholeImage = {1.0f, 1.0f, 0.0f, 0.0f};

#endif
