// The graphics core's screenshot: the window's pixels through glReadPixels into a PNG via libpng.
#include "engine/graphics/GraphicsCore.h"

#include "engine/core/FileReplacement.h"
#include "engine/core/Log.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>
#include <SDL.h>
#include <png.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Writes rows bottom-up (as OpenGL reads them) to an upright RGB PNG, replacing a file at the path
// only once the new one is complete.
bool writePng(const std::string& path, int w, int h, const std::vector<unsigned char>& pixels, std::string* error)
{
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGB;
    // A negative stride tells libpng the rows run bottom-up, so the file comes out upright.
    const png_int_32 stride = -png_int_32(w) * 3;

    CFileReplacement file(path);
    if (file.file() == nullptr) {
        *error = file.getError();
        return false;
    }
    const bool encoded = png_image_write_to_stdio(&image, file.file(), 0, pixels.data(), stride, nullptr) != 0;
    if (encoded && file.commit())
        return true;
    *error = encoded ? file.getError() : std::string(image.message);
    png_image_free(&image);
    return false;
}

}  // namespace

bool CGraphicsCore::saveScreenshot(const char* path, bool frontBuffer)
{
    const std::string file = path ? path : "";
    CLog::line("Saving Screenshot: " + file);
    const SDL_Surface* screen = SDL_GetVideoSurface();
    if (!CGLStateScope::hasContext() || screen->w <= 0 || screen->h <= 0) {
        CLog::line("Failed to save the screenshot: " + file + ", Error: " + CGLStateScope::noContextText());
        return false;
    }
    const int w = screen->w;
    const int h = screen->h;

    // An error the application left behind is not the read's (there are only a few error flags).
    for (int flag = 0; flag < 16 && glGetError() != GL_NO_ERROR; ++flag) { }
    std::vector<unsigned char> pixels(std::size_t(w) * std::size_t(h) * 3u);
    GLenum readError = GL_NO_ERROR;
    {
        // A render target left bound would be read instead of the window; the buffer holds tightly
        // packed rows, so no row length, skip or pack buffer may change that.
        const CPixelUpload::CPixelStoreScope store(true, 1);
        CGLStateScope reading;
        reading.bindFramebuffer(0);
        reading.readBuffer(frontBuffer ? GL_FRONT : GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        readError = glGetError();
    }
    if (readError != GL_NO_ERROR) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%04X", unsigned(readError));
        CLog::line("Failed to save the screenshot: " + file + ", Error: OpenGL could not read the window (" +
                   code + ")");
        return false;
    }

    std::string error;
    if (!writePng(file, w, h, pixels, &error)) {
        CLog::line("Failed to save the screenshot: " + file + ", Error: " + error);
        return false;
    }
    return true;
}
