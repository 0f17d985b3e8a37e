#include "engine/sprite/SpriteBatch.h"

#include "engine/text/Font.h"
#include "engine/text/TextLayout.h"
#include "engine/texture/Texture.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const CTextureRegion kWholeImage = {1.0f, 1.0f, 0.0f, 0.0f};

// The corners of a quad in the order CTexture::draw sends them, as fractions of its width and
// height from the top-left corner: bottom-left, bottom-right, top-right, top-left, the glyphs'
// winding. The order decides the winding (and so face culling); keep it the per-draw path's.
const float kQuadCorners[4][2] = {{0.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, 0.0f}, {0.0f, 0.0f}};

// The glyph quad of a font's display list: corners in cell units (cellSize by cellSize, 16 for a
// sheet font) and which texture edge each corner takes, in the list's order. The pen moves by the
// font's penAdvance (12 for a sheet font).
const bool kGlyphCornerIsRight[4] = {false, true, true, false};
const bool kGlyphCornerIsBottom[4] = {true, true, false, false};

// Exact at both ends, so an untrimmed glyph gets the display list's coordinates bit for bit.
float mix(float a, float b, float f)
{
    return (1.0f - f) * a + f * b;
}

// The texture coordinates of glyph cell g, as the font's display lists have them.
void cellCoordinates(int glyph, float& s0, float& s1, float& tBottom, float& tTop)
{
    const float column = float(glyph % 16);
    const float row = float(glyph / 16);
    s0 = column / 16.0f;
    s1 = s0 + 0.0625f;
    tBottom = 1.0f - row / 16.0f - 0.0625f;
    tTop = 1.0f - row / 16.0f - 0.001f;
}

