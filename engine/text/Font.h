#ifndef ENGINE_TEXT_FONT_H
#define ENGINE_TEXT_FONT_H

#include "engine/math/Vector2.h"
#include "engine/texture/TGAImage.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CGLStateScope;
class CShader;
class CFontFace;
class CSpriteBatch;
class CTextLayout;

// printf-style text from a glyph sheet of 16 by 16 cells, one display list per glyph (a 16 by 16
// textured quad, then the pen moves 12 units right; a font made from TrueType files at another cell
// size draws cellSize-square quads and steps three quarters of that). The sheet holds two sets of 128 glyphs: set
// 0 in the upper eight rows, set 1 in the lower eight; code b selects glyph b - 32 of the set. Styles: 0 set 0, 1
// set 1, 2 and 3 the same sets drawn twice, the second time one pixel to the right (bold). Each print sets up its
// own pixel projection from the viewport and puts back the GL state it changed, so text can be drawn in the middle
// of a 2D or 3D frame; the bound texture and the current program are 0 afterwards. A font made from TrueType files
// (buildTrueTypeFont) is set from the font's own metrics instead: UTF-8 text shaped by HarfBuzz (proportional
// advances, kerning, marks), '\n' starting a new line one line height down, glyphs the font lacks from the
// fallback font if one is named; its glyphs are rasterised on first use into texture pages (see CFontFace,
// CTextLayout). The styles, the colours, the scale, the position (the top-left of the first line) and the state a
// print leaves are those of a glyph-sheet font; set 1 is the bold face. Owns its display lists, glyph image and
// TrueType faces; draws with built-in shader 0, owned by the shader manager; only points to its fallback font.
// Main thread only.
//
// Memory: a TrueType font keeps its faces (one per pixel size and set) and their glyph pages within
// CFaceCache's budget (16 faces, 64 MiB of pages), the least recently used let go first.
//
// Lifetime: the lists, pages and shader belong to the window (the engine) the font was built under.
// Once that window has closed, a print or a CText of the font writes one line (once per font) and
// draws nothing, and destroying the font leaves the GL names of any later window alone; build the font
// again under the new window to print with it.
//
// How long a print may be: a glyph-sheet print formats into a field of kMaxTextLength bytes (one glyph per
// byte), and longer text is cut at the last whole UTF-8 character that fits, so a cut never leaves half a
// character to draw as a stray glyph (80 e-acutes keep 75, 150 bytes). A TrueType print, its measure and a
// CText are never cut: their text is shaped whole, as long as it is.
class CFont {
public:
    static const int kMaxTextLength = 151;  // a glyph-sheet print's field, in bytes

    CFont();
    ~CFont();

    // Deletes the 256 display lists (while the window's context exists).
    bool deleteGlyphLists();
    // Loads the glyph sheet and builds the lists; takes shader 0. The sheet is found like any data
    // file (CDataFiles::find()), the engine's own sheet "Data/Font/font.tga" last in the library's
    // built-in copy. A sheet that cannot be read ends the process with status 1 after the reader's
    // message (and the places looked, when none held the file) and SDL_Quit(); so do no 256 free
    // display lists. Before the window is open it only writes one line and returns false; the font
    // stays unloaded and prints nothing.
    bool buildFont(const char* path);
    // Makes this a TrueType font: set 0 from the regular face, set 1 from the bold one, or from the
    // regular face again when boldPath is null, at cell pixels (FreeType's pixel size, 6 to 256).
    // Needs the window's context. A missing or unreadable file, or a size out of range, logs
    // "Failed to load the font: " with the path and the reason, returns false and leaves the font as
    // it was.
    bool buildTrueTypeFont(const char* regularPath, const char* boldPath, int cell);
    bool isTrueType() const;
    // A glyph sheet was built or TrueType faces loaded: false for a font that prints nothing.
    bool isLoaded() const;
    // The TrueType face of set 0 or 1 at a pixel size (made on first use, kept within the budget);
    // null for a glyph-sheet font or a size out of range. Valid while getRevision() stays the same.
    CFontFace* getFace(int pixelSize, bool bold) const;
    // The glyph pages alive over all the TrueType faces (0 for a glyph sheet).
    std::size_t getPageCount() const;
    // Changes whenever something a layout of this font may point to is let go: the font was built
    // again, its fallback changed, or a face of it or of its fallback was let go. Layouts made before
    // the change must be made again (a CText does so by itself) before they are drawn.
    uint64_t getRevision() const;
    // Whether the font's glyphs can be drawn now: it is loaded, and the window it was built under is
    // the one open. A loaded font that cannot writes one line, the first time it is asked.
    bool canDraw();
    // A TrueType font whose glyphs stand in for those this font lacks; null for none. Only pointed
    // to: it must outlive this font's prints.
    void setFallback(CFont* fallback);
    CFont* getFallback() const;
    // Lays UTF-8 text out as a print of set 0 or 1 sets it (left-aligned, unwrapped, at the font's
    // size); false for a glyph-sheet font. The layout may be drawn until getRevision() changes.
    bool layOut(const char* utf8, int set, CTextLayout& layout) const;
    // Draws laid-out text as a print draws: the position is the layout's origin, with the colour
    // and scale given, in a print's window-pixel projection and state.
    void drawLayout(const CTextLayout& layout, float x, float y, float red, float green, float blue, float alpha,
                    float sx, float sy);
    // Adds the text to a sprite batch as printAt() would print it, with the font's stored colour
    // and scale (styles 2 and 3 add the bold pass one pixel to the right), or as printStyled()
    // would with the colour and scale given. Texts are not cut at kMaxTextLength. A font without a
    // glyph sheet or faces, or a null text, adds nothing. A TrueType font shapes the text at every
    // call (a CText shapes once); both keep their arrays between calls, so a glyph-sheet string
    // allocates nothing once warmed up.
    void addTo(CSpriteBatch& batch, float x, float y, signed char style, const char* text) const;
    void addTo(CSpriteBatch& batch, float x, float y, signed char style, float red, float green, float blue,
               float alpha, float sx, float sy, const char* text) const;
    bool setScale(float x, float y);
    void setColour(float red, float green, float blue, float alpha);
    // Stores the four values in declaration order (red, blue, green, alpha), so the text is drawn
    // with (1st, 3rd, 2nd, 4th).
    void setColourFields(float first, float second, float third, float fourth);

