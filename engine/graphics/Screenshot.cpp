// The graphics core's screenshot: the window's pixels through glReadPixels into a PNG via libpng.
#include "engine/graphics/GraphicsCore.h"

#include "engine/core/Log.h"

#include <GL/glew.h>
#include <SDL.h>
#include <png.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

bool CGraphicsCore::saveScreenshot(const char* path, bool frontBuffer)
{
    const std::string file = path ? path : "";
    CLog::line("Saving Screenshot: " + file);
    const SDL_Surface* screen = SDL_GetVideoSurface();
    if (screen == nullptr || screen->w <= 0 || screen->h <= 0) {
        CLog::line("Failed to save the screenshot: " + file + ", Error: no window is open");
        return false;
    }
    const int w = screen->w;
    const int h = screen->h;

    // A render target left bound would be read instead of the window.
    GLint framebuffer = 0;
    if (GLEW_EXT_framebuffer_object) {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        if (framebuffer != 0)
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    GLint readBuffer = GL_BACK;
    GLint packAlignment = 4;
    GLint packRowLength = 0;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &packRowLength);
    glReadBuffer(frontBuffer ? GL_FRONT : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);

    std::vector<unsigned char> pixels(std::size_t(w) * std::size_t(h) * 3u);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

    glReadBuffer(GLenum(readBuffer));
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    glPixelStorei(GL_PACK_ROW_LENGTH, packRowLength);
    if (framebuffer != 0)
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(framebuffer));

    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGB;
    // OpenGL's rows run bottom-up; a negative stride tells libpng so, and the file comes out upright.
    // On a failed write libpng removes the partial file itself.
    if (png_image_write_to_file(&image, file.c_str(), 0, pixels.data(), -png_int_32(w) * 3, nullptr) == 0) {
        CLog::line("Failed to save the screenshot: " + file + ", Error: " + image.message);
        png_image_free(&image);
        return false;
    }
    return true;
}
