#include "engine/texture/ImageLimits.h"

#include "engine/core/RegularFile.h"
#include "engine/graphics/GLStateScope.h"

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

// The bytes at an offset, all of them or nothing.
bool readAt(FILE* file, long offset, uint8_t* out, std::size_t count)
{
    return offset >= 0 && std::fseek(file, offset, SEEK_SET) == 0 && std::fread(out, 1, count, file) == count;
}

uint32_t bigEndian16(const uint8_t* at)
{
    return uint32_t(at[0]) << 8 | uint32_t(at[1]);
}

// A GIF's logical screen and its first image, whose size SDL_image allocates from whatever the
// screen says: the larger of each. Walks the colour table and the extension blocks before it.
bool readGifSize(FILE* file, uint32_t& width, uint32_t& height)
{
    uint8_t screen[13];
    if (!readAt(file, 0, screen, sizeof(screen)))
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

// A JPEG's size is in its start-of-frame segment, after any number of others (EXIF thumbnails
// among them); the walk goes to the end of the file, as the decoder's would.
bool readJpegSize(FILE* file, uint32_t& width, uint32_t& height)
{
    long at = 2;
    uint8_t marker[2];
    while (readAt(file, at, marker, 2)) {
        if (marker[0] != 0xFF)
            return false;
        if (marker[1] == 0xFF) {  // fill bytes before a marker
            at += 1;
            continue;
        }
        const uint8_t code = marker[1];
        if ((code >= 0xD0 && code <= 0xD7) || code == 0x01) {  // markers without a length
            at += 2;
            continue;
        }
        if (code == 0xD9 || code == 0xDA)  // the end, or scan data before any frame
            return false;
        uint8_t segment[7];
        if (!readAt(file, at + 2, segment, sizeof(segment)))
            return false;
        const bool frame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (frame) {
            height = bigEndian16(segment + 3);
            width = bigEndian16(segment + 5);
            return true;
        }
        const uint32_t length = bigEndian16(segment);
        if (length < 2)
            return false;
        at += 2 + long(length);
    }
    return false;
}

// The first two decimal numbers of a text header (PNM, XV, XPM's values string), skipping blanks
// and, where a '#' begins one, comment lines.
bool readTextSize(const char* text, std::size_t length, uint32_t& width, uint32_t& height)
{
    uint64_t values[2] = {};
    std::size_t at = 0;
    for (uint64_t& value : values) {
        while (at < length &&
               (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n' || text[at] == '#')) {
            if (text[at] == '#')
                while (at < length && text[at] != '\n')
                    ++at;
            else
                ++at;
        }
        if (at == length || text[at] < '0' || text[at] > '9')
            return false;
        for (; at < length && text[at] >= '0' && text[at] <= '9'; ++at)
            value = std::min<uint64_t>(value * 10 + uint64_t(text[at] - '0'), UINT32_MAX);
        if (at == length)
            return false;  // a number cut off by the end of what was read
    }
    width = uint32_t(values[0]);
    height = uint32_t(values[1]);
    return true;
}

// TIFF: the width and length tags of the first image directory, wherever in the file it lies.
bool readTiffSize(FILE* file, bool big, uint32_t& width, uint32_t& height)
{
    const auto u16 = [big](const uint8_t* at) { return big ? bigEndian16(at) : littleEndian16(at); };
    const auto u32 = [big](const uint8_t* at) { return big ? bigEndian32(at) : littleEndian32(at); };
    uint8_t bytes[4];
    if (!readAt(file, 4, bytes, 4))
        return false;
    const long directory = long(u32(bytes));
    if (!readAt(file, directory, bytes, 2))
        return false;
    const uint32_t count = u16(bytes);
    bool haveWidth = false, haveHeight = false;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t entry[12];
        if (!readAt(file, directory + 2 + long(i) * 12, entry, sizeof(entry)))
            return false;
        const uint32_t tag = u16(entry), type = u16(entry + 2);
        const uint32_t value = type == 3 ? u16(entry + 8) : u32(entry + 8);  // SHORT or LONG
        if (tag == 256)
            width = value, haveWidth = true;
        else if (tag == 257)
            height = value, haveHeight = true;
        if (haveWidth && haveHeight)
            return true;
    }
    return false;
}

// IFF ILBM or PBM: the bitmap header chunk, among the chunks that may come before it.
bool readLbmSize(FILE* file, uint32_t& width, uint32_t& height)
{
    long at = 12;
    uint8_t chunk[12];
    for (int i = 0; i < 1024 && readAt(file, at, chunk, 8); ++i) {
        const uint32_t length = bigEndian32(chunk + 4);
        if (std::memcmp(chunk, "BMHD", 4) == 0) {
            if (length < 4 || !readAt(file, at + 8, chunk, 4))
                return false;
            width = bigEndian16(chunk);
            height = bigEndian16(chunk + 2);
            return true;
        }
        if (std::memcmp(chunk, "BODY", 4) == 0)
            return false;
        at += 8 + long(length) + long(length & 1);
    }
    return false;
}

// ICO or CUR: SDL_image decodes one entry from the bitmap header it points to (its height counts
// the mask too). The largest of them bounds what it allocates; entries it cannot decode are passed.
bool readIconSize(FILE* file, uint32_t count, uint32_t& width, uint32_t& height)
{
    bool any = false;
    width = height = 0;
    for (uint32_t i = 0; i < count && i < 256; ++i) {
        uint8_t entry[16], info[12];
        if (!readAt(file, 6 + long(i) * 16, entry, sizeof(entry)))
            break;
        if (!readAt(file, long(littleEndian32(entry + 12)), info, sizeof(info)) || littleEndian32(info) != 40)
            continue;
        const int32_t w = int32_t(littleEndian32(info + 4)), h = int32_t(littleEndian32(info + 8));
        width = std::max(width, w < 0 ? 0u - uint32_t(w) : uint32_t(w));
        height = std::max(height, (h < 0 ? 0u - uint32_t(h) : uint32_t(h)) / 2);
        any = true;
    }
    return any;
}

enum class HeaderSize { kNone, kRead, kUnreadable };

// The size from the header of any kind SDL_image decodes: kNone for a file of no kind it knows (it
// refuses those itself), kUnreadable for one whose signature says a kind but whose size cannot be
// read (cut short, or pointing outside the file).
HeaderSize readHeaderSize(const std::string& path, bool asTga, uint32_t& width, uint32_t& height)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return HeaderSize::kNone;
    char text[4096];
    const std::size_t got = std::fread(text, 1, sizeof(text), file);
    const uint8_t* header = reinterpret_cast<const uint8_t*>(text);
    // Takes the literal itself, not a pointer: TIFF's big-endian signature holds a zero byte.
    const auto starts = [&](const auto& signature, std::size_t at = 0) {
        const std::size_t length = sizeof(signature) - 1;
        return got >= at + length && std::memcmp(text + at, signature, length) == 0;
    };
    const auto sized = [](bool read) { return read ? HeaderSize::kRead : HeaderSize::kUnreadable; };
    HeaderSize result = HeaderSize::kNone;

    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (asTga || endsWithTga(path)) {
        // A TGA file has no signature: only its name or its reader says what it is, and SDL_image
        // tries its TGA decoder first for a ".tga" name, and only that one.
        result = sized(got >= 16);
        if (result == HeaderSize::kRead)
            width = littleEndian16(header + 12), height = littleEndian16(header + 14);
    } else if (got >= 8 && std::memcmp(header, pngSignature, 8) == 0) {
        result = sized(got >= 24 && std::memcmp(header + 12, "IHDR", 4) == 0);
        if (result == HeaderSize::kRead)
            width = bigEndian32(header + 16), height = bigEndian32(header + 20);
    } else if (starts("BM")) {
        result = sized(got >= 26);
        // The 12-byte OS/2 header has 16-bit sizes; the later ones signed 32-bit, a negative
        // height meaning rows stored top-down.
        if (result == HeaderSize::kRead && littleEndian32(header + 14) == 12) {
            width = littleEndian16(header + 18);
            height = littleEndian16(header + 20);
        } else if (result == HeaderSize::kRead) {
            const int32_t w = int32_t(littleEndian32(header + 18));
            const int32_t h = int32_t(littleEndian32(header + 22));
            width = w < 0 ? 0u - uint32_t(w) : uint32_t(w);
            height = h < 0 ? 0u - uint32_t(h) : uint32_t(h);
        }
    } else if (starts("GIF87a") || starts("GIF89a")) {
        result = sized(readGifSize(file, width, height));
    } else if (got >= 3 && header[0] == 0xFF && header[1] == 0xD8 && header[2] == 0xFF) {
        result = sized(readJpegSize(file, width, height));
    } else if (starts("II*\0") || starts("MM\0*")) {
        result = sized(got >= 4 && readTiffSize(file, header[0] == 'M', width, height));
    } else if (starts("RIFF") && starts("WEBP", 8)) {
        bool read = false;
        if (starts("VP8 ", 12) && got >= 30) {
            width = littleEndian16(header + 26) & 0x3FFF, height = littleEndian16(header + 28) & 0x3FFF;
            read = true;
        } else if (starts("VP8L", 12) && got >= 25) {
            const uint32_t bits = littleEndian32(header + 21);
            width = (bits & 0x3FFF) + 1, height = ((bits >> 14) & 0x3FFF) + 1;
            read = true;
        } else if (starts("VP8X", 12) && got >= 30) {
            width = (littleEndian32(header + 24) & 0xFFFFFF) + 1;
            height = (littleEndian32(header + 27) & 0xFFFFFF) + 1;
            read = true;
        }
        result = sized(read);
    } else if (starts("FORM") && (starts("ILBM", 8) || starts("PBM ", 8))) {
        result = sized(readLbmSize(file, width, height));
    } else if (starts("gimp xcf ")) {
        result = sized(got >= 22);
        if (result == HeaderSize::kRead)
            width = bigEndian32(header + 14), height = bigEndian32(header + 18);
    } else if (starts("/* XPM */")) {
        const char* quote = static_cast<const char*>(std::memchr(text, '"', got));
        result =
            sized(quote != nullptr && readTextSize(quote + 1, got - std::size_t(quote + 1 - text), width, height));
    } else if (got >= 3 && text[0] == 'P' && ((text[1] >= '1' && text[1] <= '6') || starts("P7 332")) &&
               (text[2] == ' ' || text[2] == '\t' || text[2] == '\r' || text[2] == '\n')) {
        const std::size_t skip = text[1] == '7' ? 6 : 2;
        result = sized(readTextSize(text + skip, got - skip, width, height));
    } else if (got >= 10 && header[0] == 0x0A && header[2] == 1) {
        // PCX: inclusive signed 16-bit bounds; a reversed pair leaves no pixels.
        const int w = int(int16_t(littleEndian16(header + 8))) - int16_t(littleEndian16(header + 4)) + 1;
        const int h =
            got >= 12 ? int(int16_t(littleEndian16(header + 10))) - int16_t(littleEndian16(header + 6)) + 1 : 0;
        width = uint32_t(std::max(w, 0)), height = uint32_t(std::max(h, 0));
        result = sized(got >= 12);
    } else if (got >= 6 && header[0] == 0 && header[1] == 0 && (header[2] == 1 || header[2] == 2) &&
               header[3] == 0 && littleEndian16(header + 4) != 0) {
        result = sized(readIconSize(file, littleEndian16(header + 4), width, height));
    }
    std::fclose(file);
    return result;
}

