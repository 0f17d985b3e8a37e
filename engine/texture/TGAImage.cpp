#include "engine/texture/TGAImage.h"

#include "engine/core/Log.h"
#include "engine/core/RegularFile.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <string>
#include <vector>

namespace {

// Bytes 1 to 11 of the two kinds read: no colour map, type 2 or 10, an all-zero colour-map field
// and zero origin.
const uint8_t kUncompressedPattern[11] = {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t kCompressedPattern[11] = {0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// glibc serves blocks up to 32 MiB from its heap once one has been freed, so a picture loaded after
// another reuses pages already there. Larger ones get fresh pages from the kernel on every load, one
// fault per 4 KiB as they are read (at 4096 by 4096 the faults cost as much as the reading): on
// 2 MiB-aligned memory marked for transparent huge pages it faults 512 times less often. Freed
// with std::free like any malloc'ed block.
uint8_t* allocatePixels(std::size_t bytes)
{
    const std::size_t hugePage = std::size_t(2) << 20;
    if (bytes < (std::size_t(32) << 20))
        return static_cast<uint8_t*>(std::malloc(bytes));
    void* memory = nullptr;
    if (posix_memalign(&memory, hugePage, bytes) != 0)
        return nullptr;
    madvise(memory, bytes, MADV_HUGEPAGE);
    return static_cast<uint8_t*>(memory);
}

void fail(const char* text, const char* path)
{
    CLog::line(std::string(text) + (path ? path : ""));
}

// Why the file cannot become a texture now, before anything is decoded. Sizes beyond what the
// reader allocates at all are left to its own refusal and message.
std::string uploadRefusal(const char* path)
{
    if (!CGLStateScope::hasContext())
        return CGLStateScope::noContextText();
    uint32_t width = 0, height = 0;
    if (!CImageLimits::readSize(path, true, width, height))
        return std::string();
    if (uint64_t(width) * height * 4 > CTGAImage::kMaxImageBytes)
        return std::string();
    return CImageLimits::sizeRefusal(width, height);
}

}  // namespace

CTGAImage::CTGAImage()
    : pixels(nullptr),
      textureName(0),
      textureGeneration(0),
      bitsPerPixel(0),
      width(0),
      height(0),
      format(0),
      header{},
      info{},
      bytesPerPixel(0),
      imageSize(0),
      idLength(0)
{
}

CTGAImage::~CTGAImage()
{
    std::free(pixels);
}

void CTGAImage::release()
{
    std::free(pixels);
    pixels = nullptr;
    width = height = bitsPerPixel = bytesPerPixel = 0;
    format = 0;
    imageSize = 0;
    std::memset(header, 0, sizeof(header));
    std::memset(info, 0, sizeof(info));
}

bool CTGAImage::load(const char* path)
{
    // A second load replaces the texture of the first, and a failed one leaves none behind.
    releaseTexture();
    const std::string irregular = CRegularFile::refusal(path ? path : "");
    if (!irregular.empty()) {
        release();
        fail(("Could not open texture file (" + irregular + "): ").c_str(), path);
        return false;
    }
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        fail("Could not open texture file: ", path);
        return false;
    }
    const std::string refused = uploadRefusal(path);
    if (!refused.empty()) {
        std::fclose(file);
        release();
        fail(("Could not upload texture file (" + refused + "): ").c_str(), path);
        return false;
    }
    const bool decoded = decode(path, file);
    std::fclose(file);
    if (!decoded)
        return false;
    upload();
    return true;
}

bool CTGAImage::loadFromMemory(const char* name, const uint8_t* data, std::size_t size)
{
    releaseTexture();
    if (!CGLStateScope::hasContext()) {
        release();
        fail((std::string("Could not upload texture file (") + CGLStateScope::noContextText() + "): ").c_str(),
             name);
        return false;
    }
    // A read-only memory stream lets the one decoder serve files and built-in copies alike.
    FILE* file = (data && size) ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : nullptr;
    if (file == nullptr) {
        fail("Could not open texture file: ", name);
        return false;
    }
    const bool decoded = decode(name, file);
    std::fclose(file);
    if (!decoded)
        return false;
    upload();
    return true;
}

bool CTGAImage::decode(const char* path, FILE* file)
{
    release();
    if (std::fread(&idLength, 1, 1, file) != 1) {
        CLog::line("Failed to read TGAcomment!");
        return false;
    }
    if (std::fread(header, 1, 11, file) != 11) {
        fail("Could not read file header: ", path);
        return false;
    }
    bool decoded = false;
    if (std::memcmp(header, kUncompressedPattern, 11) == 0)
        decoded = loadUncompressed(path, file);
    else if (std::memcmp(header, kCompressedPattern, 11) == 0)
        decoded = loadCompressed(path, file);
    else
        fail("TGA file be type 2 or type 10, Invalid Image: ", path);
    if (decoded)
        orient();
    return decoded;
}

void CTGAImage::orient()
{
    // Bits 4 and 5 of the image descriptor: the first pixel of the file is on the right, at the top.
    const bool fromRight = (info[5] & 0x10) != 0, fromTop = (info[5] & 0x20) != 0;
    const std::size_t rowBytes = std::size_t(width) * bytesPerPixel;
    if (fromTop) {
        std::vector<uint8_t> row(rowBytes);
        for (uint32_t y = 0; y < height / 2; ++y) {
            uint8_t* upper = pixels + std::size_t(y) * rowBytes;
            uint8_t* lower = pixels + std::size_t(height - 1 - y) * rowBytes;
            std::memcpy(row.data(), upper, rowBytes);
            std::memcpy(upper, lower, rowBytes);
            std::memcpy(lower, row.data(), rowBytes);
        }
    }
    if (fromRight) {
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* row = pixels + std::size_t(y) * rowBytes;
            for (uint32_t x = 0; x < width / 2; ++x)
                std::swap_ranges(row + std::size_t(x) * bytesPerPixel, row + std::size_t(x + 1) * bytesPerPixel,
                                 row + std::size_t(width - 1 - x) * bytesPerPixel);
        }
    }
}

