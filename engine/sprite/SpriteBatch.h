#ifndef ENGINE_SPRITE_SPRITEBATCH_H
#define ENGINE_SPRITE_SPRITEBATCH_H

#include "engine/sprite/ScreenQuad.h"
#include "engine/texture/TextureRegion.h"

#include <cstddef>
#include <vector>

struct CAtlasRegion;
class CTexture;

// Many textured quads per frame for the price of a few draw calls. Between begin() and end() the
// application adds quads exactly as it would draw them with CTexture::draw/drawRegion, and quads in
// window pixels (CScreenQuad), which is how text adds its glyphs (CFont::addTo, CText::addTo: the
// batch knows textures, not fonts); end() draws them in the order they were added, one draw call
// per run of quads that share a texture, and pixels come out the same as the one-by-one paths
// (within rounding of one step per channel).
//
// How: the quads are transformed on the CPU into client-side vertex arrays (OpenGL 1.1) carrying the
// tint per vertex, and drawn through the fixed-function pipeline with GL_MODULATE, which computes the
// same texel x colour product as shader 0. Shader 0 stays as it is, so today's draws cannot pick up a
// colour an application left current. Quads are drawn with the matrices current at end() (like
// CTexture::draw with those at the draw); window-pixel quads with a print's own window-pixel
// projection and an identity model-view.
//
// State: end() leaves what CTexture::draw leaves: no program current, colour white, texture unit 0
// active, the last texture bound. For its duration it enables GL_TEXTURE_2D on unit 0 with
// GL_MODULATE, switches off lighting and texturing on the other units (shader 0 ignores them), and
// restores all of that afterwards. It also skips state that cannot change a pixel and only costs
// fill: a depth test whose function is GL_ALWAYS (so the batch writes no depth values) and a scissor
// test whose box holds the whole viewport; both are switched back on at the end. A run of quads that
// all land texel for pixel (whole image or whole-texel region, scale 1, no angle, whole-pixel
// positions under matrices that only move by whole pixels) is sampled with GL_NEAREST, which then
// reads the very texels GL_LINEAR reads; the texture's filters are put back after the run.
// Window-pixel quads take the state a print sets: blending with (source alpha, one minus source
// alpha), no depth test, scissor on; those that land texel for pixel (a whole-pixel place, scale 1,
// each quad on whole texels of its texture) are sampled GL_NEAREST as well. A run is sent in draws
// of at most kMaxQuadsPerDraw quads, in order, so pixels are those of one draw.
//
// Owns its vertex and run arrays, which keep their capacity between frames: a batch that is reused
// every frame allocates nothing once it has seen its largest frame. Stores texture names, not
// pointers: a texture only has to live until end(). Main thread only.
class CSpriteBatch {
public:
    // Mesa's software rasteriser (llvmpipe) fills axis-aligned quads through its fast rectangle path
    // only in draws of at most 170 quads (1,020 indices): measured, at 171 it already falls back.
    static constexpr std::size_t kMaxQuadsPerDraw = 170;

    CSpriteBatch();

