#include "engine/texture/ImageLimits.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

uint32_t bigEndian32(const uint8_t* at)
{
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

uint32_t littleEndian32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

uint32_t littleEndian16(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8;
}

bool endsWithTga(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".tga";
}

// A GIF's logical screen and its first image, whose size SDL_image allocates from whatever the
// screen says: the larger of each. Walks the colour table and the extension blocks before it.
bool readGifSize(FILE* file, uint32_t& width, uint32_t& height)
{
    uint8_t screen[13];
    if (std::fread(screen, 1, sizeof(screen), file) != sizeof(screen) ||
        (std::memcmp(screen, "GIF87a", 6) != 0 && std::memcmp(screen, "GIF89a", 6) != 0))
        return false;
    width = littleEndian16(screen + 6);
    height = littleEndian16(screen + 8);
    if (screen[10] & 0x80)
        std::fseek(file, long(3u << ((screen[10] & 7) + 1)), SEEK_CUR);
    for (int block = 0; block < 4096; ++block) {
        const int kind = std::fgetc(file);
        if (kind == 0x2C) {
            uint8_t image[8];
            if (std::fread(image, 1, sizeof(image), file) != sizeof(image))
                return true;
            width = std::max(width, littleEndian16(image + 4));
            height = std::max(height, littleEndian16(image + 6));
            return true;
        }
        if (kind != 0x21 || std::fgetc(file) == EOF)
            return true;  // the trailer, the end, or something SDL_image will refuse itself
        // An extension: sub-blocks of a length byte and that many bytes, up to a zero length.
        for (int length = std::fgetc(file); length > 0; length = std::fgetc(file))
            std::fseek(file, length, SEEK_CUR);
    }
    return true;
}

} // namespace

bool CImageLimits::hasContext()
{
    const SDL_Surface* screen = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetVideoSurface() : nullptr;
    return screen != nullptr && (screen->flags & SDL_OPENGL) != 0;
}

int CImageLimits::maxTextureSize()
{
    if (!hasContext())
        return 0;
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

bool CImageLimits::readSize(const std::string& path, bool asTga, uint32_t& width, uint32_t& height)
{
    uint8_t header[26] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    const std::size_t got = std::fread(header, 1, sizeof(header), file);
    std::fclose(file);

    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (got >= 24 && std::memcmp(header, pngSignature, 8) == 0 && std::memcmp(header + 12, "IHDR", 4) == 0) {
        width = bigEndian32(header + 16);
        height = bigEndian32(header + 20);
        return true;
    }
    if (got >= 26 && header[0] == 'B' && header[1] == 'M') {
        // The 12-byte OS/2 header has 16-bit sizes; the later ones signed 32-bit, a negative
        // height meaning rows stored top-down.
        if (littleEndian32(header + 14) == 12) {
            width = littleEndian16(header + 18);
            height = littleEndian16(header + 20);
        } else {
            const int32_t w = int32_t(littleEndian32(header + 18));
            const int32_t h = int32_t(littleEndian32(header + 22));
            width = w < 0 ? 0u - uint32_t(w) : uint32_t(w);
            height = h < 0 ? 0u - uint32_t(h) : uint32_t(h);
        }
        return true;
    }
    if (got >= 6 && (std::memcmp(header, "GIF87a", 6) == 0 || std::memcmp(header, "GIF89a", 6) == 0)) {
        file = std::fopen(path.c_str(), "rb");
        const bool read = file != nullptr && readGifSize(file, width, height);
        if (file != nullptr)
            std::fclose(file);
        return read;
    }
    // A TGA file has no signature: only its name or its reader says what it is.
    if (got >= 16 && (asTga || endsWithTga(path))) {
        width = littleEndian16(header + 12);
        height = littleEndian16(header + 14);
        return true;
    }
    return false;
}

std::string CImageLimits::sizeRefusal(uint32_t width, uint32_t height)
{
    const int limit = maxTextureSize();
    if (limit <= 0 || (width <= uint32_t(limit) && height <= uint32_t(limit)))
        return std::string();
    return std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the " +
           std::to_string(limit) + " an OpenGL texture can hold here";
}

std::string CImageLimits::refusal(const std::string& path, bool asTga)
{
    if (!hasContext())
        return noContextText();
    uint32_t width = 0, height = 0;
    if (!readSize(path, asTga, width, height))
        return std::string();
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width == 0 || height == 0)
        return size + ", and an image needs at least one";
    const std::string refused = sizeRefusal(width, height);
    if (!refused.empty())
        return refused;
    // The decoders allocate the whole image before they find the pixels missing: a header alone
    // would cost what the pixels would.
    const uint64_t needed = minimumBytes(path, asTga);
    std::error_code error;
    const std::uintmax_t have = std::filesystem::file_size(path, error);
    if (!error && have < needed)
        return size + ", more than its " + std::to_string(have) + " bytes can hold";
    return std::string();
}

uint64_t CImageLimits::minimumBytes(const std::string& path, bool asTga)
{
    uint8_t header[34] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return 0;
    const std::size_t got = std::fread(header, 1, sizeof(header), file);
    std::fclose(file);
    // An uncompressed BMP (BI_RGB) with a BITMAPINFOHEADER or later: its pixels start at the offset
    // in the file header, rows padded to four bytes.
    if (got >= 34 && header[0] == 'B' && header[1] == 'M' && littleEndian32(header + 14) >= 40) {
        if (littleEndian32(header + 30) != 0)
            return 0;
        const int32_t w = int32_t(littleEndian32(header + 18));
        const int32_t h = int32_t(littleEndian32(header + 22));
        const uint64_t width = uint64_t(w < 0 ? -int64_t(w) : int64_t(w));
        const uint64_t height = uint64_t(h < 0 ? -int64_t(h) : int64_t(h));
        const uint64_t rowBytes = (width * littleEndian16(header + 28) + 31) / 32 * 4;
        uint64_t pixelBytes = 0;
        if (__builtin_mul_overflow(rowBytes, height, &pixelBytes))
            return UINT64_MAX;
        // A pixel offset inside the headers is no file SDL reads: count the headers at least.
        return std::max<uint64_t>(littleEndian32(header + 10), 54u) + pixelBytes;
    }
    // An uncompressed TGA (colour-mapped, true-colour or grey): the header, its image ID, its
    // colour map and every pixel. Run-length ones may be smaller, and are left to the decoder.
    if (got >= 18 && (asTga || endsWithTga(path)) && (header[2] == 1 || header[2] == 2 || header[2] == 3)) {
        const uint64_t mapBytes = header[1] ? uint64_t(littleEndian16(header + 5)) * ((header[7] + 7u) / 8u) : 0;
        const uint64_t pixelBytes = uint64_t(littleEndian16(header + 12)) * littleEndian16(header + 14) *
                                    ((header[16] + 7u) / 8u);
        return 18u + header[0] + mapBytes + pixelBytes;
    }
    return 0;
}

const char* CImageLimits::noContextText()
{
    return "no OpenGL context yet (load images after setVideoMode)";
}
