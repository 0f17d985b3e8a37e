// TGA decoding speed of CTGAImage::decode (file opened, read and decoded) beside SDL_image's IMG_Load
// of the same file, in megabytes (10^6 bytes) of decoded pixels per second, for 1024 by 1024 and
// 4096 by 4096 pictures at 24 and 32 bits, stored uncompressed (type 2) and run-length encoded (type 10). The
// files are written to a temporary folder first and read from the page cache; no window or OpenGL is involved. The
// two readers alternate in short rounds so that both see the same machine load. Run it with scripts/bench.sh.
#include "engine/texture/TGAImage.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The side of the pictures being measured (1024, then 4096: the larger tiles the smaller).
int pictureSize = 1024;

// A picture in file order (blue, green, red, alpha) with what an RLE file usually holds: flat
// backgrounds and outlines that become runs, shaded and noisy areas that become raw packets.
std::vector<uint8_t> picture()
{
    const int side = pictureSize;
    std::vector<uint8_t> pixels(std::size_t(side) * std::size_t(side) * 4);
    uint32_t noise = 12345;
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            uint8_t* p = &pixels[(std::size_t(row) * std::size_t(side) + std::size_t(column)) * 4];
            const int x = column % 1024, y = row % 1024;
            noise = noise * 1664525u + 1013904223u;
            const int dx = x - 512, dy = y - 512;
            if (dx * dx + dy * dy < 300 * 300) {
                // A shaded disc: every pixel differs from its neighbour.
                p[0] = uint8_t(x / 4);
                p[1] = uint8_t(y / 4);
                p[2] = uint8_t((x + y) / 8);
            } else if ((x / 64 + y / 64) % 5 == 0) {
                // Noisy tiles.
                p[0] = uint8_t(noise >> 24);
                p[1] = uint8_t(noise >> 16);
                p[2] = uint8_t(noise >> 8);
            } else {
                // Flat background in bands of 32 rows.
                p[0] = uint8_t(40 + y / 32);
                p[1] = 90;
                p[2] = uint8_t(200 - y / 32);
            }
            p[3] = 255;
        }
    }
    return pixels;
}

std::vector<uint8_t> header(uint8_t type, int bytes)
{
    const uint8_t low = uint8_t(pictureSize & 255), high = uint8_t(pictureSize >> 8);
    return {0,
            0,
            type,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            low,
            high,
            low,
            high,
            uint8_t(bytes * 8),
            uint8_t(bytes == 4 ? 8 : 0)};
}

// The picture's pixels with 3 or 4 bytes each.
std::vector<uint8_t> packed(const std::vector<uint8_t>& pixels, int bytes)
{
    std::vector<uint8_t> out;
    out.reserve(pixels.size() / 4 * std::size_t(bytes));
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        out.insert(out.end(), &pixels[i], &pixels[i] + bytes);
    return out;
}

