#include "engine/text/Font.h"

#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/text/FaceCache.h"
#include "engine/text/FontFace.h"
#include "engine/text/GlyphSheetLayout.h"
#include "engine/text/TextLayout.h"
#include "engine/texture/ImageLimits.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// How much of text (length bytes) fits in limit bytes without cutting a UTF-8 character: a sequence
// the limit would cut is left out whole. Malformed bytes are cut where they stand; each is a glyph of
// the sheet of its own.
std::size_t wholeCharacters(const char* text, std::size_t length, std::size_t limit)
{
    if (length <= limit)
        return length;
    // The byte at the limit is the first one left out: when it continues a sequence, go back to the
    // sequence's first byte (at most three continuation bytes before it).
    std::size_t lead = limit;
    while (lead > 0 && limit - lead < 3 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80)
        --lead;
    const unsigned char first = static_cast<unsigned char>(text[lead]);
    std::size_t sequence = 1;
    if (first >= 0xC0 && first < 0xE0)
        sequence = 2;
    else if (first >= 0xE0 && first < 0xF0)
        sequence = 3;
    else if (first >= 0xF0 && first < 0xF8)
        sequence = 4;
    return lead + sequence > limit ? lead : limit;
}

// printf into a string of any length. An argument may point at the string the result replaces.
std::string formatted(const char* format, va_list arguments)
{
    char small[256];
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(small, sizeof(small), format, copy);
    va_end(copy);
    if (length < 0)
        return std::string();
    if (std::size_t(length) < sizeof(small))
        return std::string(small, std::size_t(length));
    std::vector<char> large(std::size_t(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, arguments);
    return std::string(large.data(), std::size_t(length));
}

}  // namespace

// The faces of a TrueType font by pixel size and set (false: regular, true: bold).
struct CFont::TrueType {
    CFaceCache faces;
};

CFont::CFont()
    : listBase(0),
      scaleX(1.0f),
      scaleY(1.0f),
      colourRed(1.0f),
      colourBlue(1.0f),
      colourGreen(1.0f),
      colourAlpha(1.0f),
      shader(nullptr),
      text{},
      printState(new CGLStateScope()),
      glyphs{}
{
}

CFont::~CFont()
{
    deleteGlyphLists();
}

bool CFont::deleteGlyphLists()
{
    // Lists of a context that has closed went with it: their names may be the next context's now.
    if (listBase != 0 && CGLStateScope::hasContext() && builtGeneration == CGLStateScope::contextGeneration())
        glDeleteLists(listBase, 256);
    listBase = 0;
    return true;
}

bool CFont::buildFont(const char* path)
{
    // Made before the window (a class member, say): nothing can be built yet, and that is no
    // reason to end the program.
    if (!CGLStateScope::hasContext()) {
        CLog::line(std::string("Could not build the font (") + CGLStateScope::noContextText() +
                   "): " + (path ? path : ""));
        return false;
    }
    const std::string name = path ? path : "";
    const std::string found = CDataFiles::find(name);
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    bool loaded = false;
    if (!found.empty()) {
        loaded = glyphImage.load(found.c_str());
    } else if (CDataFiles::builtIn(name, &data, &size)) {
        CDataFiles::noteBuiltIn(name);
        loaded = glyphImage.loadFromMemory(name.c_str(), data, size);
    } else {
        loaded = glyphImage.load(path);
        if (!loaded && !name.empty())
            CLog::line(CDataFiles::placesLookedLine(name));
    }
    if (!loaded) {
        // Without its glyph sheet the engine cannot print anything; the reader said why.
        SDL_Quit();
        std::exit(1);
    }
    // A sheet built again leaves nothing of what was built before (lists or faces).
    if (listBase != 0)
        deleteGlyphLists();
    trueType.reset();
    revision = CFaceCache::nextStamp();
    cellSize = 16;
    penAdvance = 12;
    listBase = glGenLists(256);
    if (listBase == 0) {
        // No 256 free list names in a row: building anyway would overwrite lists 1 to 255 that
        // belong to others. As unusable as a sheet that cannot be read.
        CLog::line(std::string("Could not create the display lists for the font: ") + (path ? path : ""));
        SDL_Quit();
        std::exit(1);
    }
    builtGeneration = CGLStateScope::contextGeneration();
    refusalWritten = false;
    glBindTexture(GL_TEXTURE_2D, glyphImage.textureName);
    compileGlyphLists();
    shader = g_pShaderManager ? g_pShaderManager->getShader(0) : nullptr;
    return true;
}

