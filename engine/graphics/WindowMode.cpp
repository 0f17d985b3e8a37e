// The graphics core's run-time window mode: resizing and the fullscreen switch.
#include "engine/graphics/GraphicsCore.h"

#include "engine/core/Log.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>

#include <string>

void CGraphicsCore::setResizable(bool on)
{
    resizable = on;
    if (SDL_GetVideoSurface() == nullptr)
        return;
    const uint32_t flags = on ? (videoFlags | SDL_RESIZABLE) : (videoFlags & ~uint32_t(SDL_RESIZABLE));
    reapplyVideoMode(int(width), int(height), flags);
}

bool CGraphicsCore::isResizable() const
{
    return resizable;
}

bool CGraphicsCore::resizeWindow(int w, int h)
{
    return reapplyVideoMode(w, h, videoFlags);
}

bool CGraphicsCore::setFullscreen(bool on)
{
    const uint32_t flags = on ? (videoFlags | SDL_FULLSCREEN) : (videoFlags & ~uint32_t(SDL_FULLSCREEN));
    return reapplyVideoMode(int(width), int(height), flags);
}

bool CGraphicsCore::isFullscreen() const
{
    const SDL_Surface* screen = SDL_GetVideoSurface();
    return screen != nullptr && (screen->flags & SDL_FULLSCREEN) != 0;
}

bool CGraphicsCore::reapplyVideoMode(int w, int h, uint32_t flags)
{
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    if (SDL_GetVideoSurface() == nullptr) {
        CLog::line("Unable to set the video mode " + size + ", Error: no window is open");
        return false;
    }
    // SDL 1.2 reads 0 as "the desktop's size", and a negative size wraps around.
    if (w < 1 || h < 1) {
        CLog::line("Unable to set the video mode " + size + ", Error: the size must be at least 1x1");
        return false;
    }

    if (contextProbe == 0 || !glIsList(contextProbe)) {
        contextProbe = glGenLists(1);
        glNewList(contextProbe, GL_COMPILE);
        glEndList();
    }

    if (SDL_SetVideoMode(w, h, bitsPerPixel, flags) == nullptr) {
        const std::string error = SDL_GetError();
        // The old mode back, or there is no window left to draw in.
        if (SDL_SetVideoMode(int(width), int(height), bitsPerPixel, videoFlags) == nullptr)
            throw std::string("Error: SDL Could not create Video Surface.") + SDL_GetError();
        CLog::line("Unable to set the video mode " + size + ", Error: " + error);
        applyWindowSize();
        return false;
    }
    width = uint32_t(w);
    height = uint32_t(h);
    videoFlags = flags;

    // Not yet: re-uploading textures, fonts and shaders into a new context. SDL 1.2 on X11 keeps the
    // context; a platform whose SDL replaces it is at least named here instead of drawing nothing.
    if (!glIsList(contextProbe)) {
        CLog::line("The OpenGL context was replaced with the video mode: textures, fonts and shaders are lost");
        contextProbe = 0;
    }
    applyWindowSize();
    // Mesa's software rasteriser takes the drawable's new size at the next buffer swap: until then
    // everything drawn beyond the old size is lost. One blank frame shows it the size at once.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapBuffers();
    return true;
}

void CGraphicsCore::applyWindowSize()
{
    const GLsizei w = GLsizei(width);
    const GLsizei h = GLsizei(height);
    glViewport(0, 0, w, h);
    // The scissor test stays on in 2D mode; a box left at the old size would clip a larger window.
    glScissor(0, 0, w, h);

    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (mode3D)
        gluPerspective(60.0, GLdouble(w) / GLdouble(h), 1.0, 4000.0);
    else
        glOrtho(0.0, GLdouble(w), GLdouble(h), 0.0, -1.0, 1.0);
    glMatrixMode(GLenum(matrixMode));
}