bool CTGAImage::readInfo(const char* path, FILE* file)
{
    if (std::fread(info, 1, 6, file) != 6) {
        fail("Could not read info header: ", path);
        return false;
    }
    width = info[0] + 256u * info[1];
    height = info[2] + 256u * info[3];
    bitsPerPixel = info[4];
    if (width == 0 || height == 0 || (bitsPerPixel != 24 && bitsPerPixel != 32)) {
        fail("Invalid texture information: ", path);
        width = height = bitsPerPixel = 0;
        return false;
    }
    format = bitsPerPixel == 24 ? GL_RGB : GL_RGBA;
    bytesPerPixel = bitsPerPixel / 8;
    imageSize = uint64_t(bytesPerPixel) * width * height;
    if (idLength != 0 && std::fseek(file, idLength, SEEK_CUR) != 0) {
        fail("Could not read image data: ", path);
        release();
        return false;
    }
    pixels = imageSize <= kMaxImageBytes ? allocatePixels(std::size_t(imageSize)) : nullptr;
    if (pixels == nullptr) {
        fail("Could not allocate memory for image: ", path);
        release();
        return false;
    }
    return true;
}

namespace {

void swapRedAndBlue24Plain(uint8_t* at, std::size_t pixelCount)
{
    for (std::size_t i = 0; i < pixelCount; ++i) {
        const uint8_t blue = at[3 * i], red = at[3 * i + 2];
        at[3 * i] = red;
        at[3 * i + 2] = blue;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define QUARL_WITH_SSSE3_SWAP 1
// Sixteen pixels (48 bytes) per step in three 16-byte registers: a byte shuffle swaps the pixels
// inside each register, and the two pixels that straddle registers (5 and 10) take their outer
// bytes from the neighbour. The compiler's own vectorisation of the plain loop reached under half
// the 32-bit path's speed. Returns how many pixels it swapped (a multiple of 16).
__attribute__((target("ssse3"))) std::size_t swapRedAndBlue24Ssse3(uint8_t* at, std::size_t pixelCount)
{
    const char z = char(0x80);  // a shuffle index that yields 0
    const __m128i inA = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, z);
    const __m128i fromBIntoA = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, z, 1);
    const __m128i inB = _mm_setr_epi8(0, z, 4, 3, 2, 7, 6, 5, 10, 9, 8, 13, 12, 11, z, 15);
    const __m128i fromAIntoB = _mm_setr_epi8(z, 15, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
    const __m128i fromCIntoB = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, 0, z);
    const __m128i inC = _mm_setr_epi8(z, 3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13);
    const __m128i fromBIntoC = _mm_setr_epi8(14, z, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
    std::size_t done = 0;
    for (; done + 16 <= pixelCount; done += 16) {
        __m128i* const block = reinterpret_cast<__m128i*>(at + 3 * done);
        const __m128i a = _mm_loadu_si128(block), b = _mm_loadu_si128(block + 1), c = _mm_loadu_si128(block + 2);
        _mm_storeu_si128(block, _mm_or_si128(_mm_shuffle_epi8(a, inA), _mm_shuffle_epi8(b, fromBIntoA)));
        _mm_storeu_si128(block + 1,
                         _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, inB), _mm_shuffle_epi8(a, fromAIntoB)),
                                      _mm_shuffle_epi8(c, fromCIntoB)));
        _mm_storeu_si128(block + 2, _mm_or_si128(_mm_shuffle_epi8(c, inC), _mm_shuffle_epi8(b, fromBIntoC)));
    }
    return done;
}
#endif

