#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL_image.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

std::size_t paddedRow(int bytes, int alignment)
{
    return (std::size_t(bytes) + std::size_t(alignment) - 1) / std::size_t(alignment) * std::size_t(alignment);
}

GLenum formatOf(int channels)
{
    return channels == 4 ? GL_RGBA : GL_RGB;
}

}  // namespace

Uint32 CPixelUpload::readPixel(const Uint8* at, int bytesPerPixel)
{
    switch (bytesPerPixel) {
    case 1:
        return *at;
    case 2: {
        Uint16 value;
        std::memcpy(&value, at, 2);
        return value;
    }
    case 3:
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
        return Uint32(at[0]) | Uint32(at[1]) << 8 | Uint32(at[2]) << 16;
#else
        return Uint32(at[0]) << 16 | Uint32(at[1]) << 8 | Uint32(at[2]);
#endif
    default: {
        Uint32 value;
        std::memcpy(&value, at, 4);
        return value;
    }
    }
}

bool CPixelUpload::isReadable(const SDL_Surface* surface)
{
    if (surface == nullptr || surface->format == nullptr)
        return false;
    const int bytesPerPixel = surface->format->BytesPerPixel;
    if (bytesPerPixel < 1 || bytesPerPixel > 4 || surface->w < 0 || surface->h < 0)
        return false;
    return surface->w == 0 || surface->h == 0 ||
           (surface->pixels != nullptr && surface->pitch >= surface->w * bytesPerPixel);
}

const char* CPixelUpload::unreadableText()
{
    return "the decoder gave pixels of no layout it describes";
}

bool CPixelUpload::isDirectlyUploadable(const SDL_Surface* surface)
{
    const SDL_PixelFormat* format = surface->format;
    if (format->palette != nullptr || (surface->flags & SDL_SRCCOLORKEY))
        return false;
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    const Uint32 red = 0x000000FF, green = 0x0000FF00, blue = 0x00FF0000, alphaMask = 0xFF000000;
    const Uint32 red24 = 0x0000FF, blue24 = 0xFF0000;
#else
    const Uint32 red = 0xFF000000, green = 0x00FF0000, blue = 0x0000FF00, alphaMask = 0x000000FF;
    const Uint32 red24 = 0xFF0000, blue24 = 0x0000FF;
#endif
    if (format->BytesPerPixel == 4 && format->Amask != 0)
        return format->Rmask == red && format->Gmask == green && format->Bmask == blue &&
               format->Amask == alphaMask && surface->pitch == surface->w * 4;
    if (format->BytesPerPixel == 3 && format->Amask == 0)
        return format->Rmask == red24 && format->Gmask == 0x00FF00 && format->Bmask == blue24 &&
               std::size_t(surface->pitch) == paddedRow(surface->w * 3, 4);
    return false;
}

bool CPixelUpload::isGreyPngWithTransparency(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    unsigned char start[8 + 8 + 13];
    bool found = std::fread(start, 1, sizeof(start), file) == sizeof(start) &&
                 std::memcmp(start, kSignature, 8) == 0 && std::memcmp(start + 12, "IHDR", 4) == 0 &&
                 start[16 + 9] == 0;  // colour type 0: grey
    if (found) {
        found = false;
        // The chunks after IHDR (and its CRC) up to the image data; each header names the next.
        long at = 8 + 8 + 13 + 4;
        unsigned char header[8];
        for (int chunks = 0; chunks < 4096 && std::fseek(file, at, SEEK_SET) == 0 &&
                             std::fread(header, 1, 8, file) == 8 && std::memcmp(header + 4, "IDAT", 4) != 0;
             ++chunks) {
            if (std::memcmp(header + 4, "tRNS", 4) == 0) {
                found = true;
                break;
            }
            const uint32_t length =
                uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 | uint32_t(header[2]) << 8 | header[3];
            if (length > 0x7FFFFFFFu)
                break;
            at += long(length) + 12;
        }
    }
    std::fclose(file);
    return found;
}

