#include "engine/sprite/SpriteBatch.h"

#include "engine/graphics/GLStateScope.h"
#include "engine/sprite/AtlasRegion.h"
#include "engine/sprite/TextureAtlas.h"
#include "engine/texture/Texture.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The corners of a quad in the order CTexture::draw sends them, as fractions of its width and
// height from the top-left corner: bottom-left, bottom-right, top-right, top-left, the glyphs'
// winding. The order decides the winding (and so face culling); keep it the per-draw path's.
const float kQuadCorners[4][2] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}};

// Which edge of a window-pixel quad each corner takes, in kQuadCorners' order.
const bool kScreenCornerIsRight[4] = {false, true, true, false};
const bool kScreenCornerIsBottom[4] = {true, true, false, false};

// The scissor box only matters when it cuts into the viewport.
bool scissorClips()
{
    GLint box[4], viewport[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    glGetIntegerv(GL_VIEWPORT, viewport);
    return box[0] > viewport[0] || box[1] > viewport[1] || box[0] + box[2] < viewport[0] + viewport[2] ||
           box[1] + box[3] < viewport[1] + viewport[3];
}

bool whole(float value)
{
    return value == std::floor(value);
}

// A region's edge in texels: x / 61 and back is not exactly x in floats, so a page whose sides are
// not powers of two would never land texel for pixel. An error this small never moves a sample
// across a texel's edge.
bool wholeTexel(float value)
{
    return std::fabs(value - std::round(value)) < 1.0f / 1024.0f;
}

// Two lengths in texels that differ by no more than a region's edge computed in floats does.
bool sameTexels(float a, float b)
{
    return std::fabs(a - b) < 1.0f / 1024.0f;
}

// The texture coordinates each corner of a quad shows (kQuadCorners order), for a region of the
// texture. turned: the region holds the picture turned a quarter clockwise, so the quad's top-left
// corner shows the region's top-right one, its top-right the region's bottom-right, and so on.
void cornerCoordinates(const CTexture& texture, const CTextureRegion& region, bool turned, float s[4], float t[4])
{
    // A render target's rows run bottom-up: there t counts from the picture's bottom edge.
    const float top = texture.rowsBottomUp ? region.top : 1.0f - region.top;
    const float bottom = texture.rowsBottomUp ? region.bottom : 1.0f - region.bottom;
    for (int i = 0; i < 4; ++i) {
        const float u = kQuadCorners[i][0], v = kQuadCorners[i][1];
        const float acrossRegion = turned ? 1.0f - v : u, downRegion = turned ? u : v;
        s[i] = acrossRegion != 0.0f ? region.right : region.left;
        t[i] = downRegion != 0.0f ? bottom : top;
    }
}

// True when the current matrices and viewport move batch coordinates onto window pixels by a whole
// number of pixels, without scaling or turning them.
bool movesByWholePixels()
{
    GLfloat mv[16], pr[16];
    GLint viewport[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    glGetFloatv(GL_PROJECTION_MATRIX, pr);
    glGetIntegerv(GL_VIEWPORT, viewport);
    float m[16];
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            m[col * 4 + row] = 0.0f;
            for (int k = 0; k < 4; ++k)
                m[col * 4 + row] += pr[k * 4 + row] * mv[col * 4 + k];
        }
    const float halfWidth = 0.5f * float(viewport[2]), halfHeight = 0.5f * float(viewport[3]);
    auto near = [](float a, float b) { return std::fabs(a - b) < 1e-4f; };
    // The offset comes out of float products that grow with it: scrolled 30,000 pixels into a map, it
    // is a few thousandths of a pixel off. Far less than half a texel moves no sample off its texel.
    auto nearInPixels = [](float a, float b) { return std::fabs(a - b) < 1.0f / 64.0f; };
    if (!near(m[1], 0.0f) || !near(m[4], 0.0f) || !near(m[3], 0.0f) || !near(m[7], 0.0f) || !near(m[15], 1.0f) ||
        !near(std::fabs(m[0] * halfWidth), 1.0f) || !near(std::fabs(m[5] * halfHeight), 1.0f))
        return false;
    const float offsetX = (m[12] + 1.0f) * halfWidth, offsetY = (m[13] + 1.0f) * halfHeight;
    return nearInPixels(offsetX, std::round(offsetX)) && nearInPixels(offsetY, std::round(offsetY));
}

// The tests a run keeps. Quads keep the application's blending and any depth or scissor test that
// can reject a fragment; window-pixel quads take a print's state. Only what differs from the previous run is
// switched, through the batch's scope.
class CRunState {
public:
    explicit CRunState(CGLStateScope& state)
        : state(state),
          depth(glIsEnabled(GL_DEPTH_TEST)),
          scissor(glIsEnabled(GL_SCISSOR_TEST)),
          blend(glIsEnabled(GL_BLEND)),
          clips(scissorClips()),
          depthOn(depth),
          scissorOn(scissor),
          blendOn(blend)
    {
        GLint depthFunc = GL_LESS;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
        glGetIntegerv(GL_BLEND_SRC, &blendSrc);
        glGetIntegerv(GL_BLEND_DST, &blendDst);
        quadDepth = depth && depthFunc != GL_ALWAYS;
        printBlend = printBlendOn = blendSrc == GL_SRC_ALPHA && blendDst == GL_ONE_MINUS_SRC_ALPHA;
    }
    void forQuads()
    {
        apply(quadDepth, scissor && clips, blend, printBlend);
    }
    void forWindowPixels()
    {
        apply(false, clips, true, true);
    }

private:
    void apply(bool wantDepth, bool wantScissor, bool wantBlend, bool wantPrintBlend)
    {
        if (depthOn != wantDepth)
            state.enable(GL_DEPTH_TEST, depthOn = wantDepth);
        if (scissorOn != wantScissor)
            state.enable(GL_SCISSOR_TEST, scissorOn = wantScissor);
        if (blendOn != wantBlend)
            state.enable(GL_BLEND, blendOn = wantBlend);
        if (printBlendOn != wantPrintBlend) {
            printBlendOn = wantPrintBlend;
            if (wantPrintBlend)
                state.blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            else
                state.blendFunc(GLenum(blendSrc), GLenum(blendDst));
        }
    }

    CGLStateScope& state;
    const bool depth, scissor, blend, clips;
    GLint blendSrc = GL_ONE, blendDst = GL_ZERO;
    bool quadDepth = false, printBlend = false;
    bool depthOn, scissorOn, blendOn, printBlendOn = false;
};

// Shader 0 samples unit 0 only; the fixed-function pipeline would also apply the other units.
void useUnitZeroOnly(CGLStateScope& state)
{
    GLint units = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    for (GLint unit = 1; unit < units && unit < 32; ++unit) {
        glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
        const bool on = glIsEnabled(GL_TEXTURE_2D);
        glActiveTextureARB(GL_TEXTURE0_ARB);
        if (on)
            state.enableOnUnit(unit, GL_TEXTURE_2D, false);
    }
}

// While it lives, the bound texture samples GL_NEAREST when its run lands texel for pixel: such
// quads read exactly the texels linear filtering reads, and llvmpipe samples them much faster. Only
// a texture exactly width x height is drawn at its own size; a stretched one keeps its filters.
class CNearestSampling {
public:
    CNearestSampling(bool texelForPixel, float width, float height)
    {
        if (!texelForPixel)
            return;
        GLint textureWidth = 0, textureHeight = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &textureHeight);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        changed = float(textureWidth) == width && float(textureHeight) == height &&
                  (minFilter == GL_LINEAR || magFilter == GL_LINEAR);
        if (changed) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        }
    }
    ~CNearestSampling()
    {
        if (!changed)
            return;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    }

