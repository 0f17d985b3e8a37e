// Makes the engine's bitmap-font glyph sheet (Data/Font/font.tga) from two TrueType fonts.
// The sheet is a 256x256 32-bit TGA of 16x16 cells of 16x16 pixels; glyph g sits in column g % 16,
// row g / 16 (rows counted from the top). Glyphs 0..127 are the regular font, glyphs 128..255 the
// second style (bold, say); in each half the character with code c is glyph c - 32, so glyph 0 is
// the space and codes 127..159 stay empty. Glyphs are white with their coverage in alpha, laid out
// for the engine's 12-pixel advance.
// Run:  make_font_sheet <regular.ttf> <second-style.ttf> <output.tga> [pixel-height]
//   e.g. (from the repository root, fonts from Debian's fonts-dejavu-core)
//   make_font_sheet /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
//                   /usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf Data/Font/font.tga
// The output is byte-for-byte the same on every run with the same fonts and FreeType version.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kTool = "make_font_sheet";

constexpr int kCell = 16;
constexpr int kCellsPerRow = 16;
constexpr int kSheet = kCell * kCellsPerRow;
constexpr int kAdvance = 12;          // the engine's fixed pen step
constexpr int kFirstCode = 32;        // glyph 0 of each half
constexpr int kLastPrintable = 126;
constexpr int kGlyphsPerStyle = 128;
// The engine samples each cell from 0.256 px below its top edge, so with linear filtering ink in
// the top row would bleed into the glyph above; rows 1..15 are all a glyph may use.
constexpr int kFirstInkRow = 1;

constexpr double kMaxWidening = 1.2;

constexpr int kDefaultPixelHeight = 16;
constexpr int kMinPixelHeight = 6;
constexpr int kMaxPixelHeight = 32;

// FreeType's own table of error names, so a failure says more than a bare number.
const char* freetypeErrorText(FT_Error error)
{
#undef FTERRORS_H_
#define FT_ERRORDEF(e, v, s) {e, s},
#define FT_ERROR_START_LIST {
#define FT_ERROR_END_LIST {0, nullptr}};
    static const struct {
        int code;
        const char* text;
    } table[] =
#include FT_ERRORS_H
    for (const auto& entry : table) {
        if (entry.text && entry.code == error)
            return entry.text;
    }
    return "unknown error";
}

std::string describe(FT_Error error)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(error));
    return std::string("FreeType error ") + code + " (" + freetypeErrorText(error) + ")";
}

// One rendered glyph, coverage row by row from the top, with its pen-relative position.
struct Glyph {
    int code = 0;
    int left = 0;   // pixels from the pen to the first column
    int top = 0;    // pixels from the baseline up to the first row
    int width = 0;
    int rows = 0;
    std::vector<uint8_t> coverage;

    bool empty() const { return width == 0 || rows == 0; }
};

struct Style {
    std::vector<Glyph> glyphs;  // codes 33..126; the space has no ink
    long advance26_6 = 0;       // monospace advance, 26.6 fixed point
};

// The engine steps 12 px for a 16 px tall cell, wider than a monospace typeface at a size that fits
// the cell (DejaVu Sans Mono at 16 px steps under 10 px), which would leave text looking spaced
// out. So glyphs are widened until the font's own advance is one pixel short of the step, but by
// no more than a fifth, beyond which letters look visibly stretched.
int chooseWidth(FT_Face face, int pixelHeight)
{
    FT_Pos widest = 0;  // font units
    for (int code = kFirstCode; code <= kLastPrintable; ++code) {
        if (FT_Get_Char_Index(face, static_cast<FT_ULong>(code)) != 0 &&
            FT_Load_Char(face, static_cast<FT_ULong>(code), FT_LOAD_NO_SCALE) == 0)
            widest = std::max(widest, face->glyph->advance.x);
    }
    if (widest <= 0 || face->units_per_EM == 0)
        return pixelHeight;
    const double wanted = static_cast<double>(kAdvance - 1) * face->units_per_EM / static_cast<double>(widest);
    const double capped = std::clamp(wanted, static_cast<double>(pixelHeight), pixelHeight * kMaxWidening);
    return static_cast<int>(std::lround(capped));
}