SDL_Surface* CPixelUpload::readImage(const std::string& path)
{
    SDL_Surface* surface = IMG_Load(path.c_str());
    if (surface == nullptr || surface->format->BytesPerPixel != 2 || surface->format->palette != nullptr ||
        !isReadable(surface) || !isGreyPngWithTransparency(path))
        return surface;
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    const Uint32 red = 0x000000FF, green = 0x0000FF00, blue = 0x00FF0000, alphaMask = 0xFF000000;
#else
    const Uint32 red = 0xFF000000, green = 0x00FF0000, blue = 0x0000FF00, alphaMask = 0x000000FF;
#endif
    SDL_Surface* rgba =
        SDL_CreateRGBSurface(SDL_SWSURFACE, surface->w, surface->h, 32, red, green, blue, alphaMask);
    if (rgba != nullptr) {
        if (SDL_MUSTLOCK(surface))
            SDL_LockSurface(surface);
        for (int y = 0; y < surface->h; ++y) {
            const Uint8* in = static_cast<const Uint8*>(surface->pixels) + std::size_t(y) * surface->pitch;
            Uint8* out = static_cast<Uint8*>(rgba->pixels) + std::size_t(y) * rgba->pitch;
            for (int x = 0; x < surface->w; ++x, in += 2, out += 4) {
                out[0] = out[1] = out[2] = in[0];
                out[3] = in[1];
            }
        }
        if (SDL_MUSTLOCK(surface))
            SDL_UnlockSurface(surface);
    }
    SDL_FreeSurface(surface);
    if (rgba == nullptr)
        SDL_SetError("no memory for the grey image's colours");
    return rgba;
}

bool CPixelUpload::hasAlpha(const SDL_Surface* surface)
{
    return surface->format->Amask != 0 || (surface->flags & SDL_SRCCOLORKEY) != 0;
}

std::vector<Uint8> CPixelUpload::convert(SDL_Surface* surface, int channels, int rowAlignment, bool bottomUp,
                                         int32_t colorKey)
{
    if (!isReadable(surface))
        return std::vector<Uint8>();
    const std::size_t rowBytes = paddedRow(surface->w * channels, rowAlignment);
    std::vector<Uint8> pixels(rowBytes * std::size_t(surface->h), 0);
    const bool keyed = (surface->flags & SDL_SRCCOLORKEY) != 0;
    const bool ownKey = colorKey >= 0 && colorKey <= 0xFFFFFF;
    const int bytesPerPixel = surface->format->BytesPerPixel;
    if (SDL_MUSTLOCK(surface))
        SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y) {
        // SDL pads every row to its pitch: address rows by the pitch, or odd widths come out sheared.
        const Uint8* row = static_cast<const Uint8*>(surface->pixels) + std::size_t(y) * surface->pitch;
        const int outRow = bottomUp ? surface->h - 1 - y : y;
        Uint8* out = pixels.data() + std::size_t(outRow) * rowBytes;
        for (int x = 0; x < surface->w; ++x) {
            const Uint8* at = row + std::size_t(x) * bytesPerPixel;
            const Uint32 value = readPixel(at, bytesPerPixel);
            Uint8 r, g, b, a;
            SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
            if (keyed && value == surface->format->colorkey)
                a = 0;
            // Keyed pixels become transparent black, so that linear filtering at a keyed edge fades
            // to nothing instead of to the key's colour.
            if (ownKey && (Uint32(r) << 16 | Uint32(g) << 8 | b) == Uint32(colorKey))
                r = g = b = a = 0;
            out[0] = r;
            out[1] = g;
            out[2] = b;
            if (channels == 4)
                out[3] = a;
            out += channels;
        }
    }
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    return pixels;
}

