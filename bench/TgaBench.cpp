// TGA decoding speed of CTGAImage::decode, in megabytes (10^6 bytes) of decoded pixels per second,
// for a 1024 by 1024 32-bit picture stored uncompressed (type 2) and run-length encoded (type 10).
// The files are written to a temporary folder first and read from the page cache; no window or
// OpenGL is involved. The two kinds alternate in short rounds so that both see the same machine
// load. Run it with scripts/bench.sh.
#include "engine/texture/TGAImage.h"

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

const int kSize = 1024;

// A picture in file order (blue, green, red, alpha) with what an RLE file usually holds: flat
// backgrounds and outlines that become runs, shaded and noisy areas that become raw packets.
std::vector<uint8_t> picture()
{
    std::vector<uint8_t> pixels(std::size_t(kSize) * kSize * 4);
    uint32_t noise = 12345;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            uint8_t* p = &pixels[(std::size_t(y) * kSize + x) * 4];
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

std::vector<uint8_t> header(uint8_t type)
{
    return {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, kSize & 255, kSize >> 8, kSize & 255,
            kSize >> 8, 32, 8};
}

// Runs of two or more equal pixels become run packets, everything else raw packets, both at most
// 128 pixels and crossing rows freely, as common encoders write them.
std::vector<uint8_t> runLengthEncoded(const std::vector<uint8_t>& pixels, long& runs, long& raws)
{
    std::vector<uint8_t> out = header(10);
    const std::size_t count = pixels.size() / 4;
    auto same = [&](std::size_t a, std::size_t b) {
        return b < count && std::equal(&pixels[a * 4], &pixels[a * 4] + 4, &pixels[b * 4]);
    };
    std::size_t i = 0;
    while (i < count) {
        std::size_t n = 1;
        if (same(i, i + 1)) {
            while (n < 128 && same(i, i + n))
                ++n;
            out.push_back(uint8_t(127 + n));
            out.insert(out.end(), &pixels[i * 4], &pixels[i * 4] + 4);
            ++runs;
        } else {
            while (n < 128 && i + n < count && !same(i + n, i + n + 1))
                ++n;
            out.push_back(uint8_t(n - 1));
            out.insert(out.end(), &pixels[i * 4], &pixels[(i + n) * 4]);
            ++raws;
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

// Decodes the file the given number of times; the image is reused, as a reload would.
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

} // namespace

int main(int argc, char* argv[])
{
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;  // seconds per kind
    char folder[] = "/tmp/quarl_tga_bench_XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::vector<uint8_t> pixels = picture();
    std::vector<uint8_t> uncompressed = header(2);
    uncompressed.insert(uncompressed.end(), pixels.begin(), pixels.end());
    long runs = 0, raws = 0;
    const std::vector<uint8_t> compressed = runLengthEncoded(pixels, runs, raws);
    const std::string paths[2] = {std::string(folder) + "/type2.tga",
                                  std::string(folder) + "/type10.tga"};
    writeFile(paths[0], uncompressed);
    writeFile(paths[1], compressed);

    CTGAImage image;
    const double megabytes = double(pixels.size()) / 1e6;
    double seconds[2] = {0.0, 0.0};
    long decodes[2] = {0, 0};
    int perRound[2];
    for (int kind = 0; kind < 2; ++kind) {
        // Size the rounds so that each takes about a tenth of the budget.
        perRound[kind] = 1;
        while (secondsForDecodes(paths[kind], perRound[kind], image) < budget / 10.0)
            perRound[kind] *= 2;
    }
    for (int round = 0; round < 10; ++round) {
        for (int kind = 0; kind < 2; ++kind) {
            seconds[kind] += secondsForDecodes(paths[kind], perRound[kind], image);
            decodes[kind] += perRound[kind];
        }
    }

    std::printf("\n1024 x 1024 x 32 bits = %.2f MB of decoded pixels per file\n", megabytes);
    std::printf("%-26s %12s %10s %12s\n", "kind", "file bytes", "decodes", "MB/s");
    const char* names[2] = {"type 2 (uncompressed)", "type 10 (run-length)"};
    const std::size_t sizes[2] = {uncompressed.size(), compressed.size()};
    for (int kind = 0; kind < 2; ++kind)
        std::printf("%-26s %12zu %10ld %12.1f\n", names[kind], sizes[kind], decodes[kind],
                    megabytes * decodes[kind] / seconds[kind]);
    std::printf("type 10 file: %ld run packets, %ld raw packets\n", runs, raws);
    for (const std::string& path : paths)
        std::remove(path.c_str());
    rmdir(folder);
    return 0;
}
