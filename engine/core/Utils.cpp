#include "engine/core/Utils.h"

#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/texture/ImageLimits.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

// Shared by the whole program, like the frame rate they measure.
float lastFrameTime = 0.0f;
float frameCount = 0.0f;
float lastReportTime = 0.0f;

Uint32 readPixel(const Uint8* at, int bytesPerPixel)
{
    switch (bytesPerPixel) {
    case 1:
        return *at;
    case 2:
        return Uint32(at[0]) | Uint32(at[1]) << 8;
    case 3:
        return Uint32(at[0]) | Uint32(at[1]) << 8 | Uint32(at[2]) << 16;
    default:
        return Uint32(at[0]) | Uint32(at[1]) << 8 | Uint32(at[2]) << 16 | Uint32(at[3]) << 24;
    }
}

} // namespace

CUtils::CUtils()
    : fps(0),
      frameTime(0.0f),
      fpsText{}
{
}

CUtils::~CUtils() = default;

void CUtils::updateFPS()
{
    const float now = float(SDL_GetTicks()) * 0.001f;
    frameTime = now - lastFrameTime;
    lastFrameTime = now;
    frameCount = frameCount + 1.0f;
    if (now - lastReportTime > 1.0f) {
        lastReportTime = now;
        fps = int(frameCount);
        std::snprintf(fpsText, sizeof(fpsText), " Current FPS: %d", fps);
        if (g_pGraphicsCore != nullptr) {
            const std::string title = g_pGraphicsCore->getCaption() + fpsText;
            SDL_WM_SetCaption(title.c_str(), nullptr);
        }
        frameCount = 0.0f;
    }
}

int CUtils::getFPS() const
{
    return fps;
}

float CUtils::getFrameTime() const
{
    return frameTime;
}

void CUtils::setFrameTime(float seconds)
{
    frameTime = seconds;
}

const char* CUtils::getFPSText() const
{
    return fpsText;
}

void CUtils::drawCube(float x, float y, float z)
{
    glDisable(GL_TEXTURE_2D);
    glTranslatef(x, y, z);
    glBegin(GL_QUADS);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(1, 1, -1), glVertex3f(-1, 1, -1), glVertex3f(-1, 1, 1), glVertex3f(1, 1, 1);
    glColor3f(1.0f, 0.5f, 0.0f);
    glVertex3f(1, -1, 1), glVertex3f(-1, -1, 1), glVertex3f(-1, -1, -1), glVertex3f(1, -1, -1);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(1, 1, 1), glVertex3f(-1, 1, 1), glVertex3f(-1, -1, 1), glVertex3f(1, -1, 1);
    glColor3f(1.0f, 1.0f, 0.0f);
    glVertex3f(1, -1, -1), glVertex3f(-1, -1, -1), glVertex3f(-1, 1, -1), glVertex3f(1, 1, -1);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3f(-1, 1, 1), glVertex3f(-1, 1, -1), glVertex3f(-1, -1, -1), glVertex3f(-1, -1, 1);
    glColor3f(1.0f, 0.0f, 1.0f);
    glVertex3f(1, 1, -1), glVertex3f(1, 1, 1), glVertex3f(1, -1, 1), glVertex3f(1, -1, -1);
    glEnd();
    glTranslatef(-x, -y, -z);
    glColor3f(1.0f, 1.0f, 1.0f);
}

void CUtils::drawGrid(float x, float y, float z)
{
    glDisable(GL_TEXTURE_2D);
    glTranslatef(x, y, z);
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINES);
    for (int i = -30; i <= 30; ++i) {
        glVertex3f(float(i), 0.0f, -30.0f);
        glVertex3f(float(i), 0.0f, 30.0f);
        glVertex3f(30.0f, 0.0f, float(i));
        glVertex3f(-30.0f, 0.0f, float(i));
    }
    glEnd();
    glTranslatef(-x, -y, -z);
}

void CUtils::drawQuad(float x, float y, float z)
{
    glDisable(GL_TEXTURE_2D);
    glTranslatef(x, y, z);
    glBegin(GL_QUADS);
    glColor3f(0.3f, 1.0f, 0.2f);
    glVertex3f(1, 1, 1);
    glVertex3f(-1, 1, 1);
    glVertex3f(-1, -1, 1);
    glVertex3f(1, -1, 1);
    glEnd();
    glTranslatef(-x, -y, -z);
}

