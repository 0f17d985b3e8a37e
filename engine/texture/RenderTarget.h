#ifndef ENGINE_TEXTURE_RENDERTARGET_H
#define ENGINE_TEXTURE_RENDERTARGET_H

#include "engine/texture/Texture.h"

#include <memory>

// A picture drawn off screen through GL_EXT_framebuffer_object: between begin() and end() every
// draw (textures, sprites, text, GUI, 3D) lands in the target's texture instead of the window, in a
// 2D projection of the target's own size (origin at its top-left corner, y downwards, as in the
// window). The result is an ordinary CTexture (getTexture()), drawn like any other; it keeps GL's
// bottom-up rows and says so through its rowsBottomUp flag, so it shows upright.
// Owns its framebuffer, depth buffer and texture, deleted with the target while the context that
// made them is current; after that window has closed they are only forgotten (the same numbers may
// name the next engine's objects), begin() refuses with one line and clear() does nothing. The
// texture is not listed by the texture manager: there is no file to reload. Main thread only.
class CGLStateScope;

class CRenderTarget {
public:
    CRenderTarget();
    // Creates at once; see create().
    CRenderTarget(int width, int height);
    ~CRenderTarget();

    // Makes a target of width by height pixels, cleared to transparent black, replacing any earlier
    // one. Without the window's context, without the extension, at a size the driver cannot make
    // or when the framebuffer is incomplete, logs why and leaves no target: isCreated() is false,
    // begin() refuses and the texture draws nothing.
    bool create(int width, int height);
    bool isCreated() const;
    int getWidth() const;
    int getHeight() const;

    // Sends drawing into the target until end(): binds its framebuffer and sets the viewport, the
    // scissor box, the 2D projection and an identity model-view, keeping what they were. Targets
    // nest (one inside another's begin/end). Returns false and changes nothing without a target
    // or while this target is already begun.
    bool begin();
    // Puts back what begin() found: framebuffer, viewport, scissor box, both matrices, matrix mode.
    void end();
    bool isDrawing() const;
    // Clears the target's colour and depth, inside or outside begin/end; the scissor test, clear
    // colour and framebuffer binding are left as they were.
    void clear(float red, float green, float blue, float alpha);

    // The result, to draw with CTexture::draw and its relatives. Unloaded (id 0) without a target.
    CTexture& getTexture();

private:
    CRenderTarget(const CRenderTarget&) = delete;
    CRenderTarget& operator=(const CRenderTarget&) = delete;

    void release();
    bool fail(int width, int height, const std::string& reason);
    // The names were made under the context current on this thread.
    bool isCurrent() const;

    // GL names and state are spelt as their plain types: no GL header here.
    CTexture texture;  // its id is this target's colour texture
    unsigned int framebuffer;
    unsigned int depthBuffer;
    int width;
    int height;
    bool drawing;
    unsigned int generation;  // CGLStateScope::contextGeneration() when the names were made

    // What begin() changed, put back by end(); owned.
    std::unique_ptr<CGLStateScope> state;
};

#endif
