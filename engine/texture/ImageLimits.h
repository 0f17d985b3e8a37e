#ifndef ENGINE_TEXTURE_IMAGELIMITS_H
#define ENGINE_TEXTURE_IMAGELIMITS_H

#include <cstdint>
#include <string>

// What must hold before an image file is decoded for a texture: an OpenGL context to upload into,
// and a width and height that the context can hold. A few header bytes tell the size of every kind
// SDL_image decodes (PNG, BMP, GIF, JPEG, TIFF, WebP, PCX, PNM, XPM, XV, XCF, LBM, ICO and CUR) and
// of a TGA file, so a small file that would decode to gigabytes is refused before anything is
// allocated for its pixels. Owns nothing. Main thread only (it asks the current context).
class CImageLimits {
public:
    // GL_MAX_TEXTURE_SIZE of the current context; 0 without one.
    static int maxTextureSize();
    // The largest surface SDL 1.2 makes (its row length is 16 bits).
    static constexpr uint32_t kLargestSurfaceWidth = 16383;
    static constexpr uint32_t kLargestSurfaceHeight = 65535;
    // Width and height from the header of a file of one of those kinds (found by its signature)
    // or, when asTga is true or the name ends in ".tga", of a TGA file. False for another kind, a
    // short or unreadable file.
    static bool readSize(const std::string& path, bool asTga, uint32_t& width, uint32_t& height);
    // Empty when the file may be decoded now; otherwise why not, as the tail of a failure line:
    // no context, "it is not a regular file" (CRegularFile), "16000 x 16000 pixels, more than the 8192 an OpenGL
    // texture can hold here", a size SDL 1.2's surfaces cannot hold, an image of no pixels, a header of a known
    // kind that ends before its size, or an uncompressed TGA or BMP shorter than its header says (a decoder would
    // allocate the whole image first).
    static std::string refusal(const std::string& path, bool asTga = false);
    // The smallest file an uncompressed TGA or BMP of the size its header gives can be; 0 for
    // other kinds and compressed ones.
    static uint64_t minimumBytes(const std::string& path, bool asTga);
    // The same reason for a size already known (a decoded image of a kind without a readable header).
    static std::string sizeRefusal(uint32_t width, uint32_t height);
    // refusal() and sizeRefusal() for a texture size limit given rather than asked of the context
    // (0 for none): what a tool or the fuzzer checks without a window.
    static std::string fileRefusal(const std::string& path, bool asTga, int textureLimit);
    static std::string textureRefusal(uint32_t width, uint32_t height, int textureLimit);
};

#endif