void CUtils::drawAxes()
{
    glDisable(GL_TEXTURE_2D);
    glTranslatef(0.0f, 0.0f, 0.0f);
    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0, 0, 0), glVertex3f(10, 0, 0);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(0, 0, 0), glVertex3f(0, 10, 0);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0, 0, 0), glVertex3f(0, 0, 10);
    glEnd();
}

unsigned int CUtils::loadBMPTexture(const char* path)
{
    const std::string name = path ? path : "";
    CLog::line("Loading Texture: " + name);
    const std::string refused = CImageLimits::refusal(name);
    if (!refused.empty()) {
        CLog::line("Failed to load the image: " + name + ", Error: " + refused);
        return 0;
    }
    CBitmapImage* image = loadBMP(path);
    if (image == nullptr) {
        CLog::line("Failed to load the image: " + name + ", Error: " + SDL_GetError());
        return 0;
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, texture);
    const GLenum format = image->channels == 4 ? GL_RGBA : GL_RGB;
    gluBuild2DMipmaps(GL_TEXTURE_2D, image->channels, image->width, image->height, format,
                      GL_UNSIGNED_BYTE, image->data);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Uploaded: this loader was the image's caller, so it releases it.
    std::free(image->data);
    std::free(image);
    return texture;
}

CBitmapImage* CUtils::loadBMP(const char* path)
{
    SDL_Surface* surface = SDL_LoadBMP_RW(SDL_RWFromFile(path ? path : "", "rb"), 1);
    if (surface == nullptr) {
        std::cerr << " Failed loading " << (path ? path : "") << " : " << SDL_GetError() << std::endl;
        return nullptr;
    }
    const int width = surface->w;
    const int height = surface->h;
    const int bytesPerPixel = surface->format->BytesPerPixel;
    if (SDL_MUSTLOCK(surface))
        SDL_LockSurface(surface);
    // SDL pads every row to its pitch (a multiple of 4 bytes): address rows by the pitch, not by
    // width * bytes per pixel, or odd widths come out sheared.
    Uint8* pixels = static_cast<Uint8*>(surface->pixels);
    const int rowBytes = width * bytesPerPixel;
    for (int i = 0; i < height / 2; ++i) {
        Uint8* top = pixels + std::size_t(i) * surface->pitch;
        Uint8* bottom = pixels + std::size_t(height - 1 - i) * surface->pitch;
        for (int b = 0; b < rowBytes; ++b)
            swapBytes(top + b, bottom + b);
    }

    CBitmapImage* image = static_cast<CBitmapImage*>(std::malloc(sizeof(CBitmapImage)));
    unsigned char* data = static_cast<unsigned char*>(std::malloc(std::size_t(width) * height * 3 + 1));
    if (image == nullptr || data == nullptr) {
        std::free(image);
        std::free(data);
        if (SDL_MUSTLOCK(surface))
            SDL_UnlockSurface(surface);
        SDL_FreeSurface(surface);
        std::cerr << " Failed loading " << (path ? path : "") << " : out of memory" << std::endl;
        return nullptr;
    }
    image->channels = 3;
    image->width = width;
    image->height = height;
    image->data = data;
    for (int y = 0; y < height; ++y) {
        const Uint8* row = pixels + std::size_t(y) * surface->pitch;
        for (int x = 0; x < width; ++x) {
            Uint8 r, g, b;
            SDL_GetRGB(readPixel(row + std::size_t(x) * bytesPerPixel, bytesPerPixel), surface->format,
                       &r, &g, &b);
            unsigned char* out = image->data + (std::size_t(y) * width + x) * 3;
            out[0] = r;
            out[1] = g;
            out[2] = b;
        }
    }
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    SDL_FreeSurface(surface);
    return image;
}

void CUtils::swapBytes(unsigned char* a, unsigned char* b)
{
    const unsigned char kept = *a;
    *a = *b;
    *b = kept;
}