private:
    CNearestSampling(const CNearestSampling&) = delete;
    CNearestSampling& operator=(const CNearestSampling&) = delete;

    GLint minFilter = GL_NEAREST, magFilter = GL_NEAREST;
    bool changed = false;
};

// The bound texture's size in texels.
void boundTextureSize(float& width, float& height)
{
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    width = float(w);
    height = float(h);
}

}  // namespace

CSpriteBatch::CSpriteBatch()
    : quadCount(0),
      drawCalls(0),
      elementCalls(0)
{
}

bool CSpriteBatch::screenQuadsLandTexelForPixel(const Run& run, float width, float height) const
{
    // The corners in kScreenCornerIsRight/IsBottom order: 0 bottom-left, 1 bottom-right, 3 top-left.
    const Vertex* const end = vertices.data() + (run.first + run.count) * 4;
    for (const Vertex* v = vertices.data() + run.first * 4; v != end; v += 4) {
        const float across = (v[1].s - v[0].s) * width, down = (v[0].t - v[3].t) * height;
        if (!wholeTexel(v[0].s * width) || !wholeTexel(v[3].t * height) ||
            !sameTexels(std::fabs(across), v[1].x - v[0].x) || !sameTexels(std::fabs(down), v[0].y - v[3].y))
            return false;
    }
    return true;
}

