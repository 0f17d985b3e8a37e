#include "engine/text/GlyphSheetRasterizer.h"

#include "engine/core/RegularFile.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kFirstCode = 32;  // glyph 0 of each half
constexpr int kLastPrintable = 126;
constexpr int kGlyphsPerStyle = 128;
// The font samples each cell from a little below its top edge, so with linear filtering ink in the
// top row would bleed into the glyph above; rows 1 and down are all a glyph may use.
constexpr int kFirstInkRow = 1;
constexpr double kMaxWidening = 1.2;

// FreeType's own table of error names, so a failure says more than a bare number.
const char* freetypeErrorText(FT_Error error)
{
#undef FTERRORS_H_
#define FT_ERRORDEF(e, v, s) {e, s},
#define FT_ERROR_START_LIST {
#define FT_ERROR_END_LIST                                                                                         \
    {                                                                                                             \
        0, nullptr                                                                                                \
    }                                                                                                             \
    }                                                                                                             \
    ;
    static const struct {
        int code;
        const char* text;
    } table[] =
#include FT_ERRORS_H
        for (const auto& entry : table)
    {
        if (entry.text && entry.code == error)
            return entry.text;
    }
    return "unknown error";
}

}  // namespace

std::string CGlyphSheetRasterizer::describeError(int error)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(error));
    return std::string("FreeType error ") + code + " (" + freetypeErrorText(error) + ")";
}

namespace {

// One rendered glyph, coverage row by row from the top, with its pen-relative position.
struct Glyph {
    int code = 0;
    int left = 0;  // pixels from the pen to the first column
    int top = 0;   // pixels from the baseline up to the first row
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> coverage;

    bool empty() const
    {
        return width == 0 || rows == 0;
    }
};

struct Style {
    std::vector<Glyph> glyphs;  // codes 33..126; the space has no ink
    long advance26_6 = 0;       // monospace advance, 26.6 fixed point
};

// The engine's pen step is three quarters of a cell, wider than a monospace typeface at a size that
// fits the cell (DejaVu Sans Mono at 16 px steps under 10 px), which would leave text looking spaced
// out. So glyphs are widened until the font's own advance is one pixel short of the step, but by no
// more than a fifth, beyond which letters look visibly stretched.
int chooseWidth(FT_Face face, int pixelHeight, int advance)
{
    FT_Pos widest = 0;  // font units
    for (int code = kFirstCode; code <= kLastPrintable; ++code) {
        if (FT_Get_Char_Index(face, static_cast<FT_ULong>(code)) != 0 &&
            FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_NO_SCALE) == 0)
            widest = std::max(widest, face->glyph->advance.x);
    }
    if (widest <= 0 || face->units_per_EM == 0)
        return pixelHeight;
    const double wanted = static_cast<double>(advance - 1) * face->units_per_EM / static_cast<double>(widest);
    const double capped = std::clamp(wanted, static_cast<double>(pixelHeight), pixelHeight * kMaxWidening);
    return static_cast<int>(std::lround(capped));
}

struct Failure {
    std::string path;
    std::string text;
};

