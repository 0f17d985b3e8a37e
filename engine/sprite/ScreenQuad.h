#ifndef ENGINE_SPRITE_SCREENQUAD_H
#define ENGINE_SPRITE_SCREENQUAD_H

// One textured quad in window pixels, axis-aligned: (x0, y0) is its top-left corner and (x1, y1)
// its bottom-right, y counting down from the window's top; (s0, t0) are the texture coordinates at
// the top-left corner and (s1, t1) at the bottom-right. Text is made of these (a glyph each), and
// a sprite batch takes them as they are (CSpriteBatch::addScreenQuads). A plain value.
struct CScreenQuad {
    unsigned texture;  // the GL texture name
    float x0, y0, x1, y1;
    float s0, t0, s1, t1;
};

#endif