void swapRedAndBlue24(uint8_t* at, std::size_t pixelCount)
{
    std::size_t done = 0;
#ifdef QUARL_WITH_SSSE3_SWAP
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        done = swapRedAndBlue24Ssse3(at, pixelCount);
#endif
    swapRedAndBlue24Plain(at + 3 * done, pixelCount - done);
}

// File order (blue, green, red (, alpha)) to red, green, blue (, alpha), in place; bytes is a whole
// number of pixels.
void swapRedAndBlue(uint8_t* at, std::size_t bytes, unsigned bytesPerPixel)
{
    if (bytesPerPixel == 3) {
        swapRedAndBlue24(at, bytes / 3);
        return;
    }
    for (uint8_t* const end = at + bytes; at != end; at += 4) {
        uint32_t value;
        std::memcpy(&value, at, 4);
        // Bytes 0 and 2 swap, 1 and 3 stay: the same on either byte order.
        value = (value & 0xFF00FF00u) | (value & 0x000000FFu) << 16 | (value >> 16 & 0x000000FFu);
        std::memcpy(at, &value, 4);
    }
}

}  // namespace

bool CTGAImage::loadUncompressed(const char* path, FILE* file)
{
    if (!readInfo(path, file))
        return false;
    // Read straight into the pixels in blocks that stay in the cache while their colours are
    // swapped (a multiple of 12 bytes: whole pixels of either depth).
    const uint64_t block = 12 * 4096;
    for (uint64_t done = 0; done < imageSize;) {
        const std::size_t part = std::size_t(std::min(block, imageSize - done));
        if (std::fread(pixels + done, 1, part, file) != part) {
            fail("Could not read image data: ", path);
            release();
            return false;
        }
        swapRedAndBlue(pixels + done, part, bytesPerPixel);
        done += part;
    }
    return true;
}

namespace {

// Reads what is left of the file, but never more than limit bytes (what the packets of the image
// can take at most), in one read when the file can tell its size.
bool readRest(FILE* file, uint64_t limit, std::vector<uint8_t>& out)
{
    out.clear();
    const long here = std::ftell(file);
    if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (end < here || std::fseek(file, here, SEEK_SET) != 0)
            return false;
        out.resize(std::size_t(std::min<uint64_t>(uint64_t(end - here), limit)));
        return std::fread(out.data(), 1, out.size(), file) == out.size();
    }
    // A stream without a size: blocks until the end or the limit.
    std::clearerr(file);
    uint8_t block[65536];
    while (out.size() < limit) {
        const std::size_t wanted = std::size_t(std::min<uint64_t>(sizeof(block), limit - out.size()));
        const std::size_t got = std::fread(block, 1, wanted, file);
        out.insert(out.end(), block, block + got);
        if (got < wanted)
            break;
    }
    return true;
}

}  // namespace

