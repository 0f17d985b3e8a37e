#ifndef ENGINE_TEXT_GLYPHSHEETLAYOUT_H
#define ENGINE_TEXT_GLYPHSHEETLAYOUT_H

#include "engine/text/TextLayout.h"

#include <vector>

class CFont;

// How a glyph-sheet font sets text, in one place for its display lists and for the sprite batch: a
// sheet of 16 by 16 cells stored bottom-up, two sets of 128 glyphs (code b is glyph b - 32 of the
// set), the styles (0 and 1 the sets, 2 and 3 the same sets drawn twice for bold), a quad of
// cellSize pixels per glyph and a pen that steps penAdvance. Quads can be trimmed to the part of the
// cell where linear filtering reaches any ink, measured once per sheet.
// Holds the measured boxes of the sheets it has seen (by texture and pixels); points to no font.
class CGlyphSheetLayout {
public:
    // Styles outside 0..3 are clamped; styles 2 and 3 draw sets 0 and 1.
    static int clampStyle(signed char style);
    static int setOfStyle(int clampedStyle);
    // Whether the byte names a glyph of the set; others draw nothing and move the pen by nothing.
    static bool namesGlyph(char c, int set);
    // The texture coordinates of glyph cell `glyph`, as the display lists have them. The top edge
    // is pulled in a little so that the cell above never bleeds in through linear filtering.
    static void cellCoordinates(int glyph, float& s0, float& s1, float& tBottom, float& tTop);

    // The text's glyphs of one set as quads in unscaled pixels from the position (the display
    // lists' units), each trimmed to where filtering reaches ink; blank glyphs give no quad.
    void layOut(const CFont& font, const char* text, int set, std::vector<CTextQuad>& out);

private:
    // The part of a glyph cell worth drawing, in cell units (0 to the font's cellSize, y down).
    struct GlyphBox {
        float left, top, right, bottom;
        bool blank;
    };
    struct SheetBoxes {
        unsigned texture;
        const void* pixels;  // the decoded sheet the boxes were measured on
        std::vector<GlyphBox> boxes;
    };
    const std::vector<GlyphBox>& glyphBoxes(const CFont& font);

    std::vector<SheetBoxes> sheets;
};

#endif