unsigned int CPixelUpload::upload(const Pixels& pixels, const Settings& settings)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    if (settings.wrap != 0) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, settings.wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, settings.wrap);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, settings.minFilter);
    if (settings.magFilter != 0)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, settings.magFilter);

    const CPixelStoreScope store(false, pixels.rowAlignment);
    const GLenum format = formatOf(pixels.channels);
    const MipmapPath path = settings.mipmaps ? mipmapPath(pixels.width, pixels.height) : kLevelZeroOnly;
    if (path == kScaledByGlu) {
        gluBuild2DMipmaps(GL_TEXTURE_2D, GLint(format), pixels.width, pixels.height, format, GL_UNSIGNED_BYTE,
                          pixels.data);
        return name;
    }
    // The GL makes the smaller levels from level 0 as it is stored, so level 0 keeps the image's
    // own size and pixels. The flag stays with the texture, which is what the GL asks of it.
    if (path == kMadeByGl)
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), pixels.width, pixels.height, 0, format, GL_UNSIGNED_BYTE,
                 pixels.data);
    return name;
}

bool CPixelUpload::isPowerOfTwo(int side)
{
    return side > 0 && (side & (side - 1)) == 0;
}

bool CPixelUpload::takesAnySize()
{
    return GLEW_VERSION_2_0 || GLEW_ARB_texture_non_power_of_two;
}

CPixelUpload::MipmapPath CPixelUpload::mipmapPath(int width, int height)
{
    if (!takesAnySize() && !(isPowerOfTwo(width) && isPowerOfTwo(height)))
        return kScaledByGlu;
    return GLEW_VERSION_1_4 || GLEW_SGIS_generate_mipmap ? kMadeByGl : kScaledByGlu;
}

namespace {

// Each direction's parameters in one order, with their defaults (the alignment is the caller's).
const int kParameters = 8;
const GLenum kPackParameters[] = {GL_PACK_ALIGNMENT,   GL_PACK_ROW_LENGTH,   GL_PACK_SKIP_ROWS,
                                  GL_PACK_SKIP_PIXELS, GL_PACK_IMAGE_HEIGHT, GL_PACK_SKIP_IMAGES,
                                  GL_PACK_SWAP_BYTES,  GL_PACK_LSB_FIRST};
const GLenum kUnpackParameters[] = {GL_UNPACK_ALIGNMENT,   GL_UNPACK_ROW_LENGTH,   GL_UNPACK_SKIP_ROWS,
                                    GL_UNPACK_SKIP_PIXELS, GL_UNPACK_IMAGE_HEIGHT, GL_UNPACK_SKIP_IMAGES,
                                    GL_UNPACK_SWAP_BYTES,  GL_UNPACK_LSB_FIRST};

}  // namespace

CPixelUpload::CPixelStoreScope::CPixelStoreScope(bool pack, int rowAlignment)
{
    const GLenum* names = pack ? kPackParameters : kUnpackParameters;
    for (int i = 0; i < kParameters; ++i)
        state.pixelStore(names[i], i == 0 ? rowAlignment : 0);
    state.bindBuffer(pack ? GL_PIXEL_PACK_BUFFER_ARB : GL_PIXEL_UNPACK_BUFFER_ARB, 0);
}

CPixelUpload::CPixelStoreScope::~CPixelStoreScope() = default;

unsigned int CPixelUpload::uploadSurface(SDL_Surface* surface, const Settings& settings, int32_t colorKey)
{
    const bool ownKey = colorKey >= 0 && colorKey <= 0xFFFFFF;
    if (!ownKey && isDirectlyUploadable(surface))
        return upload(Pixels{surface->pixels, surface->w, surface->h, surface->format->Amask != 0 ? 4 : 3, 4},
                      settings);
    const int channels = ownKey || hasAlpha(surface) ? 4 : 3;
    const std::vector<Uint8> converted = convert(surface, channels, 4, false, colorKey);
    if (converted.empty())
        return 0;
    return upload(Pixels{converted.data(), surface->w, surface->h, channels, 4}, settings);
}