// The scissor box only matters when it cuts into the viewport.
bool scissorClips()
{
    GLint box[4], viewport[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    glGetIntegerv(GL_VIEWPORT, viewport);
    return box[0] > viewport[0] || box[1] > viewport[1] ||
           box[0] + box[2] < viewport[0] + viewport[2] || box[1] + box[3] < viewport[1] + viewport[3];
}

bool whole(float value)
{
    return value == std::floor(value);
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
    if (!near(m[1], 0.0f) || !near(m[4], 0.0f) || !near(m[3], 0.0f) || !near(m[7], 0.0f) ||
        !near(m[15], 1.0f) || !near(std::fabs(m[0] * halfWidth), 1.0f) ||
        !near(std::fabs(m[5] * halfHeight), 1.0f))
        return false;
    const float offsetX = (m[12] + 1.0f) * halfWidth, offsetY = (m[13] + 1.0f) * halfHeight;
    return near(offsetX, std::round(offsetX)) && near(offsetY, std::round(offsetY));
}

void setEnabled(GLenum capability, bool on)
{
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

} // namespace

CSpriteBatch::CSpriteBatch()
    : quadCount(0),
      drawCalls(0)
{
}

void CSpriteBatch::begin()
{
    vertices.clear();
    runs.clear();
    quadCount = 0;
}

CSpriteBatch::Vertex* CSpriteBatch::appendQuad(unsigned texture, bool windowPixels,
                                               bool texelForPixel, float width, float height)
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

void CSpriteBatch::add(const CTexture& texture, float x, float y, float scale, float angle,
                       float red, float green, float blue, float alpha)
{
    addRegion(texture, x, y, kWholeImage, scale, angle, red, green, blue, alpha);
}

void CSpriteBatch::addRegion(const CTexture& texture, float x, float y, const CTextureRegion& region,
                             float scale, float angle, float red, float green, float blue,
                             float alpha)
{
    if (texture.id == 0)
        return;
    const float w = (region.right - region.left) * texture.width;
    const float h = (region.top - region.bottom) * texture.height;

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

    const float s[2] = {region.left, region.right};
    // A render target's rows run bottom-up: there t counts from the picture's bottom edge.
    const float t[2] = {texture.rowsBottomUp ? region.top : 1.0f - region.top,
                        texture.rowsBottomUp ? region.bottom : 1.0f - region.bottom};
    const bool texelForPixel = angle == 0.0f && scale == 1.0f && whole(x) && whole(y) &&
                               whole(region.left * texture.width) && whole(w) &&
                               whole(t[0] * texture.height) && whole(h);
    Vertex* v = appendQuad(texture.id, false, texelForPixel, texture.width, texture.height);
    for (int i = 0; i < 4; ++i) {
        const float u = kQuadCorners[i][0], vv = kQuadCorners[i][1];
        const float px = u * w, py = vv * h;
        v[i] = Vertex{a * px + b * py + tx, c * px + d * py + ty, s[u != 0.0f], t[vv != 0.0f],
                      red, green, blue, alpha};
    }
}

void CSpriteBatch::addText(const CFont& font, float x, float y, signed char style, const char* text)
{
    addText(font, x, y, style, font.colourRed, font.colourGreen, font.colourBlue, font.colourAlpha,
            font.scaleX, font.scaleY, text);
}

void CSpriteBatch::addText(const CFont& font, float x, float y, signed char style, float red,
                           float green, float blue, float alpha, float scaleX, float scaleY,
                           const char* text)
{
    const int s = style < 0 ? 0 : (style > 3 ? 3 : style);
    const int set = s > 1 ? s - 2 : s;
    if (text != nullptr && font.isTrueType()) {
        CTextLayout layout;
        if (!font.layOut(text, set, layout))
            return;
        addLayout(layout, x, y, red, green, blue, alpha, scaleX, scaleY);
        if (s > 1)
            addLayout(layout, x + 1.0f, y, red, green, blue, alpha, scaleX, scaleY);
        return;
    }
    if (text == nullptr || font.glyphImage.textureName == 0)
        return;
    addGlyphs(font, x, y, set, red, green, blue, alpha, scaleX, scaleY, text);
    // The bold pass: the same glyphs one window pixel to the right.
    if (s > 1)
        addGlyphs(font, x + 1.0f, y, set, red, green, blue, alpha, scaleX, scaleY, text);
}

void CSpriteBatch::addLayout(const CTextLayout& layout, float x, float y, float red, float green, float blue,
                             float alpha, float scaleX, float scaleY)
{
    for (const CTextQuad& q : layout.getQuads()) {
        Vertex* v = appendQuad(q.texture, true);
        for (int i = 0; i < 4; ++i) {
            const bool right = kGlyphCornerIsRight[i], bottom = kGlyphCornerIsBottom[i];
            v[i] = Vertex{x + scaleX * (right ? q.x1 : q.x0), y + scaleY * (bottom ? q.y1 : q.y0), right ? q.s1 : q.s0,
                          bottom ? q.t1 : q.t0, red, green, blue, alpha};
        }
    }
}

const std::vector<CSpriteBatch::GlyphBox>& CSpriteBatch::glyphBoxes(const CFont& font)
{
    const CTGAImage& sheet = font.glyphImage;
    for (const SheetBoxes& known : sheets)
        if (known.texture == sheet.textureName && known.pixels == sheet.pixels)
            return known.boxes;
    // Cell units are the quad's pixels; on a sheet of 16 cells of that size they are also texels.
    const int cell = font.cellSize;
    const float cellUnits = float(cell);
    const int sheetSize = 16 * cell;
    SheetBoxes measured{sheet.textureName, sheet.pixels,
                        std::vector<GlyphBox>(256, GlyphBox{0.0f, 0.0f, cellUnits, cellUnits, false})};
    // Only a sheet of the engine's layout with coverage in alpha can be measured; any other is
    // drawn in whole cells.
    if (sheet.pixels != nullptr && int(sheet.width) == sheetSize && int(sheet.height) == sheetSize &&
        sheet.bytesPerPixel == 4) {
        auto alphaAt = [&](int x, int y) {
            // The texture repeats, as GL_REPEAT wraps it for linear filtering at the sheet's edges.
            x = (x + sheetSize) % sheetSize;
            y = (y + sheetSize) % sheetSize;
            return sheet.pixels[(std::size_t(y) * std::size_t(sheetSize) + std::size_t(x)) * 4 + 3];
        };
        for (int glyph = 0; glyph < 256; ++glyph) {
            // Texel columns from the cell's left edge, texel rows from its bottom edge (the sheet
            // is stored bottom-up); one texel around the cell can bleed in through filtering.
            const int baseX = (glyph % 16) * cell;
            const int baseY = sheetSize - (glyph / 16 + 1) * cell;
            int minX = cell + 1, maxX = -2, minY = cell + 1, maxY = -2;
            for (int y = -1; y <= cell; ++y)
                for (int x = -1; x <= cell; ++x)
                    if (alphaAt(baseX + x, baseY + y) != 0) {
                        minX = std::min(minX, x);
                        maxX = std::max(maxX, x);
                        minY = std::min(minY, y);
                        maxY = std::max(maxY, y);
                    }
            GlyphBox& box = measured.boxes[std::size_t(glyph)];
            if (maxX < minX) {
                box.blank = true;
                continue;
            }
            // Linear filtering reaches texel k from sample positions within one texel of its
            // centre: (k - 0.5, k + 1.5). Another half texel keeps rounding on the safe side.
            float s0, s1, tBottom, tTop;
            cellCoordinates(glyph, s0, s1, tBottom, tTop);
            const float texelTop = tTop * float(sheetSize) - float(baseY);        // at y = 0
            const float texelBottom = tBottom * float(sheetSize) - float(baseY);  // at y = cell
            auto yOf = [&](float texelRow) {
                return cellUnits * (texelTop - texelRow) / (texelTop - texelBottom);
            };
            box.left = std::max(0.0f, std::floor(float(minX) - 1.0f));
            box.right = std::min(cellUnits, std::ceil(float(maxX) + 2.0f));
            box.top = std::max(0.0f, std::floor(yOf(float(maxY) + 2.0f)));
            box.bottom = std::min(cellUnits, std::ceil(yOf(float(minY) - 1.0f)));
            box.blank = box.left >= box.right || box.top >= box.bottom;
        }
    }
    sheets.push_back(std::move(measured));
    return sheets.back().boxes;
}

void CSpriteBatch::addGlyphs(const CFont& font, float x, float y, int set, float red, float green,
                             float blue, float alpha, float scaleX, float scaleY, const char* text)
{
    // The pen moves as the display lists move it: a translation of penAdvance units accumulated in
    // the scaled matrix after each glyph. Bytes outside the set are skipped without moving it.
    const std::vector<GlyphBox>& boxes = glyphBoxes(font);
    const float cellUnits = float(font.cellSize);
    const float advance = float(font.penAdvance);
    float penX = x;
    for (const char* c = text; *c != '\0'; ++c) {
        const int glyph = int(static_cast<unsigned char>(*c)) - 32 + 128 * set;
        if (glyph < 0 || glyph >= 256)
            continue;
        const GlyphBox& box = boxes[std::size_t(glyph)];
        if (!box.blank) {
            float s0, s1, tBottom, tTop;
            cellCoordinates(glyph, s0, s1, tBottom, tTop);
            const float xs[2] = {box.left, box.right}, ys[2] = {box.bottom, box.top};
            const float ss[2] = {mix(s0, s1, box.left / cellUnits), mix(s0, s1, box.right / cellUnits)};
            const float ts[2] = {mix(tTop, tBottom, box.bottom / cellUnits),
                                 mix(tTop, tBottom, box.top / cellUnits)};
            Vertex* v = appendQuad(font.glyphImage.textureName, true);
            for (int i = 0; i < 4; ++i) {
                const int right = kGlyphCornerIsRight[i], bottom = kGlyphCornerIsBottom[i] ? 0 : 1;
                v[i] = Vertex{scaleX * xs[right] + penX, scaleY * ys[bottom] + y, ss[right],
                              ts[bottom], red, green, blue, alpha};
            }
        }
        penX += scaleX * advance;
    }
}

void CSpriteBatch::end()
{
    drawCalls = 0;
    if (runs.empty())
        return;

    if (GLEW_ARB_shader_objects)
        glUseProgramObjectARB(0);
    glActiveTextureARB(GL_TEXTURE0_ARB);

    // What the application had, to put back afterwards.
    const bool texturing = glIsEnabled(GL_TEXTURE_2D);
    const bool lighting = glIsEnabled(GL_LIGHTING);
    const bool depth = glIsEnabled(GL_DEPTH_TEST);
    const bool scissor = glIsEnabled(GL_SCISSOR_TEST);
    const bool blend = glIsEnabled(GL_BLEND);
    GLint envMode = GL_MODULATE, depthFunc = GL_LESS, blendSrc = GL_ONE, blendDst = GL_ZERO;
    GLint matrixMode = GL_MODELVIEW, clientUnit = GL_TEXTURE0_ARB, arrayBuffer = 0, units = 1;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetIntegerv(GL_BLEND_SRC, &blendSrc);
    glGetIntegerv(GL_BLEND_DST, &blendDst);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &clientUnit);
    glGetIntegerv(GL_MAX_TEXTURE_UNITS_ARB, &units);
    if (GLEW_ARB_vertex_buffer_object)
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &arrayBuffer);
    const bool clips = scissorClips();
    const bool wholePixels = movesByWholePixels();

    // Shader 0 samples unit 0 only; the fixed-function pipeline would also apply the other units.
    unsigned otherUnits = 0;
    for (GLint unit = 1; unit < units && unit < 32; ++unit) {
        glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
        if (glIsEnabled(GL_TEXTURE_2D)) {
            otherUnits |= 1u << unit;
            glDisable(GL_TEXTURE_2D);
        }
    }
    glActiveTextureARB(GL_TEXTURE0_ARB);
    if (!texturing)
        glEnable(GL_TEXTURE_2D);
    if (envMode != GL_MODULATE)
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (lighting)
        glDisable(GL_LIGHTING);

    // Quads keep the application's blending and any depth or scissor test that can reject a
    // fragment; strings take a print's state.
    const bool quadDepth = depth && depthFunc != GL_ALWAYS;
    const bool quadScissor = scissor && clips;
    bool depthOn = depth, scissorOn = scissor, blendOn = blend;
    bool printBlendFunc = blendSrc == GL_SRC_ALPHA && blendDst == GL_ONE_MINUS_SRC_ALPHA;
    auto apply = [&](bool wantDepth, bool wantScissor, bool wantBlend) {
        if (depthOn != wantDepth)
            setEnabled(GL_DEPTH_TEST, depthOn = wantDepth);
        if (scissorOn != wantScissor)
            setEnabled(GL_SCISSOR_TEST, scissorOn = wantScissor);
        if (blendOn != wantBlend)
            setEnabled(GL_BLEND, blendOn = wantBlend);
    };

    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    if (arrayBuffer != 0)
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
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
            apply(false, clips, true);
            if (!printBlendFunc) {
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                printBlendFunc = true;
            }
            GLint viewport[4];
            glGetIntegerv(GL_VIEWPORT, viewport);
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glLoadIdentity();
            glOrtho(0.0, viewport[2], viewport[3], 0.0, -1.0, 1.0);
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glLoadIdentity();
        } else {
            apply(quadDepth, quadScissor, blend);
            if (printBlendFunc && !(blendSrc == GL_SRC_ALPHA && blendDst == GL_ONE_MINUS_SRC_ALPHA)) {
                glBlendFunc(GLenum(blendSrc), GLenum(blendDst));
                printBlendFunc = false;
            }
        }
        // The drawn size is the image's own only when the texture really is that large.
        GLint minFilter = GL_NEAREST, magFilter = GL_NEAREST;
        bool nearest = false;
        if (run.texelForPixel && wholePixels) {
            GLint textureWidth = 0, textureHeight = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &textureWidth);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &textureHeight);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
            glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
            nearest = float(textureWidth) == run.width && float(textureHeight) == run.height &&
                      (minFilter == GL_LINEAR || magFilter == GL_LINEAR);
            if (nearest) {
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            }
        }
        glDrawArrays(GL_QUADS, GLint(run.first * 4), GLsizei(run.count * 4));
        ++drawCalls;
        if (nearest) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
        }
        if (run.windowPixels) {
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
        }
    }

    glPopClientAttrib();
    glClientActiveTextureARB(GLenum(clientUnit));
    if (arrayBuffer != 0)
        glBindBufferARB(GL_ARRAY_BUFFER_ARB, GLuint(arrayBuffer));
    apply(depth, scissor, blend);
    glBlendFunc(GLenum(blendSrc), GLenum(blendDst));
    glMatrixMode(GLenum(matrixMode));
    if (lighting)
        glEnable(GL_LIGHTING);
    if (envMode != GL_MODULATE)
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
    if (!texturing)
        glDisable(GL_TEXTURE_2D);
    for (GLint unit = 1; otherUnits != 0 && unit < 32; ++unit) {
        if (otherUnits & (1u << unit)) {
            glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
            glEnable(GL_TEXTURE_2D);
        }
    }
    glActiveTextureARB(GL_TEXTURE0_ARB);
    // The colour array leaves the current colour undefined; CTexture::draw leaves it white.
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    vertices.clear();
    runs.clear();
}

std::size_t CSpriteBatch::getQuadCount() const
{
    return quadCount;
}

std::size_t CSpriteBatch::getDrawCallCount() const
{
    return drawCalls;
}
