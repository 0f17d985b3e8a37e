#ifndef TOOLS_PNGWRITER_H
#define TOOLS_PNGWRITER_H

// 8-bit RGBA images for the asset generators, written as PNG through libpng. Header-only so that
// every generator stays a single-source tool. libpng writes no time stamp, so the files depend only
// on the pixels (and the libpng and zlib builds): the generated data stays reproducible.

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace png {

struct Image {
    int width;
    int height;
    std::vector<uint8_t> rgba;

    Image(int w, int h)
        : width(w),
          height(h),
          rgba(static_cast<size_t>(w) * h * 4, 0)
    {
    }

    // Straight (not premultiplied) colour, each channel in [0, 1]; values outside are clamped.
    void set(int x, int y, double r, double g, double b, double a)
    {
        uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        const auto q = [](double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
        p[3] = q(a);
        // Invisible pixels get black colour so they compress well and carry no stray values.
        p[0] = p[3] ? q(r) : 0;
        p[1] = p[3] ? q(g) : 0;
        p[2] = p[3] ? q(b) : 0;
    }
};

namespace detail {

const size_t kMessageSize = 200;

inline void onError(png_structp writer, png_const_charp message)
{
    std::snprintf(static_cast<char*>(png_get_error_ptr(writer)), kMessageSize, "%s", message);
    png_longjmp(writer, 1);
}

inline void onWarning(png_structp, png_const_charp)
{
}

// libpng leaves by longjmp on an error, so nothing with a destructor lives in this function.
inline bool encode(FILE* file, const Image& img, png_bytep* rows, char* message)
{
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, message, onError, onWarning);
    if (writer == nullptr) {
        std::snprintf(message, kMessageSize, "libpng could not start");
        return false;
    }
    png_infop info = png_create_info_struct(writer);
    if (info == nullptr || setjmp(png_jmpbuf(writer))) {
        png_destroy_write_struct(&writer, &info);
        return false;
    }
    png_init_io(writer, file);
    png_set_compression_level(writer, 9);
    png_set_IHDR(writer, info, static_cast<png_uint_32>(img.width), static_cast<png_uint_32>(img.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(writer, info, rows);
    png_write_png(writer, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&writer, &info);
    return true;
}

}  // namespace detail

// Writes img as an 8-bit RGBA PNG to an open stream; on failure returns false and says why in
// error, naming the file path.
inline bool write(FILE* file, const std::string& path, const Image& img, std::string& error)
{
    std::vector<png_bytep> rows(static_cast<size_t>(img.height));
    for (int y = 0; y < img.height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(&img.rgba[static_cast<size_t>(y) * img.width * 4]);
    char message[detail::kMessageSize] = "";
    if (!detail::encode(file, img, rows.data(), message)) {
        error = "libpng failed for " + path + ": " + message;
        return false;
    }
    return true;
}

// The same to the file at path, written in place.
inline bool write(const std::string& path, const Image& img, std::string& error)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool encoded = write(file, path, img, error);
    const bool closed = std::fclose(file) == 0;
    if (encoded && !closed)
        error = "cannot write " + path + ": " + std::strerror(errno);
    return encoded && closed;
}

}  // namespace png

#endif