// Runs of two or more equal pixels become run packets, everything else raw packets, both at most
// 128 pixels and crossing rows freely, as common encoders write them.
std::vector<uint8_t> runLengthEncoded(const std::vector<uint8_t>& pixels, int bytes)
{
    std::vector<uint8_t> out = header(10, bytes);
    const std::size_t count = pixels.size() / std::size_t(bytes);
    auto same = [&](std::size_t a, std::size_t b) {
        return b < count && std::equal(&pixels[a * bytes], &pixels[a * bytes] + bytes, &pixels[b * bytes]);
    };
    std::size_t i = 0;
    while (i < count) {
        std::size_t n = 1;
        if (same(i, i + 1)) {
            while (n < 128 && same(i, i + n))
                ++n;
            out.push_back(uint8_t(127 + n));
            out.insert(out.end(), &pixels[i * bytes], &pixels[i * bytes] + bytes);
        } else {
            while (n < 128 && i + n < count && !same(i + n, i + n + 1))
                ++n;
            out.push_back(uint8_t(n - 1));
            out.insert(out.end(), &pixels[i * bytes], &pixels[(i + n) * bytes]);
        }
        i += n;
    }
    return out;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        std::fprintf(stderr, "Cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::fclose(file);
}

// Opens and decodes the file the given number of times; the image is reused, as a reload would.
double secondsForDecodes(const std::string& path, int decodes, CTGAImage& image)
{
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < decodes; ++i) {
        FILE* file = std::fopen(path.c_str(), "rb");
        const bool ok = file != nullptr && image.decode(path.c_str(), file);
        if (file != nullptr)
            std::fclose(file);
        if (!ok) {
            std::fprintf(stderr, "Decoding %s failed\n", path.c_str());
            std::exit(1);
        }
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The same through SDL_image, which also reads the file and leaves a surface of the pixels.
double secondsForImgLoads(const std::string& path, int decodes)
{
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < decodes; ++i) {
        SDL_Surface* surface = IMG_Load(path.c_str());
        if (surface == nullptr) {
            std::fprintf(stderr, "IMG_Load %s failed: %s\n", path.c_str(), IMG_GetError());
            std::exit(1);
        }
        SDL_FreeSurface(surface);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

}  // namespace

int main(int argc, char* argv[])
{
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;  // seconds per kind and reader
    if (!(budget > 0.0)) {
        std::fprintf(stderr, "Usage: %s [seconds per kind and reader]\n", argv[0]);
        return 2;
    }
    char folder[] = "/tmp/quarl_tga_bench_XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    bool slower = false;
    for (int side : {1024, 4096}) {
        pictureSize = side;
        const std::vector<uint8_t> pixels = picture();
        struct Kind {
            const char* name;
            std::string path;
            std::size_t fileBytes;
            double megabytes;  // decoded
        };
        std::vector<Kind> kinds;
        for (int bytes : {3, 4}) {
            const std::vector<uint8_t> raw = packed(pixels, bytes);
            std::vector<uint8_t> uncompressed = header(2, bytes);
            uncompressed.insert(uncompressed.end(), raw.begin(), raw.end());
            const std::vector<uint8_t> compressed = runLengthEncoded(raw, bytes);
            const std::string base = std::string(folder) + (bytes == 3 ? "/rgb" : "/rgba");
            writeFile(base + "_type2.tga", uncompressed);
            writeFile(base + "_type10.tga", compressed);
            kinds.push_back({bytes == 3 ? "24-bit uncompressed" : "32-bit uncompressed", base + "_type2.tga",
                             uncompressed.size(), double(raw.size()) / 1e6});
            kinds.push_back({bytes == 3 ? "24-bit run-length" : "32-bit run-length", base + "_type10.tga",
                             compressed.size(), double(raw.size()) / 1e6});
        }

        // Rounds of about a fifth of the budget; the two readers alternate, kind by kind.
        const int rounds = 5;
        CTGAImage image;
        std::printf("\n%d x %d pictures, MB (10^6 bytes) of decoded pixels per second, median of %d "
                    "interleaved rounds\n",
                    pictureSize, pictureSize, rounds);
        std::printf("  %-22s %11s %14s %14s %8s\n", "kind", "file bytes", "CTGAImage", "IMG_Load", "ratio");
        for (const Kind& kind : kinds) {
            int perRound = 1;
            while (secondsForDecodes(kind.path, perRound, image) < budget / rounds)
                perRound *= 2;
            std::vector<double> engineRates, sdlRates;
            for (int round = 0; round < rounds; ++round) {
                engineRates.push_back(kind.megabytes * perRound / secondsForDecodes(kind.path, perRound, image));
                sdlRates.push_back(kind.megabytes * perRound / secondsForImgLoads(kind.path, perRound));
            }
            const double engine = median(engineRates), sdl = median(sdlRates);
            slower = slower || engine < sdl;
            std::printf("  %-22s %11zu %14.1f %14.1f %8.3f\n", kind.name, kind.fileBytes, engine, sdl,
                        engine / sdl);
            std::remove(kind.path.c_str());
        }
    }
    std::printf("  ratio = CTGAImage / IMG_Load (target at least 1.0): %s\n",
                slower ? "TARGET MISSED for some kind" : "target met for every kind");
    rmdir(folder);
    return 0;
}