bool renderStyle(FT_Library library, const std::string& path, int pixelHeight, Style& style)
{
    FT_Face face = nullptr;
    FT_Error error = FT_New_Face(library, path.c_str(), 0, &face);
    if (error) {
        std::cerr << kTool << ": cannot open font " << path << ": " << describe(error) << "\n";
        return false;
    }
    const int pixelWidth = chooseWidth(face, pixelHeight);
    error = FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(pixelWidth), static_cast<FT_UInt>(pixelHeight));
    if (error) {
        std::cerr << kTool << ": cannot set " << pixelHeight << " px size for " << path << ": "
                  << describe(error) << "\n";
        FT_Done_Face(face);
        return false;
    }

    bool ok = true;
    for (int code = kFirstCode + 1; code <= kLastPrintable; ++code) {
        if (FT_Get_Char_Index(face, static_cast<FT_ULong>(code)) == 0) {
            std::cerr << kTool << ": note: " << path << " has no glyph for '"
                      << static_cast<char>(code) << "'; its cell stays empty\n";
            continue;
        }
        // Embedded bitmaps are skipped because they may be 1-bit, and the sheet wants smooth
        // coverage in every cell.
        error = FT_Load_Char(face, static_cast<FT_ULong>(code),
                             FT_LOAD_RENDER | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL);
        if (error) {
            std::cerr << kTool << ": cannot render '" << static_cast<char>(code) << "' from "
                      << path << ": " << describe(error) << "\n";
            ok = false;
            break;
        }
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows != 0 && bitmap.width != 0) {
            std::cerr << kTool << ": " << path << " gave an unexpected bitmap format for '"
                      << static_cast<char>(code) << "'\n";
            ok = false;
            break;
        }
        Glyph glyph;
        glyph.code = code;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = static_cast<int>(bitmap.rows);
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
int chooseBaseline(const std::vector<Style>& styles)
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
    const int band = kCell - kFirstInkRow;
    const int slack = band - ascent - descent;
    // Without room for both, descenders win: a cut-off 'g' or 'y' reads worse than a shortened
    // dot on a bold 'i'.
    if (slack < 0)
        return kCell - descent;
    return kFirstInkRow + ascent + slack / 2;
}

struct Sheet {
    std::vector<uint8_t> alpha = std::vector<uint8_t>(static_cast<size_t>(kSheet) * kSheet, 0);
    std::vector<std::string> clipped;
};

void placeGlyph(Sheet& sheet, const Glyph& glyph, int index, int baseline, int penX, const std::string& styleName)
{
    int x0 = penX + glyph.left;
    int y0 = baseline - glyph.top;

    // Letters and digits must keep the baseline, or words would wobble, so they are cut instead;
    // a symbol moved by a pixel to stay whole reads better than one with a piece missing.
    if (!isAlphanumeric(glyph.code) && glyph.rows <= kCell - kFirstInkRow) {
        if (y0 < kFirstInkRow)
            y0 = kFirstInkRow;
        else if (y0 + glyph.rows > kCell)
            y0 = kCell - glyph.rows;
    }
    // Sideways there is no such constraint; a glyph wider than its cell keeps its left side.
    if (x0 + glyph.width > kCell)
        x0 = kCell - glyph.width;
    if (x0 < 0)
        x0 = 0;

    const int cellX = (index % kCellsPerRow) * kCell;
    const int cellY = (index / kCellsPerRow) * kCell;
    bool lost = false;
    for (int y = 0; y < glyph.rows; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            const uint8_t value = glyph.coverage[static_cast<size_t>(y) * glyph.width + x];
            if (value == 0)
                continue;
            const int cx = x0 + x;
            const int cy = y0 + y;
            if (cx < 0 || cx >= kCell || cy < kFirstInkRow || cy >= kCell) {
                lost = true;
                continue;
            }
            sheet.alpha[static_cast<size_t>(cellY + cy) * kSheet + cellX + cx] = value;
        }
    }
    if (lost)
        sheet.clipped.push_back(styleName + " '" + static_cast<char>(glyph.code) + "'");
}