void CFont::compileGlyphLists()
{
    for (int g = 0; g < 256; ++g) {
        float s0, s1, tBottom, tTop;
        CGlyphSheetLayout::cellCoordinates(g, s0, s1, tBottom, tTop);
        glNewList(listBase + GLuint(g), GL_COMPILE);
        glBegin(GL_QUADS);
        glTexCoord2f(s0, tBottom);
        glVertex2i(0, cellSize);
        glTexCoord2f(s1, tBottom);
        glVertex2i(cellSize, cellSize);
        glTexCoord2f(s1, tTop);
        glVertex2i(cellSize, 0);
        glTexCoord2f(s0, tTop);
        glVertex2i(0, 0);
        glEnd();
        glTranslated(double(penAdvance), 0.0, 0.0);
        glEndList();
    }
}

bool CFont::buildTrueTypeFont(const char* regularPath, const char* boldPath, int cell)
{
    const std::string regular = regularPath ? regularPath : "";
    const std::string bold = boldPath ? boldPath : regular;
    // Without a context no glyph could ever reach a page.
    if (!CGLStateScope::hasContext()) {
        CLog::line("Failed to load the font: " + regular + ", Error: " + CGLStateScope::noContextText());
        return false;
    }
    // Both faces first: a failure leaves the font as it was.
    std::unique_ptr<TrueType> made(new TrueType{CFaceCache(regular, bold)});
    for (const bool isBold : {false, true}) {
        std::string error;
        const std::string& path = isBold ? bold : regular;
        std::unique_ptr<CFontFace> face = CFontFace::load(path, cell, error);
        if (face == nullptr) {
            CLog::line("Failed to load the font: " + path + ", Error: " + error);
            return false;
        }
        made->faces.adopt(isBold, std::move(face));
    }
    // The glyph lists of a sheet this font had are given back; TrueType text needs none.
    if (listBase != 0)
        deleteGlyphLists();
    trueType = std::move(made);
    revision = CFaceCache::nextStamp();
    builtGeneration = CGLStateScope::contextGeneration();
    refusalWritten = false;
    cellSize = cell;
    shader = g_pShaderManager ? g_pShaderManager->getShader(0) : nullptr;
    return true;
}

bool CFont::isLoaded() const
{
    return listBase != 0 || trueType != nullptr;
}

bool CFont::isTrueType() const
{
    return trueType != nullptr;
}

CFontFace* CFont::getFace(int pixelSize, bool bold) const
{
    return trueType != nullptr ? trueType->faces.get(pixelSize, bold) : nullptr;
}

std::size_t CFont::getPageCount() const
{
    return trueType != nullptr ? trueType->faces.getPageCount() : 0;
}

uint64_t CFont::ownRevision() const
{
    return std::max(revision, trueType != nullptr ? trueType->faces.getStamp() : 0);
}

uint64_t CFont::getRevision() const
{
    // Only the fallback's own faces: a layout never reaches the fallback's fallback.
    return std::max(ownRevision(), fallback != nullptr ? fallback->ownRevision() : 0);
}

bool CFont::canDraw()
{
    if (listBase == 0 && trueType == nullptr)
        return false;
    const bool here = CGLStateScope::hasContext();
    if (here && builtGeneration == CGLStateScope::contextGeneration())
        return true;
    if (!refusalWritten)
        CLog::line(here ? "Could not draw the text: its font was built for an OpenGL window that has closed, "
                          "build the font again"
                        : std::string("Could not draw the text (") + CGLStateScope::noContextText() + ")");
    refusalWritten = true;
    return false;
}

