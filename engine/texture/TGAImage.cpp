#include "engine/texture/TGAImage.h"

#include "engine/core/Log.h"
#include "engine/texture/ImageLimits.h"

#include <GL/glew.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Bytes 1 to 11 of the two kinds read: no colour map, type 2 or 10, an all-zero colour-map field
// and zero origin.
const uint8_t kUncompressedPattern[11] = {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t kCompressedPattern[11] = {0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

void fail(const char* text, const char* path)
{
    CLog::line(std::string(text) + (path ? path : ""));
}

// Why the file cannot become a texture now, before anything is decoded. Sizes beyond what the
// reader allocates at all are left to its own refusal and message.
std::string uploadRefusal(const char* path)
{
    if (!CImageLimits::hasContext())
        return CImageLimits::noContextText();
    uint32_t width = 0, height = 0;
    if (!CImageLimits::readSize(path, true, width, height))
        return std::string();
    if (uint64_t(width) * height * 4 > CTGAImage::maxImageBytes)
        return std::string();
    return CImageLimits::sizeRefusal(width, height);
}

} // namespace

CTGAImage::CTGAImage()
    : pixels(nullptr),
      textureName(0),
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
    if (!CImageLimits::hasContext()) {
        release();
        fail((std::string("Could not upload texture file (") + CImageLimits::noContextText() + "): ").c_str(),
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
    if (std::memcmp(header, kUncompressedPattern, 11) == 0)
        return loadUncompressed(path, file);
    if (std::memcmp(header, kCompressedPattern, 11) == 0)
        return loadCompressed(path, file);
    fail("TGA file be type 2 or type 10, Invalid Image: ", path);
    return false;
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
    pixels = imageSize <= maxImageBytes ? static_cast<uint8_t*>(std::malloc(imageSize)) : nullptr;
    if (pixels == nullptr) {
        fail("Could not allocate memory for image: ", path);
        release();
        return false;
    }
    return true;
}

bool CTGAImage::loadUncompressed(const char* path, FILE* file)
{
    if (!readInfo(path, file))
        return false;
    if (std::fread(pixels, 1, imageSize, file) != imageSize) {
        fail("Could not read image data: ", path);
        release();
        return false;
    }
    for (uint64_t i = 0; i < imageSize; i += bytesPerPixel) {
        const uint8_t blue = pixels[i];
        pixels[i] = pixels[i + 2];
        pixels[i + 2] = blue;
    }
    return true;
}

bool CTGAImage::loadCompressed(const char* path, FILE* file)
{
    if (!readInfo(path, file))
        return false;
    const uint64_t pixelCount = uint64_t(width) * height;
    uint64_t stored = 0;
    uint8_t pixel[4];
    // Stores one file pixel (blue, green, red, alpha) as red, green, blue, alpha.
    auto store = [&]() {
        if (stored >= pixelCount)
            return false;
        uint8_t* at = pixels + stored * bytesPerPixel;
        at[0] = pixel[2];
        at[1] = pixel[1];
        at[2] = pixel[0];
        if (bytesPerPixel == 4)
            at[3] = pixel[3];
        ++stored;
        return true;
    };
    while (stored < pixelCount) {
        uint8_t packet = 0;
        if (std::fread(&packet, 1, 1, file) != 1) {
            fail("Could not read RLE header: ", path);
            release();
            return false;
        }
        if (packet < 128) {
            for (unsigned n = packet + 1u; n > 0; --n) {
                if (std::fread(pixel, 1, bytesPerPixel, file) != bytesPerPixel) {
                    fail("Could not read image data: ", path);
                    release();
                    return false;
                }
                if (!store()) {
                    fail("Too many pixels read: ", path);
                    release();
                    return false;
                }
            }
        } else {
            if (std::fread(pixel, 1, bytesPerPixel, file) != bytesPerPixel) {
                fail("Could not read from file: ", path);
                release();
                return false;
            }
            for (unsigned n = packet - 127u; n > 0; --n) {
                if (!store()) {
                    fail("Too many pixels read: ", path);
                    release();
                    return false;
                }
            }
        }
    }
    return true;
}

void CTGAImage::releaseTexture()
{
    if (textureName != 0 && CImageLimits::hasContext())
        glDeleteTextures(1, &textureName);
    textureName = 0;
}

void CTGAImage::upload()
{
    glGenTextures(1, &textureName);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Rows are packed tightly: a 24-bit row of any width must not be read as padded to 4 bytes.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}
