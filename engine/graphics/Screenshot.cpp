// The graphics core's screenshot: the window's pixels through glReadPixels into a PNG via libpng.
#include "engine/graphics/GraphicsCore.h"

#include "engine/core/Log.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>
#include <SDL.h>
#include <png.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Writes rows bottom-up (as OpenGL reads them) to an upright RGB PNG. A regular file (or none) is
// written under a temporary name in the same folder and renamed over the path only once complete:
// a failed write (a full disk) leaves an earlier file at the path as it was, and no partial one.
// Anything else at the path (a device, a pipe) is written in place and never removed.
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

    // The file actually written: the path itself when something other than a regular file is there.
    struct stat existing;
    const bool inPlace = stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode);
    std::string written = inPlace ? path : path + ".XXXXXX";
    FILE* out = nullptr;
    if (inPlace) {
        out = std::fopen(path.c_str(), "wb");
    } else {
        const int descriptor = mkstemp(&written[0]);
        if (descriptor >= 0) {
            // mkstemp makes the file readable by its owner only; a screenshot is an ordinary file.
            const mode_t mask = umask(0);
            umask(mask);
            fchmod(descriptor, 0666 & ~mask);
            out = fdopen(descriptor, "wb");
            if (out == nullptr) {
                *error = std::strerror(errno);
                close(descriptor);
                std::remove(written.c_str());
                return false;
            }
        }
    }
    if (out == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    const bool encoded = png_image_write_to_stdio(&image, out, 0, pixels.data(), stride, nullptr) != 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(out) == 0;
    const bool renamed = inPlace || (encoded && closed && std::rename(written.c_str(), path.c_str()) == 0);
    if (encoded && closed && renamed)
        return true;
    *error = !encoded ? std::string(image.message) : std::string(std::strerror(closed ? errno : writeErrno));
    png_image_free(&image);
    if (!inPlace)
        std::remove(written.c_str());
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
