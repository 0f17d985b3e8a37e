#ifndef ENGINE_TEXTURE_TGAIMAGE_H
#define ENGINE_TEXTURE_TGAIMAGE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Reads an uncompressed (type 2) or run-length encoded (type 10) true-colour TGA file of 24 or 32
// bits and uploads it as a GL texture. The pixels are stored red, green, blue (, alpha), the bottom
// row of the picture first and each row from its left, whichever corner the file starts from (the
// image descriptor's origin bits): the usual bottom-up file keeps its rows in file order, a
// top-down one has them reversed, a right-to-left one mirrored. Row 0 becomes texture row t = 0.
// Owns the decoded pixels (kept after the upload); the GL texture lives as long as the context
// (the destructor leaves it), and a later load deletes it only under the context that made it.
// Every failure writes one line and leaves nothing uploaded.
class CTGAImage {
public:
    // The largest decoded image accepted; larger headers are refused like a failed allocation.
    static const uint64_t kMaxImageBytes = uint64_t(256) << 20;

    CTGAImage();
    ~CTGAImage();

    // Reads, decodes and uploads, replacing (deleting) the texture of an earlier load; a failure
    // leaves textureName 0. Refuses, with one line and before decoding, while no OpenGL window is
    // open and when the header's size exceeds GL_MAX_TEXTURE_SIZE.
    bool load(const char* path);
    // Takes a 32-bit picture made in memory (red, green, blue, alpha bytes; the first row becomes
    // texture row t = 0, as in a bottom-up file) and uploads it as load() uploads a file; the
    // texture of an earlier picture is deleted. Refused, leaving the image as it was: an empty or
    // null picture, and with one line "Could not upload the picture: WHY" one
    // without the context or wider or higher than GL_MAX_TEXTURE_SIZE.
    bool loadPixels(uint32_t pictureWidth, uint32_t pictureHeight, const uint8_t* rgba);
    // The same for a file held in memory (a copy built into the program); name only names it in
    // messages.
    bool loadFromMemory(const char* name, const uint8_t* data, std::size_t size);
    // Reads and decodes from an open file, without OpenGL; path only names the file in messages.
    // On failure the pixels are released and the fields describe no image.
    bool decode(const char* path, FILE* file);
    bool loadUncompressed(const char* path, FILE* file);
    bool loadCompressed(const char* path, FILE* file);

    uint8_t* pixels;       // malloc'ed, width * height * bytesPerPixel bytes; null when empty
    uint32_t textureName;  // 0 until an upload succeeded
    // CGLStateScope::contextGeneration() when textureName was made.
    uint32_t textureGeneration;
    uint32_t bitsPerPixel;
    uint32_t width;
    uint32_t height;
    uint32_t format;  // GL_RGB or GL_RGBA
    uint8_t header[12];
    uint8_t info[6];
    uint32_t bytesPerPixel;
    uint64_t imageSize;  // 64 bits: 65535 x 65535 x 4 does not fit 32

private:
    CTGAImage(const CTGAImage&) = delete;
    CTGAImage& operator=(const CTGAImage&) = delete;

    // Reads the info bytes, checks them and allocates the pixels; the common start of both kinds.
    bool readInfo(const char* path, FILE* file);
    void release();
    // Deletes the uploaded texture (while the context that made it still stands).
    void releaseTexture();
    void upload();
    // Puts decoded pixels in the stored order, bottom row first and left to right.
    void orient();

    uint8_t idLength;
};

#endif
