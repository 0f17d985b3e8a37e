#ifndef TOOLS_PNGWRITER_H
#define TOOLS_PNGWRITER_H

// A minimal 8-bit RGBA PNG writer for the asset generators, zlib only. Header-only so that every
// generator stays a single-source tool. Its output depends only on the pixels (and the zlib build),
// which keeps the generated files byte-for-byte reproducible.

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace png {

struct Image {
    int width;
    int height;
    std::vector<uint8_t> rgba;

    Image(int w, int h) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4, 0) {}

    // Straight (not premultiplied) colour, each channel in [0, 1]; values outside are clamped.
    void set(int x, int y, double r, double g, double b, double a)
    {
        uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
        const auto q = [](double v) {
            return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
        };
        p[3] = q(a);
        // Invisible pixels get black colour so they compress well and carry no stray values.
        p[0] = p[3] ? q(r) : 0;
        p[1] = p[3] ? q(g) : 0;
        p[2] = p[3] ? q(b) : 0;
    }
};

namespace detail {

inline void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

inline void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    putU32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    // The CRC covers the chunk type as well as its data.
    const uLong crc = crc32(0L, &out[typeAt], static_cast<uInt>(4 + data.size()));
    putU32(out, static_cast<uint32_t>(crc));
}

inline int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Each row gets the filter with the smallest sum of absolute values (the usual libpng heuristic);
// it shrinks the files a lot for smooth images.
inline std::vector<uint8_t> filterRows(const Image& img)
{
    const size_t stride = static_cast<size_t>(img.width) * 4;
    std::vector<uint8_t> out;
    out.reserve((stride + 1) * img.height);
    std::vector<uint8_t> zero(stride, 0), cand(stride), best(stride);
    for (int y = 0; y < img.height; ++y) {
        const uint8_t* cur = &img.rgba[y * stride];
        const uint8_t* up = y ? &img.rgba[(y - 1) * stride] : zero.data();
        long bestScore = -1;
        uint8_t bestType = 0;
        for (uint8_t type = 0; type < 5; ++type) {
            long score = 0;
            for (size_t i = 0; i < stride; ++i) {
                const int a = i >= 4 ? cur[i - 4] : 0;
                const int b = up[i];
                const int c = i >= 4 ? up[i - 4] : 0;
                int pred = 0;
                switch (type) {
                case 1: pred = a; break;
                case 2: pred = b; break;
                case 3: pred = (a + b) / 2; break;
                case 4: pred = paeth(a, b, c); break;
                default: break;
                }
                cand[i] = static_cast<uint8_t>(cur[i] - pred);
                score += cand[i] < 128 ? cand[i] : 256 - cand[i];
            }
            if (bestScore < 0 || score < bestScore) {
                bestScore = score;
                bestType = type;
                best = cand;
            }
        }
        out.push_back(bestType);
        out.insert(out.end(), best.begin(), best.end());
    }
    return out;
}

} // namespace detail

// Writes img as an 8-bit RGBA PNG. On failure returns false and says why in error.
inline bool write(const std::string& path, const Image& img, std::string& error)
{
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

    std::vector<uint8_t> ihdr;
    detail::putU32(ihdr, static_cast<uint32_t>(img.width));
    detail::putU32(ihdr, static_cast<uint32_t>(img.height));
    // 8 bits per channel, colour type 6 (RGBA), deflate, standard filters, not interlaced.
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    detail::putChunk(file, "IHDR", ihdr);

    const std::vector<uint8_t> raw = detail::filterRows(img);
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        error = "zlib failed for " + path;
        return false;
    }
    packed.resize(packedSize);
    detail::putChunk(file, "IDAT", packed);
    detail::putChunk(file, "IEND", {});

    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace png

#endif