bool isPng(const std::string& path)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    uint8_t start[8] = {};
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    const bool png = std::fread(start, 1, sizeof(start), file) == sizeof(start) &&
                     std::memcmp(start, signature, sizeof(start)) == 0;
    std::fclose(file);
    return png;
}

// Whether a PNG file's chunks run whole from the signature to IEND. SDL_image 1.2 hands libpng a
// reader that never reports a short read, so a file cut inside an ancillary chunk (cHRM, say)
// makes libpng warn and retry for ever instead of failing.
bool pngRunsToItsEnd(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return true;  // the decoder's own failure says why
    bool whole = false;
    uint8_t chunk[8];
    if (std::fseek(file, 8, SEEK_SET) == 0) {
        while (std::fread(chunk, 1, sizeof(chunk), file) == sizeof(chunk)) {
            if (std::memcmp(chunk + 4, "IEND", 4) == 0) {
                whole = true;
                break;
            }
            // A length past 2^31 - 1 is no PNG; the data and the CRC must still be in the file.
            const uint32_t length = bigEndian32(chunk);
            uint8_t crc[4];
            if (length > 0x7FFFFFFFu || std::fseek(file, long(length), SEEK_CUR) != 0 ||
                std::fread(crc, 1, sizeof(crc), file) != sizeof(crc))
                break;
        }
    }
    std::fclose(file);
    return whole;
}

}  // namespace