bool writeTga(const std::string& path, const Sheet& sheet)
{
    std::vector<uint8_t> file;
    file.reserve(18 + static_cast<size_t>(kSheet) * kSheet * 4);
    const uint8_t header[18] = {
        0,                                       // no image ID
        0,                                       // no colour map
        2,                                       // uncompressed true-colour
        0, 0, 0, 0, 0,                           // colour-map fields, unused
        0, 0, 0, 0,                              // x and y origin
        kSheet & 0xFF, kSheet >> 8,              // width, little-endian
        kSheet & 0xFF, kSheet >> 8,              // height
        32,                                      // bits per pixel
        0x08,                                    // 8 alpha bits, rows stored bottom-up
    };
    file.insert(file.end(), header, header + sizeof header);
    // The engine uploads rows in file order and expects the bottom row first.
    for (int y = kSheet - 1; y >= 0; --y) {
        for (int x = 0; x < kSheet; ++x) {
            // Colour stays white even where alpha is 0 so linear filtering at glyph edges blends
            // towards white, not black.
            file.push_back(255);
            file.push_back(255);
            file.push_back(255);
            file.push_back(sheet.alpha[static_cast<size_t>(y) * kSheet + x]);
        }
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << kTool << ": cannot write " << path << ": " << std::strerror(errno) << "\n";
        return false;
    }
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::cerr << kTool << ": failed writing " << path << "\n";
        return false;
    }
    return true;
}

int usage(const char* argv0)
{
    std::cerr << "Usage: " << (argv0 ? argv0 : kTool)
              << " <regular.ttf> <second-style.ttf> <output.tga> [pixel-height]\n"
              << "Makes the engine's 256x256 glyph sheet: the regular font in glyphs 0..127, the second\n"
              << "style in glyphs 128..255, character code c as glyph c - 32 of each half.\n"
              << "pixel-height is the FreeType pixel size, " << kMinPixelHeight << ".." << kMaxPixelHeight
              << " (default " << kDefaultPixelHeight << ").\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5)
        return usage(argc > 0 ? argv[0] : nullptr);

    int pixelHeight = kDefaultPixelHeight;
    if (argc == 5) {
        char* end = nullptr;
        errno = 0;
        const long value = std::strtol(argv[4], &end, 10);
        if (errno != 0 || end == argv[4] || *end != '\0' || value < kMinPixelHeight || value > kMaxPixelHeight) {
            std::cerr << kTool << ": pixel-height must be a whole number from " << kMinPixelHeight << " to "
                      << kMaxPixelHeight << ", not '" << argv[4] << "'\n";
            return usage(argv[0]);
        }
        pixelHeight = static_cast<int>(value);
    }

    FT_Library library = nullptr;
    if (const FT_Error error = FT_Init_FreeType(&library)) {
        std::cerr << kTool << ": cannot start FreeType: " << describe(error) << "\n";
        return 1;
    }

    std::vector<Style> styles(2);
    const bool rendered = renderStyle(library, argv[1], pixelHeight, styles[0]) &&
                          renderStyle(library, argv[2], pixelHeight, styles[1]);
    FT_Done_FreeType(library);
    if (!rendered)
        return 1;

    const int baseline = chooseBaseline(styles);
    Sheet sheet;
    for (size_t s = 0; s < styles.size(); ++s) {
        const Style& style = styles[s];
        // Centring the font's own advance in the engine's 12-pixel step keeps the gaps between
        // letters even; rounding up keeps glyphs with no side bearing off the cell's left edge.
        const int advance = static_cast<int>((style.advance26_6 + 32) / 64);
        const int penX = std::max(0, (kAdvance - advance + 1) / 2);
        const std::string name = s == 0 ? "regular" : "second style";
        for (const Glyph& glyph : style.glyphs) {
            if (glyph.empty())
                continue;
            const int index = static_cast<int>(s) * kGlyphsPerStyle + glyph.code - kFirstCode;
            placeGlyph(sheet, glyph, index, baseline, penX, name);
        }
    }
    if (!sheet.clipped.empty()) {
        std::cerr << kTool << ": note: at " << pixelHeight << " px these glyphs do not fit their 16x16 cell and were cut:";
        constexpr size_t kListed = 12;
        for (size_t i = 0; i < sheet.clipped.size() && i < kListed; ++i)
            std::cerr << " " << sheet.clipped[i];
        if (sheet.clipped.size() > kListed)
            std::cerr << " and " << sheet.clipped.size() - kListed << " more; try a smaller pixel-height";
        std::cerr << "\n";
    }

    if (!writeTga(argv[3], sheet))
        return 1;
    return 0;
}
