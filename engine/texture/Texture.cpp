#include "engine/texture/Texture.h"

#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/TextureManager.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL_image.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const CTextureRegion kWholeImage = {1.0f, 1.0f, 0.0f, 0.0f};

// Rows as SDL pads them and GL reads them with an unpack alignment of 4.
int alignedRow(int bytes)
{
    return (bytes + 3) & ~3;
}

// True when the surface's bytes are already red, green, blue (and alpha) in memory order with the
// row padding GL expects, so they can go to GL as they are.
bool uploadsDirectly(const SDL_Surface* surface)
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
               surface->pitch == alignedRow(surface->w * 3);
    return false;
}

Uint32 readPixel(const Uint8* at, int bytesPerPixel)
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

// Palettised, 16-bit, blue-first and alpha-less 32-bit surfaces: red, green, blue (and alpha, when
// the surface has an alpha mask or a colour key) bytes, rows padded to 4 bytes.
std::vector<Uint8> convertPixels(SDL_Surface* surface, int channels)
{
    const int rowBytes = alignedRow(surface->w * channels);
    std::vector<Uint8> pixels(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(surface->h), 0);
    const bool keyed = (surface->flags & SDL_SRCCOLORKEY) != 0;
    const int bytesPerPixel = surface->format->BytesPerPixel;
    if (SDL_MUSTLOCK(surface))
        SDL_LockSurface(surface);
    for (int y = 0; y < surface->h; ++y) {
        const Uint8* row = static_cast<const Uint8*>(surface->pixels) + std::size_t(y) * surface->pitch;
        Uint8* out = pixels.data() + std::size_t(y) * rowBytes;
        for (int x = 0; x < surface->w; ++x) {
            const Uint32 value = readPixel(row + std::size_t(x) * bytesPerPixel, bytesPerPixel);
            Uint8 r, g, b, a;
            SDL_GetRGBA(value, surface->format, &r, &g, &b, &a);
            if (keyed && value == surface->format->colorkey)
                a = 0;
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

} // namespace

CTexture::CTexture()
    : id(0),
      width(0.0f),
      height(0.0f),
      alpha(1.0f),
      shader(nullptr)
{
}

CTexture::CTexture(const std::string& name)
    : CTexture()
{
    load(name);
    alpha = 1.0f;
}

CTexture::CTexture(const std::string& name, float alphaValue)
    : CTexture()
{
    load(name);
    alpha = alphaValue;
}

CTexture::~CTexture()
{
    unload();
    // Leave the registry so that it never holds a pointer to a destroyed texture.
    if (g_pTextureManager != nullptr)
        g_pTextureManager->forgetTexture(this);
}

void CTexture::load(std::string name)
{
    CLog::line("Loading Texture: " + name);
    // Refused before SDL_image allocates the decoded pixels.
    const std::string refused = CImageLimits::refusal(name);
    if (!refused.empty()) {
        CLog::line("Failed to load the image: " + name + ", Error: " + refused);
        return;
    }
    SDL_Surface* surface = IMG_Load(name.c_str());
    if (surface == nullptr) {
        CLog::line("Failed to load the image: " + name + ", Error: " + SDL_GetError());
        return;
    }
    fileName = name;
    upload(surface);
    shader = g_pShaderManager ? g_pShaderManager->getShader(0) : nullptr;
}

void CTexture::upload(SDL_Surface* surface)
{
    if (surface == nullptr)
        return;
    // Kinds whose header the limits cannot read are checked once decoded, before GLU would
    // scale them down at a cost of many times their size.
    std::string refused = CImageLimits::hasContext() ? CImageLimits::sizeRefusal(uint32_t(surface->w), uint32_t(surface->h))
                                                     : std::string(CImageLimits::noContextText());
    if (!refused.empty()) {
        CLog::line("Failed to load the image: " + fileName + ", Error: " + refused);
        fileName.clear();
        SDL_FreeSurface(surface);
        return;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    width = static_cast<float>(surface->w);
    height = static_cast<float>(surface->h);

    if (uploadsDirectly(surface)) {
        const GLenum format = surface->format->Amask != 0 ? GL_RGBA : GL_RGB;
        gluBuild2DMipmaps(GL_TEXTURE_2D, format, surface->w, surface->h, format, GL_UNSIGNED_BYTE,
                          surface->pixels);
    } else {
        const bool withAlpha = surface->format->Amask != 0 || (surface->flags & SDL_SRCCOLORKEY);
        const std::vector<Uint8> pixels = convertPixels(surface, withAlpha ? 4 : 3);
        const GLenum format = withAlpha ? GL_RGBA : GL_RGB;
        gluBuild2DMipmaps(GL_TEXTURE_2D, format, surface->w, surface->h, format, GL_UNSIGNED_BYTE,
                          pixels.data());
    }
    SDL_FreeSurface(surface);
    if (g_pTextureManager != nullptr)
        g_pTextureManager->addTexture(this);
}

void CTexture::reload()
{
    // Nothing to re-read: the GL texture keeps the image for the run.
}

void CTexture::unload()
{
    // The GL texture lives as long as the context.
}

void CTexture::draw(CVector2 pos, float scale, float angle, float red, float green, float blue,
                    float alphaValue)
{
    drawQuad(pos.x, pos.y, scale, angle, red, green, blue, alphaValue, kWholeImage);
}

void CTexture::draw(float x, float y, float scale, float angle, float red, float green, float blue,
                    float alphaValue)
{
    drawQuad(x, y, scale, angle, red, green, blue, alphaValue, kWholeImage);
}

void CTexture::drawWithAlpha(float x, float y, float scale, float angle, float red, float green, float blue)
{
    drawQuad(x, y, scale, angle, red, green, blue, alpha, kWholeImage);
}

void CTexture::drawAtOwnPosition(float scale, float angle, float red, float green, float blue,
                                 float alphaValue)
{
    drawQuad(position.x, position.y, scale, angle, red, green, blue, alphaValue, kWholeImage);
}

void CTexture::drawRegion(float x, float y, CTextureRegion region, float scale, float angle, float red,
                          float green, float blue, float alphaValue)
{
    drawQuad(x, y, scale, angle, red, green, blue, alphaValue, region);
}

void CTexture::drawQuad(float x, float y, float scale, float angle, float red, float green, float blue,
                        float alphaValue, const CTextureRegion& region)
{
    if (id == 0)
        return;
    const float w = (region.right - region.left) * width;
    const float h = (region.top - region.bottom) * height;

    glPushMatrix();
    // Unit 0, which the shader samples: after bindToUnit(n) the active unit may be another.
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, id);
    glTranslatef(x, y, 0.0f);
    if (scale != 1.0f)
        glScalef(scale, scale, 0.0f);
    if (angle != 0.0f) {
        glTranslatef(w * 0.5f, h * 0.5f, 0.0f);
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
        glTranslatef(-w * 0.5f, -h * 0.5f, 0.0f);
    }

    // Without a linked program (shader files missing) the fixed-function pipeline draws the same
    // tinted texture.
    const bool programmed = shader != nullptr && shader->getProgram() != 0;
    if (programmed) {
        shader->enable();
        const GLint colors = glGetUniformLocationARB(shader->getProgram(), "colors");
        glUniform4fARB(colors, red, green, blue, alphaValue);
    } else {
        glColor4f(red, green, blue, alphaValue);
    }

    // Bottom-left, bottom-right, top-right, top-left on screen: counter-clockwise once the 2D
    // projection turns y upwards, the glyphs' winding, so face culling keeps both.
    glBegin(GL_QUADS);
    glTexCoord2f(region.left, 1.0f - region.bottom);
    glVertex2f(0.0f, h);
    glTexCoord2f(region.right, 1.0f - region.bottom);
    glVertex2f(w, h);
    glTexCoord2f(region.right, 1.0f - region.top);
    glVertex2f(w, 0.0f);
    glTexCoord2f(region.left, 1.0f - region.top);
    glVertex2f(0.0f, 0.0f);
    glEnd();

    if (programmed)
        shader->disable();
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopMatrix();
}

void CTexture::bindToUnit(int unit)
{
    glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

float CTexture::getWidth() const
{
    return width;
}

float CTexture::getHeight() const
{
    return height;
}

void CTexture::setWidth(float value)
{
    width = value;
}

void CTexture::setHeight(float value)
{
    height = value;
}

float CTexture::getAlpha() const
{
    return alpha;
}

void CTexture::setAlpha(float value)
{
    alpha = value;
}

std::vector<std::vector<bool>>& CTexture::getGrid()
{
    return grid;
}

bool CTexture::isLoaded() const
{
    return id != 0;
}