    // Forgets whatever was added since the last end() and starts collecting.
    void begin();
    // As CTexture::draw: the whole image, top-left corner at (x, y), scaled about that corner and
    // rotated by angle degrees about its centre, tinted. An unloaded texture adds nothing.
    void add(const CTexture& texture, float x, float y, float scale, float angle, float red, float green,
             float blue, float alpha);
    // As CTexture::drawRegion.
    void addRegion(const CTexture& texture, float x, float y, const CTextureRegion& region, float scale,
                   float angle, float red, float green, float blue, float alpha);
    // An atlas's region as CTextureAtlas::add places it: the kept part's upright width x height with
    // its top-left corner at (x, y), scaled about that corner and rotated by angle degrees about its
    // centre, tinted; a part stored turned a quarter clockwise on its page shows upright. A quad
    // that lands texel for pixel (as addRegion's, also under the matrices at end()) shows the
    // region's exact texels; any other samples its inner region, so that filtering never reaches
    // a neighbouring frame (see CAtlasRegion). A region without a page adds nothing.
    void addAtlasRegion(const CAtlasRegion& region, float x, float y, float scale, float angle, float red,
                        float green, float blue, float alpha);
    // A width by height quad, top-left corner at (x, y), unscaled and unturned, showing the region
    // mirrored and turned as Tiled's flip flags say: swapAxes exchanges its x and y axes first, then
    // flipX mirrors it left to right and flipY top to bottom. Unflipped at the region's own size it
    // adds what addRegion adds at scale 1 and angle 0 (whose scale and angle cannot mirror).
    void addFlippedRegion(const CTexture& texture, float x, float y, float width, float height,
                          const CTextureRegion& region, bool flipX, bool flipY, bool swapAxes, float red,
                          float green, float blue, float alpha);
    // Quads in window pixels (text's glyphs: CFont::addTo, CText::addTo) placed at (x, y) and
    // scaled about it, tinted, drawn in a print's window-pixel projection with an identity
    // model-view and a print's state, whatever the matrices at end(). Quads that land texel for
    // pixel (whole-pixel place, scale 1, each quad on whole texels of its texture) are sampled
    // GL_NEAREST.
    void addScreenQuads(const CScreenQuad* quads, std::size_t count, float x, float y, float red, float green,
                        float blue, float alpha, float scaleX = 1.0f, float scaleY = 1.0f);
    // Draws everything added since begin() and empties the batch. Without a window does nothing.
    void end();

    // True when the current matrices and viewport move batch coordinates onto window pixels by whole
    // pixels, unscaled and unturned: end() under them samples the quads that land texel for pixel
    // GL_NEAREST. Needs the window.
    static bool matricesMoveByWholePixels();

    // Quads added since begin() (after end(): those of the last batch drawn).
    std::size_t getQuadCount() const;
    // Draws made by the last end(): one per run of quads that share a texture and a coordinate
    // space, however many pieces of at most kMaxQuadsPerDraw quads it was sent in.
    std::size_t getDrawCallCount() const;
    // The glDrawElements calls the last end() made: its draws cut into pieces.
    std::size_t getElementCallCount() const;

private:
    struct Vertex {
        float x, y;
        float s, t;
        float red, green, blue, alpha;
    };
    // Quads [first, first + count) share a texture and a coordinate space.
    struct Run {
        unsigned texture;
        bool windowPixels;   // window-pixel quads: drawn in a print's projection, not the current matrices
        bool texelForPixel;  // every quad maps texels 1:1 onto pixels, if the image is width x height
        float width;
        float height;
        std::size_t first;
        std::size_t count;
    };

    // An atlas quad placed texel for pixel shows its region's exact texels; these are the inner
    // region's corners it shows instead when end() finds the matrices moving by a fraction of a
    // pixel.
    struct InnerCorners {
        std::size_t vertex;  // the quad's first vertex
        float s[4], t[4];
    };

    Vertex* appendQuad(unsigned texture, bool windowPixels, bool texelForPixel = false, float width = 0.0f,
                       float height = 0.0f);
    // A width x height quad placed as CTexture::draw places it (top-left corner at (x, y), scaled
    // about it, rotated about its centre), tinted; the caller gives its texture coordinates.
    Vertex* appendPlaced(const CTexture& texture, float x, float y, float width, float height, float scale,
                         float angle, bool texelForPixel, float red, float green, float blue, float alpha);
    // Whether every quad of a window-pixel run shows its texture (width x height texels) texel for
    // pixel; its quads were placed on whole pixels when they were added.
    bool screenQuadsLandTexelForPixel(const Run& run, float width, float height) const;

    std::vector<Vertex> vertices;  // four per quad
    std::vector<Run> runs;
    std::vector<InnerCorners> innerCorners;
    std::vector<unsigned> quadIndices;  // six per quad, for as many quads as the largest batch had
    std::size_t quadCount;
    std::size_t drawCalls;
    std::size_t elementCalls;
};

#endif