    // The stored colour and scale at a whole-pixel position. A null format draws nothing.
    bool print(int x, int y, signed char style, const char* format, ...) __attribute__((format(printf, 5, 6)));
    // The given colour with alpha 1 and the stored scale.
    bool printColoured(int x, int y, signed char style, float red, float green, float blue, const char* format,
                       ...) __attribute__((format(printf, 8, 9)));
    // The stored colour and scale at a float position; the bold pass is placed through "tpos".
    bool printAt(float x, float y, signed char style, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    // The given colour and scale; the stored ones are neither used nor changed.
    bool printStyled(int x, int y, signed char style, float red, float green, float blue, float alpha,
                     float scaleXValue, float scaleYValue, const char* format, ...)
        __attribute__((format(printf, 11, 12)));

    // The formatted text of the latest print: whole for a TrueType font, as its field holds it for a
    // glyph sheet.
    const char* getText() const;

    // The width and height in pixels that print() would cover for this text in this style, with the
    // stored scale or the given one: the cells of the characters that name a glyph (others draw
    // nothing and move the pen by nothing), one pixel wider for the bold styles 2 and 3, and
    // 0 by 0 when nothing would be drawn. For a TrueType font, the box its glyphs' ink covers. The text is taken
    // as it stands (no printf formatting) and cut as print cuts it (see kMaxTextLength). With a negative scale
    // the text extends left of or above the position; the size stays positive.
    CVector2 measureText(const char* textToMeasure, signed char style) const;
    CVector2 measureText(const char* textToMeasure, signed char style, float sx, float sy) const;

    unsigned int listBase;  // GL names and state below are spelt as their plain types: no GL header here
    float scaleX;
    float scaleY;
    float colourRed;
    float colourBlue;
    float colourGreen;
    float colourAlpha;
    CShader* shader;  // built-in shader 0; owned by the shader manager
    // The latest print's text as far as the glyph sheet's field holds it (see kMaxTextLength).
    char text[kMaxTextLength + 1];
    CTGAImage glyphImage;
    int cellSize = 16;    // the quad each glyph draws, in pixels
    int penAdvance = 12;  // how far the pen moves after each glyph

private:
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    struct TrueType;
    std::unique_ptr<TrueType> trueType;  // the faces of a TrueType font; null for a glyph sheet
    CFont* fallback = nullptr;
    uint64_t revision = 0;             // see getRevision(); this font's own part
    unsigned int builtGeneration = 0;  // the context the lists or pages belong to
    bool refusalWritten = false;       // the line canDraw() writes, once

    // The revision without the fallback's part.
    uint64_t ownRevision() const;

    // Compiles the 256 glyph lists from listBase for the current cellSize and penAdvance.
    void compileGlyphLists();
    // Formats the text (a glyph sheet's cut to its field) and draws one or two passes.
    void formatAndDraw(float x, float y, float secondX, signed char style, float red, float green, float blue,
                       float alpha, float sx, float sy, bool placeBoldWithOffset, const char* format,
                       va_list arguments);
    // The state every print draws in (see the class comment), and back to the caller's.
    void beginPrint();
    void endPrint();
    void drawPass(float x, float y, unsigned int base, float red, float green, float blue, float alpha, float sx,
                  float sy, bool withOffset);

    // What a print changes, put back at its end; owned.
    std::unique_ptr<CGLStateScope> printState;
    // The glyph boxes of the sheet and the arrays addTo() fills, kept between calls; owned.
    struct BatchText;
    mutable std::unique_ptr<BatchText> batchText;
    int activeUnit = 0;  // the texture unit active before the print, made active again after it
    // The bytes of text that name a glyph of the set being drawn.
    char glyphs[kMaxTextLength + 1];
    // The latest print's formatted text, what getText() gives.
    std::string printed;
};

#endif
