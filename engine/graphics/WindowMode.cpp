// The graphics core's run-time window mode: resizing and the fullscreen switch.
#include "engine/graphics/GraphicsCore.h"

#include "engine/core/Log.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/graphics/LogicalScreen.h"
#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The back buffer as it is, w x h RGBA rows bottom-up: what the application has drawn this frame.
std::vector<GLubyte> readBackBuffer(int w, int h)
{
    std::vector<GLubyte> pixels(std::size_t(w) * std::size_t(h) * 4);
    CPixelUpload::CPixelStoreScope pack(true, 1);
    CGLStateScope reading;
    reading.readBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Draws a frame read by readBackBuffer into the back buffer of the new size, at the same window
// pixels (X keeps a window's top-left corner), the rest cleared; every state it changes put back.
void drawBackFrame(const std::vector<GLubyte>& pixels, int w, int h, int newWidth, int newHeight)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    const GLhandleARB program = GLEW_ARB_shader_objects ? glGetHandleARB(GL_PROGRAM_OBJECT_ARB) : 0;
    if (program != 0)
        glUseProgramObjectARB(0);
    glDrawBuffer(GL_BACK);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (GLenum capability : {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_BLEND, GL_DEPTH_TEST, GL_ALPHA_TEST,
                              GL_STENCIL_TEST, GL_FOG, GL_LIGHTING, GL_COLOR_LOGIC_OP, GL_DITHER})
        glDisable(capability);
    glPixelZoom(1.0f, 1.0f);
    {
        CPixelUpload::CPixelStoreScope unpack(false, 1);
        // Only the rows that stay inside the new window: the top ones.
        const int skipRows = std::max(h - newHeight, 0);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, w);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows);
        glWindowPos2i(0, std::max(newHeight - h, 0));
        glDrawPixels(std::min(w, newWidth), h - skipRows, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    if (program != 0)
        glUseProgramObjectARB(program);
    glPopAttrib();
}

}  // namespace

void CGraphicsCore::setResizable(bool on)
{
    resizable = on;
    if (!CGLStateScope::hasContext())
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
    // The input grab the window has while windowed comes back with the window. sdl12-compat grabs
    // the input for fullscreen and keeps that grab after the switch back; with the system cursor
    // hidden for a custom one, a grab there is SDL 2's relative mouse mode, and the reported pointer
    // position stops following the real pointer. The classic SDL 1.2 puts the grab back itself.
    // Only with a window: without one there is no grab to ask about.
    const bool window = CGLStateScope::hasContext();
    if (window && !isFullscreen())
        windowedGrab = SDL_WM_GrabInput(SDL_GRAB_QUERY);
    // The change works on the window itself; a logical screen takes the drawing again after it and
    // places its picture for the new size at its next present.
    const bool logical = logicalScreen->suspend();
    const bool changed = changeVideoMode(w, h, flags);
    if (logical)
        logicalScreen->resume();
    if (window && !isFullscreen() && SDL_WM_GrabInput(SDL_GRAB_QUERY) != windowedGrab)
        SDL_WM_GrabInput(SDL_GrabMode(windowedGrab));
    return changed;
}

bool CGraphicsCore::changeVideoMode(int w, int h, uint32_t flags)
{
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    if (!CGLStateScope::hasContext()) {
        CLog::line("Unable to set the video mode " + size + ", Error: " + CGLStateScope::noContextText());
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

    // What the application drew this frame survives the change: the swap below (needed for Mesa,
    // see there) shows it rather than a blank frame, and a copy goes back into the new back buffer
    // for the rest of the frame to draw over.
    const int oldWidth = int(width), oldHeight = int(height);
    const bool keepFrame = GLEW_VERSION_1_4 != 0;
    const std::vector<GLubyte> frame = keepFrame ? readBackBuffer(oldWidth, oldHeight) : std::vector<GLubyte>();

    if (SDL_SetVideoMode(w, h, bitsPerPixel, flags) == nullptr) {
        const std::string error = SDL_GetError();
        // The old mode back, or there is no window left to draw in.
        if (SDL_SetVideoMode(int(width), int(height), bitsPerPixel, videoFlags) == nullptr)
            throw std::string("Error: SDL Could not create Video Surface.") + SDL_GetError();
        CLog::line("Unable to set the video mode " + size + ", Error: " + error);
        applyWindowSize();
        if (keepFrame)
            drawBackFrame(frame, oldWidth, oldHeight, oldWidth, oldHeight);
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
        CGLStateScope::contextChanged();
    }
    applyWindowSize();
    // Mesa's software rasteriser takes the drawable's new size at the next buffer swap: until then
    // everything drawn beyond the old size is lost. The swap shows the frame drawn so far, never a
    // blank one; then the copy goes into the back buffer of the new size.
    if (keepFrame) {
        SDL_GL_SwapBuffers();
        drawBackFrame(frame, oldWidth, oldHeight, w, h);
    } else {
        glClear(getClearMask());
        SDL_GL_SwapBuffers();
    }
    return true;
}

void CGraphicsCore::applyWindowSize()
{
    const GLsizei w = GLsizei(width);
    const GLsizei h = GLsizei(height);
    glViewport(0, 0, w, h);
    // The scissor test stays on in 2D mode; a box left at the old size would clip a larger window.
    glScissor(0, 0, w, h);

    // The new projection stays; only the matrix mode is the caller's again.
    CGLStateScope projecting;
    projecting.matrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (mode3D)
        gluPerspective(60.0, GLdouble(w) / GLdouble(h), 1.0, 4000.0);
    else
        glOrtho(0.0, GLdouble(w), GLdouble(h), 0.0, -1.0, 1.0);
}
