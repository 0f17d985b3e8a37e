#include "engine/texture/Texture.h"

#include "engine/core/DataFiles.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/PixelUpload.h"
#include "engine/texture/TGAImage.h"
#include "engine/texture/TextureManager.h"

#include <GL/glew.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>

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
    // A second load replaces the first image, whose GL texture goes now.
    unload();
    // Through the data lookup, as the engine's shaders and glyph sheet are found; a file that no
    // place holds is tried as named, so that the failure line names it.
    const std::string found = CDataFiles::find(name);
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (found.empty() && CDataFiles::builtIn(name, &data, &size)) {
        loadBuiltIn(name, data, size);
        return;
    }
    if (!found.empty())
        name = found;
    CLog::line("Loading Texture: " + name);
    // Refused before SDL_image allocates the decoded pixels.
    const std::string refused = CImageLimits::refusal(name);
    if (!refused.empty()) {
        CLog::line("Failed to load the image: " + name + ", Error: " + refused);
        return;
    }
    adopt(name, isRightToLeftTga(name) ? decodeTga(name) : CPixelUpload::readImage(name));
}

bool CTexture::isRightToLeftTga(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    uint8_t header[18];
    const bool read = std::fread(header, 1, sizeof(header), file) == sizeof(header);
    std::fclose(file);
    // True-colour, plain or run-length, without a colour map, whose first pixel is on the right.
    return read && header[1] == 0 && (header[2] == 2 || header[2] == 10) && (header[17] & 0x10) != 0;
}

SDL_Surface* CTexture::decodeTga(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    CTGAImage image;
    const bool decoded = file != nullptr && image.decode(path.c_str(), file);
    if (file != nullptr)
        std::fclose(file);
    if (!decoded) {
        SDL_SetError("the TGA reader refused it (the line above says why)");
        return nullptr;
    }
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
    const Uint32 red = 0x000000FF, green = 0x0000FF00, blue = 0x00FF0000, alphaMask = 0xFF000000;
#else
    const Uint32 red = image.bytesPerPixel == 4 ? 0xFF000000 : 0xFF0000;
    const Uint32 green = image.bytesPerPixel == 4 ? 0x00FF0000 : 0x00FF00;
    const Uint32 blue = image.bytesPerPixel == 4 ? 0x0000FF00 : 0x0000FF, alphaMask = 0x000000FF;
#endif
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, int(image.width), int(image.height), int(image.bitsPerPixel), red,
                             green, blue, image.bytesPerPixel == 4 ? alphaMask : 0);
    if (surface == nullptr)
        return nullptr;
    // The reader keeps the bottom row first; a surface's first row is the top.
    const std::size_t rowBytes = std::size_t(image.width) * image.bytesPerPixel;
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(static_cast<Uint8*>(surface->pixels) + std::size_t(y) * surface->pitch,
                    image.pixels + std::size_t(image.height - 1 - y) * rowBytes, rowBytes);
    return surface;
}

void CTexture::loadBuiltIn(const std::string& name, const unsigned char* data, std::size_t size)
{
    CLog::line("Loading Texture: " + name);
    CDataFiles::noteBuiltIn(name);
    // The engine's own images need no size check, but nothing may be uploaded without a context.
    if (!CGLStateScope::hasContext()) {
        CLog::line("Failed to load the image: " + name + ", Error: " + CGLStateScope::noContextText());
        return;
    }
    // The name's extension tells SDL_image the kind: a TGA has no signature to find it by.
    const std::size_t dot = name.rfind('.');
    std::string kind = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    SDL_RWops* bytes = SDL_RWFromConstMem(data, int(size));
    adopt(name, bytes ? IMG_LoadTyped_RW(bytes, 1, &kind[0]) : nullptr);
}

void CTexture::adopt(const std::string& name, SDL_Surface* surface)
{
    if (surface == nullptr) {
        CLog::line("Failed to load the image: " + name + ", Error: " + SDL_GetError());
        return;
    }
    place(name, surface);
}

void CTexture::upload(SDL_Surface* surface)
{
    place(std::string(), surface);
}