void CFont::setFallback(CFont* other)
{
    CFont* chosen = other == this ? nullptr : other;
    if (chosen != fallback)
        revision = CFaceCache::nextStamp();
    fallback = chosen;
}

CFont* CFont::getFallback() const
{
    return fallback;
}

bool CFont::layOut(const char* utf8, int set, CTextLayout& layout) const
{
    CFontFace* face = getFace(cellSize, set == 1);
    if (face == nullptr)
        return false;
    CFontFace* standIn = fallback != nullptr ? fallback->getFace(cellSize, set == 1) : nullptr;
    layout.lay(*face, standIn, utf8, CTextLayout::kLeft, 0.0f);
    return true;
}

bool CFont::setScale(float x, float y)
{
    scaleX = x;
    scaleY = y;
    return true;
}

void CFont::setColour(float red, float green, float blue, float alpha)
{
    colourRed = red;
    colourGreen = green;
    colourBlue = blue;
    colourAlpha = alpha;
}

void CFont::setColourFields(float first, float second, float third, float fourth)
{
    colourRed = first;
    colourBlue = second;
    colourGreen = third;
    colourAlpha = fourth;
}

const char* CFont::getText() const
{
    return printed.c_str();
}

CVector2 CFont::measureText(const char* textToMeasure, signed char style) const
{
    return measureText(textToMeasure, style, scaleX, scaleY);
}

CVector2 CFont::measureText(const char* textToMeasure, signed char style, float sx, float sy) const
{
    if (textToMeasure == nullptr || sx == 0.0f || sy == 0.0f)
        return CVector2();
    const int s = CGlyphSheetLayout::clampStyle(style);
    const int set = CGlyphSheetLayout::setOfStyle(s);
    if (trueType != nullptr) {
        CTextLayout layout;
        if (!layOut(textToMeasure, set, layout) || layout.getQuads().empty())
            return CVector2();
        return CVector2(std::fabs(sx) * (layout.right - layout.left) + (s > 1 ? 1.0f : 0.0f),
                        std::fabs(sy) * (layout.bottom - layout.top));
    }
    // One byte past the field tells whether the field's last character is whole.
    const std::size_t length =
        wholeCharacters(textToMeasure, strnlen(textToMeasure, kMaxTextLength + 1), std::size_t(kMaxTextLength));
    int count = 0;
    for (std::size_t i = 0; i < length; ++i)
        if (CGlyphSheetLayout::namesGlyph(textToMeasure[i], set))
            ++count;
    if (count == 0)
        return CVector2();
    // The bold copy is placed one unscaled pixel to the right before the scale applies.
    const float width = std::fabs(sx) * float(penAdvance * (count - 1) + cellSize) + (s > 1 ? 1.0f : 0.0f);
    return CVector2(width, std::fabs(sy) * float(cellSize));
}

bool CFont::print(int x, int y, signed char style, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    formatAndDraw(float(x), float(y), float(int64_t(x) + 1), style, colourRed, colourGreen, colourBlue,
                  colourAlpha, scaleX, scaleY, false, format, arguments);
    va_end(arguments);
    return true;
}

bool CFont::printColoured(int x, int y, signed char style, float red, float green, float blue, const char* format,
                          ...)
{
    va_list arguments;
    va_start(arguments, format);
    formatAndDraw(float(x), float(y), float(int64_t(x) + 1), style, red, green, blue, 1.0f, scaleX, scaleY, false,
                  format, arguments);
    va_end(arguments);
    return true;
}

bool CFont::printAt(float x, float y, signed char style, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    formatAndDraw(x, y, x + 1.0f, style, colourRed, colourGreen, colourBlue, colourAlpha, scaleX, scaleY, true,
                  format, arguments);
    va_end(arguments);
    return true;
}