bool CTGAImage::loadCompressed(const char* path, FILE* file)
{
    if (!readInfo(path, file))
        return false;
    const uint64_t pixelCount = uint64_t(width) * height;
    const unsigned bytes = bytesPerPixel;
    // Each stored pixel takes at most its colour bytes and a packet header of its own; one more
    // header and pixel show that a packet runs past the last pixel.
    std::vector<uint8_t> data;
    if (!readRest(file, (pixelCount + 1) * (bytes + 1), data)) {
        fail("Could not read RLE header: ", path);
        release();
        return false;
    }
    const uint8_t* in = data.data();
    const uint8_t* const end = in + data.size();
    uint8_t* out = pixels;
    uint8_t* const last = pixels + imageSize;
    auto failWith = [&](const char* text) {
        fail(text, path);
        release();
        return false;
    };
    while (out != last) {
        if (in == end)
            return failWith("Could not read RLE header: ");
        const uint8_t packet = *in++;
        if (packet < 128) {
            // Raw: packet + 1 pixels (blue, green, red (, alpha)) stored red first. The checks come
            // pixel by pixel so that a short file and an overlong packet are told apart as before.
            for (unsigned n = packet + 1u; n > 0; --n) {
                if (std::size_t(end - in) < bytes)
                    return failWith("Could not read image data: ");
                if (out == last)
                    return failWith("Too many pixels read: ");
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                if (bytes == 4)
                    out[3] = in[3];
                in += bytes;
                out += bytes;
            }
        } else {
            if (std::size_t(end - in) < bytes)
                return failWith("Could not read from file: ");
            const unsigned n = packet - 127u;
            if (uint64_t(last - out) < uint64_t(n) * bytes)
                return failWith("Too many pixels read: ");
            uint8_t pixel[4] = {in[2], in[1], in[0], bytes == 4 ? in[3] : uint8_t(0)};
            in += bytes;
            if (bytes == 4) {
                for (unsigned i = 0; i < n; ++i, out += 4)
                    std::memcpy(out, pixel, 4);
            } else {
                for (unsigned i = 0; i < n; ++i, out += 3)
                    std::memcpy(out, pixel, 3);
            }
        }
    }
    return true;
}

void CTGAImage::releaseTexture()
{
    // Under a later context the name is another engine's, or nothing.
    if (textureName != 0 && textureGeneration == CGLStateScope::contextGeneration() && CGLStateScope::hasContext())
        glDeleteTextures(1, &textureName);
    textureName = 0;
}

void CTGAImage::upload()
{
    // Rows are packed tightly: a 24-bit row of any width must not be read as padded to 4 bytes.
    // One level at the size given, no mipmaps, the wrap modes left at GL's defaults.
    textureGeneration = CGLStateScope::contextGeneration();
    textureName =
        CPixelUpload::upload(CPixelUpload::Pixels{pixels, int(width), int(height), int(bytesPerPixel), 1},
                             CPixelUpload::Settings{GL_LINEAR, GL_LINEAR, 0, false});
}

bool CTGAImage::loadPixels(uint32_t pictureWidth, uint32_t pictureHeight, const uint8_t* rgba)
{
    const uint64_t bytes = uint64_t(pictureWidth) * pictureHeight * 4;
    if (rgba == nullptr || bytes == 0 || bytes > kMaxImageBytes)
        return false;
    // As load() refuses a file: before anything is copied or uploaded, and with GL's error left clear.
    const std::string refused = !CGLStateScope::hasContext()
                                    ? std::string(CGLStateScope::noContextText())
                                    : CImageLimits::sizeRefusal(pictureWidth, pictureHeight);
    if (!refused.empty()) {
        CLog::line("Could not upload the picture: " + refused);
        return false;
    }
    uint8_t* copy = static_cast<uint8_t*>(std::malloc(std::size_t(bytes)));
    if (copy == nullptr)
        return false;
    std::memcpy(copy, rgba, std::size_t(bytes));
    release();
    // The picture replaces the one this image held, texture and all.
    releaseTexture();
    pixels = copy;
    width = pictureWidth;
    height = pictureHeight;
    bitsPerPixel = 32;
    bytesPerPixel = 4;
    imageSize = bytes;
    format = GL_RGBA;
    upload();
    return true;
}