void CTexture::place(const std::string& name, SDL_Surface* surface)
{
    if (surface == nullptr)
        return;
    // Kinds whose header the limits cannot read are checked once decoded, before GLU would
    // scale them down at a cost of many times their size.
    std::string refused = !CGLStateScope::hasContext() ? CGLStateScope::noContextText()
                          : !CPixelUpload::isReadable(surface)
                              ? CPixelUpload::unreadableText()
                              : CImageLimits::sizeRefusal(uint32_t(surface->w), uint32_t(surface->h));
    if (!refused.empty()) {
        CLog::line("Failed to load the image: " + name + ", Error: " + refused);
        SDL_FreeSurface(surface);
        return;
    }
    // The surface replaces the image this texture held.
    if (id != 0)
        forgetName();
    // Mipmap levels are made, but sampling reads level 0 only, which keeps the image's own size.
    idGeneration = CGLStateScope::contextGeneration();
    id = CPixelUpload::uploadSurface(surface, CPixelUpload::Settings{GL_LINEAR, GL_LINEAR, GL_REPEAT, true},
                                     colorKey);
    width = static_cast<float>(surface->w);
    height = static_cast<float>(surface->h);
    fileName = name;
    SDL_FreeSurface(surface);
    // A surface made by the program draws through shader 0 like a loaded file.
    shader = g_pShaderManager ? g_pShaderManager->getShader(0) : nullptr;
    if (g_pTextureManager != nullptr)
        g_pTextureManager->addTexture(this);
}

void CTexture::reload()
{
    if (fileName.empty()) {
        CLog::line("Texture not reloaded: it has no file to read again (made from pixels in memory or never "
                   "loaded), it keeps what it has");
        return;
    }
    // Refused as a whole, so that a texture is never left unloaded by a reload that cannot load.
    const bool madeHere = id == 0 || idGeneration == CGLStateScope::contextGeneration();
    if (madeHere && !CGLStateScope::hasContext()) {
        CLog::line("Failed to load the image: " + fileName + ", Error: " + CGLStateScope::noContextText());
        return;
    }
    const std::string name = fileName;
    load(name);
}

void CTexture::unload()
{
    if (id == 0)
        return;
    if (idGeneration == CGLStateScope::contextGeneration() && !CGLStateScope::hasContext()) {
        CLog::line("Failed to unload the texture: " + describe() + ", Error: " + CGLStateScope::noContextText());
        return;
    }
    forgetName();
}

void CTexture::forgetName()
{
    // A name made under an earlier context now names nothing, or another engine's texture.
    if (idGeneration == CGLStateScope::contextGeneration() && CGLStateScope::hasContext()) {
        const GLuint name = id;
        glDeleteTextures(1, &name);
    }
    id = 0;
    shader = nullptr;
}

std::string CTexture::describe() const
{
    return fileName.empty() ? std::string("(made from pixels in memory)") : fileName;
}

bool CTexture::canUse(const char* what)
{
    if (id == 0)
        return false;
    if (idGeneration != CGLStateScope::contextGeneration()) {
        // Once: the texture is unloaded from here on, and a reload() makes it again.
        CLog::line(std::string("Failed to ") + what + " the texture: " + describe() +
                   ", Error: the OpenGL window it was made in has closed");
        id = 0;
        shader = nullptr;
        return false;
    }
    if (!CGLStateScope::hasContext()) {
        CLog::line(std::string("Failed to ") + what + " the texture: " + describe() +
                   ", Error: " + CGLStateScope::noContextText());
        return false;
    }
    return true;
}

void CTexture::draw(CVector2 pos, float scale, float angle, float red, float green, float blue, float alphaValue)
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

void CTexture::drawAtOwnPosition(float scale, float angle, float red, float green, float blue, float alphaValue)
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
    if (!canUse("draw"))
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

    const float tTop = rowsBottomUp ? region.top : 1.0f - region.top;
    const float tBottom = rowsBottomUp ? region.bottom : 1.0f - region.bottom;
    // Bottom-left, bottom-right, top-right, top-left on screen: counter-clockwise once the 2D
    // projection turns y upwards, the glyphs' winding, so face culling keeps both.
    glBegin(GL_QUADS);
    glTexCoord2f(region.left, tBottom);
    glVertex2f(0.0f, h);
    glTexCoord2f(region.right, tBottom);
    glVertex2f(w, h);
    glTexCoord2f(region.right, tTop);
    glVertex2f(w, 0.0f);
    glTexCoord2f(region.left, tTop);
    glVertex2f(0.0f, 0.0f);
    glEnd();

    if (programmed)
        shader->disable();
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopMatrix();
}

void CTexture::bindToUnit(int unit)
{
    // An unloaded texture binds no texture, as it always did.
    if (id != 0 && !canUse("bind"))
        return;
    if (id == 0 && !CGLStateScope::hasContext())
        return;
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

void CTexture::setColorKey(int32_t rgb)
{
    colorKey = rgb >= 0 && rgb <= 0xFFFFFF ? rgb : kNoColorKey;
}

int32_t CTexture::getColorKey() const
{
    return colorKey;
}