bool CFont::printStyled(int x, int y, signed char style, float red, float green, float blue, float alpha, float sx,
                        float sy, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    formatAndDraw(float(x), float(y), float(int64_t(x) + 1), style, red, green, blue, alpha, sx, sy, false, format,
                  arguments);
    va_end(arguments);
    return true;
}

void CFont::formatAndDraw(float x, float y, float secondX, signed char style, float red, float green, float blue,
                          float alpha, float sx, float sy, bool placeBoldWithOffset, const char* format,
                          va_list arguments)
{
    if (format == nullptr || !canDraw())
        return;
    std::string whole = formatted(format, arguments);
    const std::size_t field = wholeCharacters(whole.c_str(), whole.size(), std::size_t(kMaxTextLength));
    std::memcpy(text, whole.data(), field);
    text[field] = '\0';
    if (trueType == nullptr)
        whole.resize(field);
    printed.swap(whole);

    const int s = CGlyphSheetLayout::clampStyle(style);
    const int set = CGlyphSheetLayout::setOfStyle(s);
    if (trueType != nullptr) {
        CTextLayout layout;
        if (!layOut(printed.c_str(), set, layout))
            return;
        drawLayout(layout, x, y, red, green, blue, alpha, sx, sy);
        if (s > 1)
            drawLayout(layout, secondX, y, red, green, blue, alpha, sx, sy);
        return;
    }
    // Only bytes that name a glyph of this font: other list names may belong to another font.
    std::size_t count = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (CGlyphSheetLayout::namesGlyph(*c, set))
            glyphs[count++] = *c;
    }
    glyphs[count] = '\0';
    const GLuint base = listBase - 32u + 128u * GLuint(set);

    beginPrint();
    glBindTexture(GL_TEXTURE_2D, glyphImage.textureName);
    drawPass(x, y, base, red, green, blue, alpha, sx, sy, false);
    if (s > 1)
        drawPass(secondX, y, base, red, green, blue, alpha, sx, sy, placeBoldWithOffset);
    endPrint();
}

void CFont::beginPrint()
{
    CGLStateScope& state = *printState;
    GLint active = GL_TEXTURE0_ARB;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    activeUnit = int(active - GL_TEXTURE0_ARB);
    // Unit 0, which the shader samples, whatever unit a bindToUnit() left active: its texturing is
    // turned on (and back) there, never on the unit that was active.
    state.enableOnUnit(0, GL_TEXTURE_2D, true);
    state.enable(GL_DEPTH_TEST, false);
    state.enable(GL_BLEND, true);
    state.enable(GL_SCISSOR_TEST, true);
    state.enable(GL_LIGHTING, false);
    state.blendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    state.pushWindowPixels();
    glActiveTextureARB(GL_TEXTURE0_ARB);
}

void CFont::endPrint()
{
    glBindTexture(GL_TEXTURE_2D, 0);
    CGLStateScope::popWindowPixels();
    printState->restore();
    glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + activeUnit));
}

void CFont::drawLayout(const CTextLayout& layout, float x, float y, float red, float green, float blue,
                       float alpha, float sx, float sy)
{
    const std::vector<CTextQuad>& quads = layout.getQuads();
    if (quads.empty() || !canDraw())
        return;
    beginPrint();
    glLoadIdentity();
    glTranslatef(x, y, 0.0f);
    glScalef(sx, sy, 1.0f);
    const bool programmed = shader != nullptr && shader->getProgram() != 0;
    if (programmed) {
        shader->enable();
        glUniform4fARB(glGetUniformLocationARB(shader->getProgram(), "colors"), red, green, blue, alpha);
    } else {
        glColor4f(red, green, blue, alpha);
    }
    // One glBegin per run of quads on the same page; bottom-left, bottom-right, top-right,
    // top-left on screen, the glyph lists' winding.
    for (std::size_t first = 0; first < quads.size();) {
        std::size_t end = first;
        while (end < quads.size() && quads[end].texture == quads[first].texture)
            ++end;
        glBindTexture(GL_TEXTURE_2D, quads[first].texture);
        glBegin(GL_QUADS);
        for (std::size_t i = first; i < end; ++i) {
            const CTextQuad& q = quads[i];
            glTexCoord2f(q.s0, q.t1);
            glVertex2f(q.x0, q.y1);
            glTexCoord2f(q.s1, q.t1);
            glVertex2f(q.x1, q.y1);
            glTexCoord2f(q.s1, q.t0);
            glVertex2f(q.x1, q.y0);
            glTexCoord2f(q.s0, q.t0);
            glVertex2f(q.x0, q.y0);
        }
        glEnd();
        first = end;
    }
    if (programmed)
        shader->disable();
    else
        glColor3f(1.0f, 1.0f, 1.0f);
    endPrint();
}