void CSpriteBatch::begin()
{
    vertices.clear();
    runs.clear();
    innerCorners.clear();
    quadCount = 0;
}

CSpriteBatch::Vertex* CSpriteBatch::appendQuad(unsigned texture, bool windowPixels, bool texelForPixel,
                                               float width, float height)
{
    if (runs.empty() || runs.back().texture != texture || runs.back().windowPixels != windowPixels)
        runs.push_back(Run{texture, windowPixels, texelForPixel, width, height, vertices.size() / 4, 0});
    Run& run = runs.back();
    run.texelForPixel = run.texelForPixel && texelForPixel && run.width == width && run.height == height;
    ++run.count;
    ++quadCount;
    vertices.resize(vertices.size() + 4);
    return &vertices[vertices.size() - 4];
}

void CSpriteBatch::add(const CTexture& texture, float x, float y, float scale, float angle, float red, float green,
                       float blue, float alpha)
{
    addRegion(texture, x, y, kWholeImage, scale, angle, red, green, blue, alpha);
}

void CSpriteBatch::addRegion(const CTexture& texture, float x, float y, const CTextureRegion& region, float scale,
                             float angle, float red, float green, float blue, float alpha)
{
    if (texture.id == 0)
        return;
    const float w = (region.right - region.left) * texture.width;
    const float h = (region.top - region.bottom) * texture.height;
    const float s[2] = {region.left, region.right};
    // A render target's rows run bottom-up: there t counts from the picture's bottom edge.
    const float t[2] = {texture.rowsBottomUp ? region.top : 1.0f - region.top,
                        texture.rowsBottomUp ? region.bottom : 1.0f - region.bottom};
    const bool texelForPixel = angle == 0.0f && scale == 1.0f && whole(x) && whole(y) &&
                               wholeTexel(region.left * texture.width) && wholeTexel(w) &&
                               wholeTexel(t[0] * texture.height) && wholeTexel(h);
    Vertex* v = appendPlaced(texture, x, y, w, h, scale, angle, texelForPixel, red, green, blue, alpha);
    for (int i = 0; i < 4; ++i) {
        v[i].s = s[kQuadCorners[i][0] != 0.0f];
        v[i].t = t[kQuadCorners[i][1] != 0.0f];
    }
}

void CSpriteBatch::addAtlasRegion(const CAtlasRegion& region, float x, float y, float scale, float angle,
                                  float red, float green, float blue, float alpha)
{
    if (!CTextureAtlas::usable(region) || region.texture->id == 0)
        return;
    const CTexture& texture = *region.texture;
    const CTextureRegion& exact = region.region;
    const float top = texture.rowsBottomUp ? exact.top : 1.0f - exact.top;
    const bool texelForPixel = angle == 0.0f && scale == 1.0f && whole(x) && whole(y) &&
                               wholeTexel(exact.left * texture.width) && wholeTexel(top * texture.height) &&
                               whole(region.width) && whole(region.height);
    Vertex* v = appendPlaced(texture, x, y, region.width, region.height, scale, angle, texelForPixel, red, green,
                             blue, alpha);
    float s[4], t[4];
    cornerCoordinates(texture, texelForPixel ? exact : region.inner, region.rotated, s, t);
    for (int i = 0; i < 4; ++i) {
        v[i].s = s[i];
        v[i].t = t[i];
    }
    const CTextureRegion& inner = region.inner;
    if (texelForPixel && (inner.left != exact.left || inner.right != exact.right || inner.top != exact.top ||
                          inner.bottom != exact.bottom)) {
        InnerCorners corners{std::size_t(v - vertices.data()), {}, {}};
        cornerCoordinates(texture, inner, region.rotated, corners.s, corners.t);
        innerCorners.push_back(corners);
    }
}