int CImageLimits::maxTextureSize()
{
    if (!CGLStateScope::hasContext())
        return 0;
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

bool CImageLimits::readSize(const std::string& path, bool asTga, uint32_t& width, uint32_t& height)
{
    return readHeaderSize(path, asTga, width, height) == HeaderSize::kRead;
}

std::string CImageLimits::sizeRefusal(uint32_t width, uint32_t height)
{
    return textureRefusal(width, height, maxTextureSize());
}

std::string CImageLimits::textureRefusal(uint32_t width, uint32_t height, int limit)
{
    if (limit <= 0 || (width <= uint32_t(limit) && height <= uint32_t(limit)))
        return std::string();
    return std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the " +
           std::to_string(limit) + " an OpenGL texture can hold here";
}

std::string CImageLimits::refusal(const std::string& path, bool asTga)
{
    if (!CGLStateScope::hasContext())
        return CGLStateScope::noContextText();
    return fileRefusal(path, asTga, maxTextureSize());
}

std::string CImageLimits::fileRefusal(const std::string& path, bool asTga, int textureLimit)
{
    // Before the header is read: opening a pipe to read it would wait for a writer.
    const std::string irregular = CRegularFile::refusal(path);
    if (!irregular.empty())
        return irregular;
    uint32_t width = 0, height = 0;
    const HeaderSize header = readHeaderSize(path, asTga, width, height);
    if (header == HeaderSize::kNone)
        return std::string();
    if (header == HeaderSize::kUnreadable)
        return "its header ends, or points outside the file, before it gives the image's size";
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width == 0 || height == 0)
        return size + ", and an image needs at least one";
    const std::string refused = textureRefusal(width, height, textureLimit);
    if (!refused.empty())
        return refused;
    // SDL 1.2 keeps a surface's row length in 16 bits: it refuses a width of 16384 or a height of
    // 65536 and more (with "Out of memory" by the time SDL_image reports it).
    if (width > kLargestSurfaceWidth)
        return size + ", wider than the " + std::to_string(kLargestSurfaceWidth) + " an SDL 1.2 image can be";
    if (height > kLargestSurfaceHeight)
        return size + ", taller than the " + std::to_string(kLargestSurfaceHeight) + " an SDL 1.2 image can be";
    // The decoders allocate the whole image before they find the pixels missing: a header alone
    // would cost what the pixels would.
    const uint64_t needed = minimumBytes(path, asTga);
    std::error_code error;
    const std::uintmax_t have = std::filesystem::file_size(path, error);
    if (!error && have < needed)
        return size + ", more than its " + std::to_string(have) + " bytes can hold";
    if (!asTga && !endsWithTga(path) && isPng(path) && !pngRunsToItsEnd(path))
        return size + ", but the file ends before its last chunk (IEND): it is cut short";
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
    const bool tga = asTga || endsWithTga(path);
    if (!tga && got >= 34 && header[0] == 'B' && header[1] == 'M' && littleEndian32(header + 14) >= 40) {
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
    if (got >= 18 && tga && (header[2] == 1 || header[2] == 2 || header[2] == 3)) {
        const uint64_t mapBytes = header[1] ? uint64_t(littleEndian16(header + 5)) * ((header[7] + 7u) / 8u) : 0;
        const uint64_t pixelBytes =
            uint64_t(littleEndian16(header + 12)) * littleEndian16(header + 14) * ((header[16] + 7u) / 8u);
        return 18u + header[0] + mapBytes + pixelBytes;
    }
    return 0;
}
