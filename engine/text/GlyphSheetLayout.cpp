#include "engine/text/GlyphSheetLayout.h"

#include "engine/text/Font.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Exact at both ends, so an untrimmed glyph gets the display list's coordinates bit for bit.
float mix(float a, float b, float f)
{
    return (1.0f - f) * a + f * b;
}

}  // namespace

int CGlyphSheetLayout::clampStyle(signed char style)
{
    return style < 0 ? 0 : (style > 3 ? 3 : style);
}

int CGlyphSheetLayout::setOfStyle(int clampedStyle)
{
    return clampedStyle > 1 ? clampedStyle - 2 : clampedStyle;
}

bool CGlyphSheetLayout::namesGlyph(char c, int set)
{
    const int glyph = int(static_cast<unsigned char>(c)) - 32 + 128 * set;
    return glyph >= 0 && glyph < 256;
}

void CGlyphSheetLayout::cellCoordinates(int glyph, float& s0, float& s1, float& tBottom, float& tTop)
{
    // The sheet is stored bottom-up, so file row 0 is the bottom of the picture and t counts
    // upwards: cell row 0 sits at t = 1.
    const float column = float(glyph % 16);
    const float row = float(glyph / 16);
    s0 = column / 16.0f;
    s1 = s0 + 0.0625f;
    tBottom = 1.0f - row / 16.0f - 0.0625f;
    tTop = 1.0f - row / 16.0f - 0.001f;
}

const std::vector<CGlyphSheetLayout::GlyphBox>& CGlyphSheetLayout::glyphBoxes(const CFont& font)
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

void CGlyphSheetLayout::layOut(const CFont& font, const char* text, int set, std::vector<CTextQuad>& out)
{
    // The pen moves as the display lists move it: penAdvance units after each glyph of the set.
    const std::vector<GlyphBox>& boxes = glyphBoxes(font);
    const float cellUnits = float(font.cellSize);
    const float advance = float(font.penAdvance);
    float pen = 0.0f;
    for (const char* c = text; *c != '\0'; ++c) {
        if (!namesGlyph(*c, set))
            continue;
        const int glyph = int(static_cast<unsigned char>(*c)) - 32 + 128 * set;
        const GlyphBox& box = boxes[std::size_t(glyph)];
        if (!box.blank) {
            float s0, s1, tBottom, tTop;
            cellCoordinates(glyph, s0, s1, tBottom, tTop);
            out.push_back(CTextQuad{font.glyphImage.textureName, pen + box.left, box.top, pen + box.right,
                                    box.bottom, mix(s0, s1, box.left / cellUnits),
                                    mix(tTop, tBottom, box.top / cellUnits), mix(s0, s1, box.right / cellUnits),
                                    mix(tTop, tBottom, box.bottom / cellUnits)});
        }
        pen += advance;
    }
}