CSpriteBatch::Vertex* CSpriteBatch::appendPlaced(const CTexture& texture, float x, float y, float w, float h,
                                                 float scale, float angle, bool texelForPixel, float red,
                                                 float green, float blue, float alpha)
{
    // The matrix CTexture::draw builds: translate, scale, then rotate about the centre. Composed the
    // way GL composes it, so that vertices land on the same sub-pixel positions.
    float a = scale, b = 0.0f, c = 0.0f, d = scale, tx = x, ty = y;
    if (angle != 0.0f) {
        const double radians = double(angle) * M_PI / 180.0;
        const float sine = float(std::sin(radians));
        const float cosine = float(std::cos(radians));
        tx += scale * (w * 0.5f);
        ty += scale * (h * 0.5f);
        a = scale * cosine;
        b = -scale * sine;
        c = scale * sine;
        d = scale * cosine;
        tx += a * (-w * 0.5f) + b * (-h * 0.5f);
        ty += c * (-w * 0.5f) + d * (-h * 0.5f);
    }
    Vertex* v = appendQuad(texture.id, false, texelForPixel, texture.width, texture.height);
    for (int i = 0; i < 4; ++i) {
        const float px = kQuadCorners[i][0] * w, py = kQuadCorners[i][1] * h;
        v[i] = Vertex{a * px + b * py + tx, c * px + d * py + ty, 0.0f, 0.0f, red, green, blue, alpha};
    }
    return v;
}

void CSpriteBatch::addFlippedRegion(const CTexture& texture, float x, float y, float width, float height,
                                    const CTextureRegion& region, bool flipX, bool flipY, bool swapAxes, float red,
                                    float green, float blue, float alpha)
{
    if (texture.id == 0)
        return;
    const float w = (region.right - region.left) * texture.width;
    const float h = (region.top - region.bottom) * texture.height;
    const float s[2] = {region.left, region.right};
    const float t[2] = {texture.rowsBottomUp ? region.top : 1.0f - region.top,
                        texture.rowsBottomUp ? region.bottom : 1.0f - region.bottom};
    // A mirror or a quarter turn of whole texels still puts one texel on each pixel.
    const bool texelForPixel = whole(x) && whole(y) && wholeTexel(region.left * texture.width) && wholeTexel(w) &&
                               wholeTexel(t[0] * texture.height) && wholeTexel(h) && whole(width) &&
                               whole(height) && sameTexels(width, swapAxes ? h : w) &&
                               sameTexels(height, swapAxes ? w : h);
    Vertex* v = appendQuad(texture.id, false, texelForPixel, texture.width, texture.height);
    for (int i = 0; i < 4; ++i) {
        const float u = kQuadCorners[i][0], vv = kQuadCorners[i][1];
        // Which corner of the region this corner of the quad shows: undo the flips, then the swap.
        float su = flipX ? 1.0f - u : u, sv = flipY ? 1.0f - vv : vv;
        if (swapAxes)
            std::swap(su, sv);
        v[i] = Vertex{x + u * width, y + vv * height, s[su != 0.0f], t[sv != 0.0f], red, green, blue, alpha};
    }
}

void CSpriteBatch::addScreenQuads(const CScreenQuad* quads, std::size_t count, float x, float y, float red,
                                  float green, float blue, float alpha, float scaleX, float scaleY)
{
    // Whether a quad lands texel for pixel is settled at end(), where its texture's size is known.
    const bool wholePlace = scaleX == 1.0f && scaleY == 1.0f && whole(x) && whole(y);
    for (std::size_t n = 0; n < count && quads != nullptr; ++n) {
        const CScreenQuad& q = quads[n];
        Vertex* v =
            appendQuad(q.texture, true, wholePlace && whole(q.x0) && whole(q.y0) && whole(q.x1) && whole(q.y1));
        for (int i = 0; i < 4; ++i) {
            const bool right = kScreenCornerIsRight[i], bottom = kScreenCornerIsBottom[i];
            v[i] = Vertex{x + scaleX * (right ? q.x1 : q.x0),
                          y + scaleY * (bottom ? q.y1 : q.y0),
                          right ? q.s1 : q.s0,
                          bottom ? q.t1 : q.t0,
                          red,
                          green,
                          blue,
                          alpha};
        }
    }
}

