#ifndef ENGINE_TEXT_FONTFACE_H
#define ENGINE_TEXT_FONTFACE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct FT_LibraryRec_;
struct FT_FaceRec_;
struct hb_font_t;

// One TrueType (or OpenType) file at one pixel size: FreeType reads the outlines and metrics,
// HarfBuzz shapes UTF-8 into positioned glyphs (advances and kerning from the font, ligatures,
// marks placed on their bases), and each glyph is rasterised on first use into texture pages that
// are added as they fill (packed with stb_rect_pack). Glyphs are white with their coverage in alpha,
// one transparent texel around each, so linear filtering never reaches a neighbour.
//
// A hostile file cannot cost more than its pages: a glyph's outline box is looked at before it is
// rendered, and one that could never be drawn whole on a page draws nothing.
//
// Owns its FreeType face, its HarfBuzz font and the page textures (GL names, deleted only while the
// context they were made in is still the current one: a face outliving its window leaves the next
// window's names alone, and makes no more pages). Main thread only; pages need the context.
class CFontFace {
public:
    static const int kMinPixelSize = 6;
    static const int kMaxPixelSize = 256;

    // A glyph on a page: texture coordinates, and its bitmap's offset from the pen on the baseline
    // (left, up) and size in pixels. Blank glyphs (a space, or one too large to draw) have no page.
    struct Glyph {
        unsigned texture = 0;
        float s0 = 0, t0 = 0, s1 = 0, t1 = 0;
        int left = 0, top = 0, width = 0, height = 0;
    };
    // One shaped glyph: its index in the font, the pen offset it is drawn at and how far the pen
    // moves after it, in pixels (y down), and the byte of the text it came from.
    struct Placed {
        unsigned index;
        float x, y;
        float advance;
        uint32_t cluster;
    };

    // The file at pixelSize (kMinPixelSize to kMaxPixelSize); null with why in error otherwise
    // ("FreeType error 0x01 (cannot open resource)", "the size 300 px is outside 6 to 256 px").
    static std::unique_ptr<CFontFace> load(const std::string& path, int pixelSize, std::string& error);
    ~CFontFace();
    CFontFace(const CFontFace&) = delete;
    CFontFace& operator=(const CFontFace&) = delete;

    // Whether the font maps the code point to a glyph of its own.
    bool hasCodePoint(uint32_t codePoint) const;
    // Shapes bytes [start, start + length) of the UTF-8 text (the rest is context) in one direction and
    // appends the glyphs; pen positions continue from penX. Right to left, the glyphs still come leftmost
    // first (the run's last character first): HarfBuzz orders the run, never a whole line (see CTextLayout).
    void shape(const char* text, int textLength, int start, int length, float penX, std::vector<Placed>& out,
               bool rightToLeft = false) const;
    // The glyph, rasterised and uploaded on first use.
    const Glyph& glyph(unsigned index);
    // The CPU half of glyph(), without OpenGL: the glyph's texels (white, coverage in alpha, one
    // transparent texel all round) and its offset and size; false for a blank glyph.
    bool renderGlyph(unsigned index, std::vector<uint8_t>& texels, Glyph& shape);

    int getPixelSize() const;
    // From the font's own metrics, in pixels: above and below the baseline, and from one baseline to
    // the next.
    float getAscent() const;
    float getDescent() const;
    float getLineHeight() const;
    const std::string& getPath() const;
    std::size_t getPageCount() const;
    int getPageSide() const;
    // The bytes of texels its pages hold.
    std::size_t getPageBytes() const;
    // Asked with the new page's bytes before each page is made; false refuses the page, and the glyph
    // that needed it draws nothing (see CFaceCache). Without one, only kMaxPages bounds the pages.
    using PageBudget = std::function<bool(const CFontFace&, std::size_t)>;
    void setPageBudget(PageBudget budget);

private:
    CFontFace();
    bool open(const std::string& path, int pixelSize, std::string& error);
    bool place(int width, int height, int& x, int& y, unsigned& texture);

    struct Page;
    std::string path;
    FT_LibraryRec_* library;
    FT_FaceRec_* face;
    hb_font_t* font;
    int pixelSize;
    int pageSide;
    float ascent, descent, lineHeight;
    std::unordered_map<unsigned, Glyph> glyphs;
    std::vector<std::unique_ptr<Page>> pages;
    PageBudget pageBudget;
};

#endif