bool renderStyle(FT_Library library, const std::string& path, int pixelHeight, int advance, Style& style,
                 Failure& failure, std::vector<std::string>& notes)
{
    // FreeType would open a pipe and wait for a writer.
    const std::string irregular = CRegularFile::refusal(path);
    if (!irregular.empty()) {
        failure = {path, irregular};
        return false;
    }
    FT_Face face = nullptr;
    FT_Error error = FT_New_Face(library, path.c_str(), 0, &face);
    if (error) {
        failure = {path, CGlyphSheetRasterizer::describeError(error)};
        return false;
    }
    const int pixelWidth = chooseWidth(face, pixelHeight, advance);
    error = FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(pixelWidth), static_cast<FT_UInt>(pixelHeight));
    if (error) {
        failure = {path, "no " + std::to_string(pixelHeight) +
                             " px size: " + CGlyphSheetRasterizer::describeError(error)};
        FT_Done_Face(face);
        return false;
    }

    bool ok = true;
    for (int code = kFirstCode + 1; code <= kLastPrintable; ++code) {
        if (FT_Get_Char_Index(face, static_cast<FT_ULong>(code)) == 0) {
            notes.push_back(path + " has no glyph for '" + static_cast<char>(code) + "'; its cell stays empty");
            continue;
        }
        // Embedded bitmaps are skipped because they may be 1-bit, and the sheet wants smooth
        // coverage in every cell.
        error = FT_Load_Char(face, static_cast<FT_ULong>(code),
                             FT_LOAD_RENDER | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL);
        if (error) {
            failure = {path, std::string("cannot render '") + static_cast<char>(code) +
                                 "': " + CGlyphSheetRasterizer::describeError(error)};
            ok = false;
            break;
        }
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows != 0 && bitmap.width != 0) {
            failure = {path, std::string("an unexpected bitmap format for '") + static_cast<char>(code) + "'"};
            ok = false;
            break;
        }
        Glyph glyph;
        glyph.code = code;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = static_cast<int>(bitmap.rows);
        // Rows without width (or the reverse) have no ink, and no coverage to copy.
        if (glyph.width == 0 || glyph.rows == 0)
            glyph.width = glyph.rows = 0;
        glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.rows);
        for (int y = 0; y < glyph.rows; ++y) {
            // A negative pitch means FreeType stored the rows bottom-up.
            const uint8_t* source = bitmap.pitch >= 0
                                        ? bitmap.buffer + static_cast<long>(y) * bitmap.pitch
                                        : bitmap.buffer + static_cast<long>(glyph.rows - 1 - y) * -bitmap.pitch;
            std::copy(source, source + glyph.width, &glyph.coverage[static_cast<size_t>(y) * glyph.width]);
        }
        style.advance26_6 = std::max<long>(style.advance26_6, slot->advance.x);
        style.glyphs.push_back(std::move(glyph));
    }
    FT_Done_Face(face);
    return ok;
}

bool isAlphanumeric(int code)
{
    return (code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z');
}

// One baseline serves the whole sheet so both styles line up when mixed on a line. Letters and
// digits decide it; symbols such as '|' or '`' are made to fit around it afterwards.
int chooseBaseline(const std::vector<Style>& styles, int cell)
{
    int ascent = 0;
    int descent = 0;
    for (const Style& style : styles) {
        for (const Glyph& glyph : style.glyphs) {
            if (glyph.empty() || !isAlphanumeric(glyph.code))
                continue;
            ascent = std::max(ascent, glyph.top);
            descent = std::max(descent, glyph.rows - glyph.top);
        }
    }
    const int band = cell - kFirstInkRow;
    const int slack = band - ascent - descent;
    // Without room for both, descenders win: a cut-off 'g' or 'y' reads worse than a shortened
    // dot on a bold 'i'.
    if (slack < 0)
        return cell - descent;
    return kFirstInkRow + ascent + slack / 2;
}

// Copies a glyph into its cell; returns false when ink fell outside the cell and was cut.
bool placeGlyph(std::vector<uint8_t>& sheet, int sheetSize, int cell, const Glyph& glyph, int index, int baseline,
                int penX)
{
    int x0 = penX + glyph.left;
    int y0 = baseline - glyph.top;

    // Letters and digits must keep the baseline, or words would wobble, so they are cut instead;
    // a symbol moved by a pixel to stay whole reads better than one with a piece missing.
    if (!isAlphanumeric(glyph.code) && glyph.rows <= cell - kFirstInkRow) {
        if (y0 < kFirstInkRow)
            y0 = kFirstInkRow;
        else if (y0 + glyph.rows > cell)
            y0 = cell - glyph.rows;
    }
    // Sideways there is no such constraint; a glyph wider than its cell keeps its left side.
    if (x0 + glyph.width > cell)
        x0 = cell - glyph.width;
    if (x0 < 0)
        x0 = 0;

    const int cellX = (index % CGlyphSheetRasterizer::kCellsPerRow) * cell;
    const int cellY = (index / CGlyphSheetRasterizer::kCellsPerRow) * cell;
    bool whole = true;
    for (int y = 0; y < glyph.rows; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            const uint8_t value = glyph.coverage[static_cast<size_t>(y) * glyph.width + x];
            if (value == 0)
                continue;
            const int cx = x0 + x;
            const int cy = y0 + y;
            if (cx < 0 || cx >= cell || cy < kFirstInkRow || cy >= cell) {
                whole = false;
                continue;
            }
            sheet[static_cast<size_t>(cellY + cy) * sheetSize + cellX + cx] = value;
        }
    }
    return whole;
}

}  // namespace

CGlyphSheetRasterizer::CGlyphSheetRasterizer()
    : cellSize(0),
      sheetSize(0)
{
}

