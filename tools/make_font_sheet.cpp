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
// The drawing is the engine's own CGlyphSheetRasterizer, the one a font loaded from a .ttf at run
// time uses, so a sheet from this tool and a font made at run time hold the same pixels.

#include "engine/core/FileReplacement.h"
#include "engine/text/GlyphSheetRasterizer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* kTool = "make_font_sheet";

constexpr int kCell = 16;
constexpr int kAdvance = 12;  // the engine's fixed pen step for its 16-pixel cells

constexpr int kDefaultPixelHeight = 16;
constexpr int kMinPixelHeight = 6;
constexpr int kMaxPixelHeight = 32;

bool writeTga(const std::string& path, int size, const std::vector<uint8_t>& pixels)
{
    const uint8_t header[18] = {
        0,  // no image ID
        0,  // no colour map
        2,  // uncompressed true-colour
        0,
        0,
        0,
        0,
        0,  // colour-map fields, unused
        0,
        0,
        0,
        0,  // x and y origin
        uint8_t(size & 0xFF),
        uint8_t(size >> 8),  // width, little-endian
        uint8_t(size & 0xFF),
        uint8_t(size >> 8),  // height
        32,                  // bits per pixel
        0x08,                // 8 alpha bits, rows stored bottom-up
    };
    // The sheet is white, so the file's blue-green-red order reads the same as red-green-blue. An
    // earlier sheet at the path is replaced only by a complete one.
    CFileReplacement file(path);
    if (file.file() != nullptr) {
        std::fwrite(header, 1, sizeof header, file.file());
        std::fwrite(pixels.data(), 1, pixels.size(), file.file());
    }
    if (!file.commit()) {
        std::cerr << kTool << ": cannot write " << path << ": " << file.getError() << "\n";
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

    CGlyphSheetRasterizer rasterizer;
    if (!rasterizer.rasterize(argv[1], argv[2], kCell, pixelHeight, kAdvance)) {
        std::cerr << kTool << ": cannot use font " << rasterizer.getFailedPath() << ": " << rasterizer.getFailure()
                  << "\n";
        return 1;
    }
    for (const std::string& note : rasterizer.getNotes())
        std::cerr << kTool << ": note: " << note << "\n";
    if (!writeTga(argv[3], rasterizer.getSheetSize(), rasterizer.whiteRowsBottomUp()))
        return 1;
    return 0;
}