void CFont::drawPass(float x, float y, unsigned int base, float red, float green, float blue, float alpha,
                     float sx, float sy, bool withOffset)
{
    const bool programmed = shader != nullptr && shader->getProgram() != 0;
    glLoadIdentity();
    // The bold pass of printAt is placed by "tpos", which the shader adds after the model-view
    // transform; translating as well would put it at twice its position.
    // A program without a "tpos" uniform (location -1) cannot place it: translate instead.
    const GLint tpos = programmed ? glGetUniformLocationARB(shader->getProgram(), "tpos") : -1;
    const bool offsetByShader = withOffset && programmed && tpos != -1;
    if (!offsetByShader)
        glTranslatef(x, y, 0.0f);
    glListBase(base);
    glScalef(sx, sy, 1.0f);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    if (programmed) {
        shader->enable();
        const GLhandleARB program = shader->getProgram();
        if (offsetByShader)
            glUniform3fARB(tpos, x, y, 0.0f);
        glUniform4fARB(glGetUniformLocationARB(program, "colors"), red, green, blue, alpha);
    } else {
        glColor4f(red, green, blue, alpha);
    }
    glCallLists(GLsizei(std::strlen(glyphs)), GL_UNSIGNED_BYTE, glyphs);
    if (programmed) {
        // Later draws through the same program must not be shifted.
        if (offsetByShader)
            glUniform3fARB(tpos, 0.0f, 0.0f, 0.0f);
        shader->disable();
    } else {
        glColor3f(1.0f, 1.0f, 1.0f);
    }
}

struct CFont::BatchText {
    CGlyphSheetLayout sheet;  // keeps the glyph boxes of each sheet seen
    std::vector<CTextQuad> quads;
    CTextLayout layout;
};

void CFont::addTo(CSpriteBatch& batch, float x, float y, signed char style, const char* text) const
{
    addTo(batch, x, y, style, colourRed, colourGreen, colourBlue, colourAlpha, scaleX, scaleY, text);
}

void CFont::addTo(CSpriteBatch& batch, float x, float y, signed char style, float red, float green, float blue,
                  float alpha, float sx, float sy, const char* text) const
{
    const int s = CGlyphSheetLayout::clampStyle(style);
    const int set = CGlyphSheetLayout::setOfStyle(s);
    if (text == nullptr)
        return;
    if (batchText == nullptr)
        batchText.reset(new BatchText());
    const std::vector<CTextQuad>* quads = &batchText->quads;
    if (isTrueType()) {
        if (!layOut(text, set, batchText->layout))
            return;
        quads = &batchText->layout.getQuads();
    } else {
        if (glyphImage.textureName == 0)
            return;
        batchText->quads.clear();
        batchText->sheet.layOut(*this, text, set, batchText->quads);
    }
    batch.addScreenQuads(quads->data(), quads->size(), x, y, red, green, blue, alpha, sx, sy);
    // The bold pass: the same glyphs one window pixel to the right.
    if (s > 1)
        batch.addScreenQuads(quads->data(), quads->size(), x + 1.0f, y, red, green, blue, alpha, sx, sy);
}