bool CGlyphSheetRasterizer::rasterize(const std::string& firstPath, const std::string& secondPath, int cell,
                                      int pixelHeight, int advance)
{
    cellSize = 0;
    sheetSize = 0;
    coverage.clear();
    failedPath.clear();
    failure.clear();
    notes.clear();
    if (cell < kMinCellSize || cell > kMaxCellSize || pixelHeight < 1 || pixelHeight > 2 * cell || advance < 1 ||
        advance > cell) {
        failedPath = firstPath;
        failure = "no sheet for " + std::to_string(cell) + " px cells at " + std::to_string(pixelHeight) +
                  " px with a " + std::to_string(advance) + " px advance (cells are " +
                  std::to_string(kMinCellSize) + " to " + std::to_string(kMaxCellSize) + " px)";
        return false;
    }

    FT_Library library = nullptr;
    if (const FT_Error error = FT_Init_FreeType(&library)) {
        failedPath = firstPath;
        failure = "cannot start FreeType: " + CGlyphSheetRasterizer::describeError(error);
        return false;
    }
    std::vector<Style> styles(2);
    Failure failed;
    std::vector<std::string> found;
    const bool rendered = renderStyle(library, firstPath, pixelHeight, advance, styles[0], failed, found) &&
                          renderStyle(library, secondPath, pixelHeight, advance, styles[1], failed, found);
    FT_Done_FreeType(library);
    if (!rendered) {
        failedPath = failed.path;
        failure = failed.text;
        return false;
    }

    const int size = cell * kCellsPerRow;
    std::vector<uint8_t> sheet(static_cast<size_t>(size) * size, 0);
    const int baseline = chooseBaseline(styles, cell);
    std::vector<std::string> clipped;
    for (size_t s = 0; s < styles.size(); ++s) {
        const Style& style = styles[s];
        // Centring the font's own advance in the engine's step keeps the gaps between letters even;
        // rounding up keeps glyphs with no side bearing off the cell's left edge.
        const int own = static_cast<int>((style.advance26_6 + 32) / 64);
        const int penX = std::max(0, (advance - own + 1) / 2);
        for (const Glyph& glyph : style.glyphs) {
            if (glyph.empty())
                continue;
            const int index = static_cast<int>(s) * kGlyphsPerStyle + glyph.code - kFirstCode;
            if (!placeGlyph(sheet, size, cell, glyph, index, baseline, penX))
                clipped.push_back(std::string(s == 0 ? "regular" : "second style") + " '" +
                                  static_cast<char>(glyph.code) + "'");
        }
    }
    if (!clipped.empty()) {
        std::string note = "at " + std::to_string(pixelHeight) + " px these glyphs do not fit their " +
                           std::to_string(cell) + "x" + std::to_string(cell) + " cell and were cut:";
        constexpr size_t kListed = 12;
        for (size_t i = 0; i < clipped.size() && i < kListed; ++i)
            note += " " + clipped[i];
        if (clipped.size() > kListed)
            note += " and " + std::to_string(clipped.size() - kListed) + " more";
        found.push_back(note);
    }

    cellSize = cell;
    sheetSize = size;
    coverage = std::move(sheet);
    notes = std::move(found);
    return true;
}

int CGlyphSheetRasterizer::getCellSize() const
{
    return cellSize;
}

int CGlyphSheetRasterizer::getSheetSize() const
{
    return sheetSize;
}

const std::vector<uint8_t>& CGlyphSheetRasterizer::getCoverage() const
{
    return coverage;
}

std::vector<uint8_t> CGlyphSheetRasterizer::whiteRowsBottomUp() const
{
    std::vector<uint8_t> pixels;
    pixels.reserve(coverage.size() * 4);
    for (int y = sheetSize - 1; y >= 0; --y) {
        for (int x = 0; x < sheetSize; ++x) {
            // Colour stays white even where alpha is 0 so linear filtering at glyph edges blends
            // towards white, not black.
            pixels.push_back(255);
            pixels.push_back(255);
            pixels.push_back(255);
            pixels.push_back(coverage[static_cast<size_t>(y) * sheetSize + x]);
        }
    }
    return pixels;
}

const std::string& CGlyphSheetRasterizer::getFailedPath() const
{
    return failedPath;
}

const std::string& CGlyphSheetRasterizer::getFailure() const
{
    return failure;
}

const std::vector<std::string>& CGlyphSheetRasterizer::getNotes() const
{
    return notes;
}
