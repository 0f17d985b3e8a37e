// libFuzzer target for the TGA reader. Each input is handed to CTGAImage::decode as an open file
// (fmemopen), without OpenGL, and the outcome is compared with a small independent decoder written
// from the file format: a crash, a sanitizer report or a disagreement is a finding.
// Build and run it with scripts/fuzz.sh.
#include "engine/texture/TGAImage.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

struct Decoded {
    bool ok = false;
    uint32_t width = 0, height = 0, bitsPerPixel = 0;
    std::vector<uint8_t> pixels;
};

// The reference: the two accepted headers, 24 or 32 bits, at most kMaxImageBytes, pixels stored
// red, green, blue (, alpha) bottom row first and left to right whatever corner the file starts
// from, packets of the run-length kind may cross rows but not run past the last pixel.
Decoded reference(const uint8_t* data, std::size_t size)
{
    Decoded result;
    static const uint8_t zeros[9] = {};
    if (size < 18 || data[1] != 0 || (data[2] != 2 && data[2] != 10) || std::memcmp(data + 3, zeros, 9) != 0)
        return result;
    const uint32_t width = data[12] | uint32_t(data[13]) << 8;
    const uint32_t height = data[14] | uint32_t(data[15]) << 8;
    const uint32_t bits = data[16];
    if (width == 0 || height == 0 || (bits != 24 && bits != 32))
        return result;
    const std::size_t bytes = bits / 8;
    const uint64_t count = uint64_t(width) * height;
    if (count * bytes > CTGAImage::kMaxImageBytes)
        return result;
    std::size_t at = 18 + std::size_t(data[0]);
    // Each packet of at least 1 + bytes input bytes yields at most 128 pixels, so an input too
    // short to fill the image fails before the reference allocates the image.
    const std::size_t rest = at <= size ? size - at : 0;
    if (data[2] == 2 ? rest < count * bytes : count > uint64_t(rest) * 128)
        return result;
    result.pixels.resize(std::size_t(count * bytes));
    uint64_t stored = 0;
    auto store = [&](const uint8_t* pixel) {
        if (stored == count)
            return false;
        // The file's n-th pixel lands where its corner of origin puts it: bottom row first, each
        // row from its left.
        const uint64_t row = stored / width, column = stored % width;
        const uint64_t y = (data[17] & 0x20) ? height - 1 - row : row;
        const uint64_t x = (data[17] & 0x10) ? width - 1 - column : column;
        ++stored;
        uint8_t* out = &result.pixels[std::size_t((y * width + x) * bytes)];
        out[0] = pixel[2];
        out[1] = pixel[1];
        out[2] = pixel[0];
        if (bytes == 4)
            out[3] = pixel[3];
        return true;
    };
    if (data[2] == 2) {
        for (uint64_t i = 0; i < count; ++i)
            store(data + at + i * bytes);
    } else {
        while (stored < count) {
            if (at >= size)
                return Decoded();
            const uint8_t packet = data[at++];
            const unsigned pixelsRead = packet < 128 ? packet + 1u : 1u;
            const unsigned repeats = packet < 128 ? 1u : packet - 127u;
            for (unsigned p = 0; p < pixelsRead; ++p) {
                if (size - at < bytes)
                    return Decoded();
                const uint8_t* pixel = data + at;
                at += bytes;
                for (unsigned r = 0; r < repeats; ++r)
                    if (!store(pixel))
                        return Decoded();
            }
        }
    }
    result.ok = true;
    result.width = width;
    result.height = height;
    result.bitsPerPixel = bits;
    return result;
}

// The reader writes one line for every refused file; a line per input would slow the run and bury
// libFuzzer's own report, which goes to standard error. TGA_FUZZ_VERBOSE=1 keeps them.
void silenceStandardOutput()
{
    const char* verbose = std::getenv("TGA_FUZZ_VERBOSE");
    if (verbose != nullptr && verbose[0] == '1')
        return;
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 1);
        close(null);
    }
}

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "TGA reader disagrees with the reference: %s\n", what);
        std::abort();
    }
}

// Decodes the input with a fresh stream; the same image object is used twice per input so that the
// release of a previous image is exercised as well.
bool decodeOnce(CTGAImage& image, const uint8_t* data, std::size_t size)
{
    // fmemopen refuses an empty buffer; an empty file is read from /dev/null instead.
    FILE* file = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "r") : std::fopen("/dev/null", "r");
    check(file != nullptr, "the input could not be opened as a stream");
    const bool ok = image.decode("fuzz.tga", file);
    std::fclose(file);
    return ok;
}

void compare(const CTGAImage& image, bool ok, const Decoded& expected)
{
    check(ok == expected.ok, "accepted or refused differently");
    if (!ok) {
        check(image.pixels == nullptr, "a refused image keeps pixels");
        check(image.width == 0 && image.height == 0 && image.imageSize == 0, "a refused image keeps a size");
        return;
    }
    check(image.width == expected.width && image.height == expected.height, "size");
    check(image.bitsPerPixel == expected.bitsPerPixel, "bits per pixel");
    check(image.bytesPerPixel == expected.bitsPerPixel / 8, "bytes per pixel");
    check(image.format == (expected.bitsPerPixel == 24 ? GLenum(GL_RGB) : GLenum(GL_RGBA)), "format");
    check(image.imageSize == expected.pixels.size(), "image size");
    check(image.pixels != nullptr &&
              std::memcmp(image.pixels, expected.pixels.data(), expected.pixels.size()) == 0,
          "pixels");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    silenceStandardOutput();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const Decoded expected = reference(data, size);
    CTGAImage image;
    compare(image, decodeOnce(image, data, size), expected);
    compare(image, decodeOnce(image, data, size), expected);
    return 0;
}