void CSpriteBatch::end()
{
    drawCalls = 0;
    elementCalls = 0;
    if (runs.empty())
        return;

    if (GLEW_ARB_shader_objects)
        glUseProgramObjectARB(0);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    // Everything changed below goes through the scope, which puts the application's state back.
    CGLStateScope state;
    CRunState runState(state);
    const bool wholePixels = movesByWholePixels();
    // Moved by a fraction of a pixel, no quad lands texel for pixel: the atlas quads placed so
    // sample their inner regions after all.
    if (!wholePixels)
        for (const InnerCorners& corners : innerCorners)
            for (std::size_t i = 0; i < 4; ++i) {
                vertices[corners.vertex + i].s = corners.s[i];
                vertices[corners.vertex + i].t = corners.t[i];
            }
    useUnitZeroOnly(state);
    state.enable(GL_TEXTURE_2D, true);
    state.texEnvMode(GL_MODULATE);
    state.enable(GL_LIGHTING, false);

    // Two indexed triangles per quad, split along the diagonal GL_QUADS is split along: Mesa turns
    // GL_QUADS into triangles on the CPU at every draw, which cost a third of the frame with
    // thousands of glyphs. The indices only depend on the quad's number, so they are made once.
    for (std::size_t quad = quadIndices.size() / 6; quad < quadCount; ++quad) {
        const unsigned first = unsigned(quad * 4);
        quadIndices.insert(quadIndices.end(), {first, first + 1, first + 3, first + 1, first + 2, first + 3});
    }
    state.bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    state.bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
    state.clientActiveTexture(GL_TEXTURE0_ARB);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &vertices[0].x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &vertices[0].s);
    glColorPointer(4, GL_FLOAT, sizeof(Vertex), &vertices[0].red);

    for (const Run& run : runs) {
        glBindTexture(GL_TEXTURE_2D, run.texture);
        if (run.windowPixels) {
            runState.forWindowPixels();
            state.pushWindowPixels();  // window-pixel quads, whatever the application's matrices
        } else {
            runState.forQuads();
        }
        // The drawn size is the image's own only when the texture really is that large. Window-pixel
        // quads are checked against their texture here: they do not know its size.
        float width = run.width, height = run.height;
        bool texelForPixel = run.texelForPixel && (run.windowPixels || wholePixels);
        if (texelForPixel && run.windowPixels) {
            boundTextureSize(width, height);
            texelForPixel = screenQuadsLandTexelForPixel(run, width, height);
        }
        CNearestSampling nearest(texelForPixel, width, height);
        for (std::size_t first = run.first; first < run.first + run.count; first += kMaxQuadsPerDraw) {
            const std::size_t count = std::min(kMaxQuadsPerDraw, run.first + run.count - first);
            glDrawElements(GL_TRIANGLES, GLsizei(count * 6), GL_UNSIGNED_INT, &quadIndices[first * 6]);
            ++elementCalls;
        }
        ++drawCalls;
        if (run.windowPixels)
            CGLStateScope::popWindowPixels();
    }
    glPopClientAttrib();
    state.restore();
    // The colour array leaves the current colour undefined; CTexture::draw leaves it white.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    vertices.clear();
    runs.clear();
    innerCorners.clear();
}

bool CSpriteBatch::matricesMoveByWholePixels()
{
    return movesByWholePixels();
}

std::size_t CSpriteBatch::getQuadCount() const
{
    return quadCount;
}

std::size_t CSpriteBatch::getDrawCallCount() const
{
    return drawCalls;
}

std::size_t CSpriteBatch::getElementCallCount() const
{
    return elementCalls;
}
