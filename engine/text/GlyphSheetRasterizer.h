#ifndef ENGINE_TEXT_GLYPHSHEETRASTERIZER_H
#define ENGINE_TEXT_GLYPHSHEETRASTERIZER_H

#include <cstdint>
#include <string>
#include <vector>

// Draws two TrueType faces into this engine's glyph-sheet layout with FreeType: 16 by 16 cells of
// cellSize pixels; glyphs 0..127 are the first face, 128..255 the second; in each half the character
// with code c is glyph c - 32 (codes 127..159 stay empty). Glyphs are white with their coverage in
// alpha, laid out for the given pen advance. The same fonts, sizes and FreeType version give the
// same bytes every time: the font tool writes them as Data/Font/font.tga, and CFont uploads them.
// Plain CPU code (no OpenGL, no SDL), so both share it. Owns the sheet it made.
class CGlyphSheetRasterizer {
public:
    static const int kCellsPerRow = 16;
    static const int kMinCellSize = 6;
    static const int kMaxCellSize = 64;

    CGlyphSheetRasterizer();

    // Renders both faces (the same file twice is fine) at pixelHeight, FreeType's pixel size, into
    // cells of cellSize for an advance of advance pixels. On failure returns false with
    // getFailedPath()/getFailure() saying why, and the sheet is empty.
    bool rasterize(const std::string& firstPath, const std::string& secondPath, int cellSize, int pixelHeight,
                   int advance);

    int getCellSize() const;
    // Width and height of the square sheet: 16 cells; 0 while empty.
    int getSheetSize() const;
    // One coverage byte per pixel, rows from the top.
    const std::vector<uint8_t>& getCoverage() const;
    // The sheet as 32-bit pixels, white with the coverage in alpha, rows from the bottom: the byte
    // order of a bottom-up TGA file of the sheet, and the texture rows CFont expects.
    std::vector<uint8_t> whiteRowsBottomUp() const;

    // FreeType's account of an error code: "FreeType error 0x01 (cannot open resource)".
    static std::string describeError(int error);
    // The font file that failed and FreeType's account of it ("FreeType error 0x01 (cannot open
    // resource)"); both empty after a success.
    const std::string& getFailedPath() const;
    const std::string& getFailure() const;
    // Lines worth showing after a success: characters a face lacks, glyphs cut at the cell's edge.
    const std::vector<std::string>& getNotes() const;

private:
    int cellSize;
    int sheetSize;
    std::vector<uint8_t> coverage;
    std::string failedPath;
    std::string failure;
    std::vector<std::string> notes;
};

#endif
