#ifndef ENGINE_TEXTURE_PIXELUPLOAD_H
#define ENGINE_TEXTURE_PIXELUPLOAD_H

#include "engine/graphics/GLStateScope.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// The one path from pixels to OpenGL: converts SDL surfaces of any layout to red, green, blue (and
// alpha) bytes and uploads pixel buffers with every setting stated by the caller, so no upload
// depends on the GL state an earlier one left behind. Owns nothing; upload() needs the context.
class CPixelUpload {
public:
    // What the caller decides; everything else is fixed (GL_UNSIGNED_BYTE, internal format = format).
    // GL enumerants as plain ints, so that this header needs no GL header of its own.
    struct Settings {
        int minFilter;
        int magFilter;  // 0 leaves GL's default
        int wrap;       // for s and t; 0 leaves GL's default
        bool mipmaps;   // the smaller levels too (see mipmapPath), or level 0 only
    };
    // How an upload that wants mipmaps makes them. Level 0 is the image at its own size wherever the
    // GL takes any size (GL 2.0 or ARB_texture_non_power_of_two, which every GL the engine meets
    // today has) and the GL then makes the smaller levels from it (GL 1.4's GL_GENERATE_MIPMAP).
    // Only a GL without either gets gluBuild2DMipmaps, which scales an image whose sides are not
    // powers of two to the nearest ones before storing level 0: a tileset's tiles blur and its
    // spacing bleeds into them.
    enum MipmapPath {
        kLevelZeroOnly,
        kMadeByGl,
        kScaledByGlu,
    };
    static MipmapPath mipmapPath(int width, int height);
    // True when the current GL stores a texture of any size as it is. Needs the context.
    static bool takesAnySize();
    static bool isPowerOfTwo(int side);
    // A buffer of width * height pixels of 3 (red, green, blue) or 4 (and alpha) bytes, each row
    // padded to a multiple of rowAlignment bytes (1, 2, 4 or 8).
    struct Pixels {
        const void* data;
        int width;
        int height;
        int channels;
        int rowAlignment;
    };

    // Saves the pixel-store state of one direction (pack: reading from GL; unpack: giving to GL) and
    // the pixel buffer bound for it, sets every parameter to its default with the given row
    // alignment and unbinds the buffer, and puts it all back when it goes. A row length, a skip or a
    // bound buffer that the application left set then never reaches the engine's own reads and
    // uploads, which size their memory for tightly packed rows. Needs the context.
    class CPixelStoreScope {
    public:
        CPixelStoreScope(bool pack, int rowAlignment);
        ~CPixelStoreScope();
        CPixelStoreScope(const CPixelStoreScope&) = delete;
        CPixelStoreScope& operator=(const CPixelStoreScope&) = delete;

    private:
        CGLStateScope state;
    };

    // One pixel of a surface row (1 to 4 bytes) as the value SDL_GetRGBA expects: the bytes read in
    // the machine's own order, as SDL stores them.
    static Uint32 readPixel(const Uint8* at, int bytesPerPixel);
    // True when the surface's pixels can be read by its format: 1 to 4 bytes per pixel and rows at
    // least that wide. SDL 1.2's BMP reader returns a surface of 0 bytes per pixel and pitch 0 over a
    // 1-byte buffer for some malformed OS/2 headers; nothing may read such a surface.
    static bool isReadable(const SDL_Surface* surface);
    // What a loader says of a surface that is not readable.
    static const char* unreadableText();
    // True when the surface's bytes are already red, green, blue (and alpha) in memory order with
    // rows padded to 4, so they can go to GL as they are.
    static bool isDirectlyUploadable(const SDL_Surface* surface);
    // IMG_Load, with one repair: of a grey PNG with a transparent level (colour type 0 with a tRNS
    // chunk) SDL_image 1.2 makes two bytes a pixel, grey then alpha, but describes them as 16-bit
    // colour (red and green masks and a blue one past 16 bits on the classic SDL, red, green and
    // blue 5-6-5 on sdl12-compat); read by its masks it draws red and green. Such a surface comes
    // back as 32-bit red, green, blue, alpha. Null, with SDL's error set, where IMG_Load fails.
    static SDL_Surface* readImage(const std::string& path);
    // True when the file is a PNG of grey samples with a tRNS chunk before its image data.
    static bool isGreyPngWithTransparency(const std::string& path);
    // True when the surface carries transparency: an alpha mask or a colour key.
    static bool hasAlpha(const SDL_Surface* surface);
    // The surface as red, green, blue bytes and, with 4 channels, alpha (the surface's own alpha, 0
    // where the surface's colour key matches). colorKey (0xRRGGBB; negative for none) makes the
    // pixels of that colour transparent black whatever their alpha. Rows padded to rowAlignment;
    // bottomUp puts the last row first. Empty for a surface that is not readable.
    static std::vector<Uint8> convert(SDL_Surface* surface, int channels, int rowAlignment, bool bottomUp,
                                      int32_t colorKey = -1);
    // Generates a texture name, binds it, sets the filters and wrap modes and uploads the buffer.
    // The unpack alignment is the buffer's for the call and restored after. Returns the name, bound.
    static unsigned int upload(const Pixels& pixels, const Settings& settings);
    // The surface as it is when directly uploadable, else converted to RGB, or RGBA when it carries
    // transparency (hasAlpha) or colorKey keys a colour (as convert() keys it). Does not free the
    // surface.
    static unsigned int uploadSurface(SDL_Surface* surface, const Settings& settings, int32_t colorKey = -1);
};

#endif
