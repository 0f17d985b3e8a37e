#include "engine/core/Utils.h"

#include "engine/core/Clock.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/core/RegularFile.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Shared by the whole program, like the frame rate they measure.
float lastFrameTime = 0.0f;
float frameCount = 0.0f;
float lastReportTime = 0.0f;

}  // namespace

CUtils::CUtils()
    : fps(0),
      frameTime(0.0f),
      fpsText{}
{
}

CUtils::~CUtils() = default;

void CUtils::updateFPS()
{
    const float now = float(CClock::milliseconds()) * 0.001f;
    // The clock went back: SDL's ticks start again at 0 when a later engine starts SDL again
    // (sdl12-compat over a recent SDL 2 does), which would hold the next report back by the whole
    // earlier run. Measured from now on, as if no time had passed.
    if (now < lastFrameTime || now < lastReportTime) {
        lastFrameTime = now;
        lastReportTime = now;
    }
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
    // Mipmapped with GL's default magnification filter and wrap modes; the texture is left bound.
    const GLuint texture =
        CPixelUpload::upload(CPixelUpload::Pixels{image->data, image->width, image->height, image->channels, 1},
                             CPixelUpload::Settings{GL_LINEAR_MIPMAP_NEAREST, 0, 0, true});
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Uploaded: this loader was the image's caller, so it releases it.
    std::free(image->data);
    std::free(image);
    return texture;
}

CBitmapImage* CUtils::loadBMP(const char* path)
{
    const std::string name = path ? path : "";
    const std::string irregular = CRegularFile::refusal(name);
    if (!irregular.empty()) {
        SDL_SetError("%s", irregular.c_str());
        CLog::errorLine(" Failed loading " + name + " : " + SDL_GetError());
        return nullptr;
    }
    SDL_Surface* surface = SDL_LoadBMP_RW(SDL_RWFromFile(name.c_str(), "rb"), 1);
    if (surface == nullptr) {
        CLog::errorLine(" Failed loading " + name + " : " + SDL_GetError());
        return nullptr;
    }
    if (!CPixelUpload::isReadable(surface)) {
        SDL_FreeSurface(surface);
        SDL_SetError("%s", CPixelUpload::unreadableText());
        CLog::errorLine(" Failed loading " + name + " : " + SDL_GetError());
        return nullptr;
    }
    // Bottom-up, tightly packed rows: the order and packing the upload above expects.
    const std::vector<Uint8> pixels = CPixelUpload::convert(surface, 3, 1, true);
    const int width = surface->w;
    const int height = surface->h;
    SDL_FreeSurface(surface);

    CBitmapImage* image = static_cast<CBitmapImage*>(std::malloc(sizeof(CBitmapImage)));
    unsigned char* data = static_cast<unsigned char*>(std::malloc(pixels.size() + 1));
    if (image == nullptr || data == nullptr) {
        std::free(image);
        std::free(data);
        CLog::errorLine(" Failed loading " + name + " : out of memory");
        return nullptr;
    }
    std::memcpy(data, pixels.data(), pixels.size());
    image->channels = 3;
    image->width = width;
    image->height = height;
    image->data = data;
    return image;
}

void CUtils::swapBytes(unsigned char* a, unsigned char* b)
{
    const unsigned char kept = *a;
    *a = *b;
    *b = kept;
}
