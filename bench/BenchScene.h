#ifndef BENCH_BENCHSCENE_H
#define BENCH_BENCHSCENE_H

// The scene every benchmark program draws, so that their last frames can be compared pixel for
// pixel: a 1024 by 768 window, one 32 by 32 texture with soft alpha, quads at whole-pixel positions
// in four tints (all exact in 8 bits, as a peer that carries colours as bytes needs), and lines of
// text in one colour. The general case moves every quad off the pixel grid: rotated, scaled and at
// a sub-pixel position, sampled with linear filtering by every program. Also the measuring loop and
// the one line each program reports.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <time.h>
#include <vector>

namespace bench {

const int kWindowWidth = 1024;
const int kWindowHeight = 768;
const int kTextureSize = 32;

// RGBA bytes, rows from the top: a disc with a soft rim on a transparent square, shaded so that a
// wrong orientation or offset shows.
inline std::vector<uint8_t> texturePixels()
{
    std::vector<uint8_t> pixels(std::size_t(kTextureSize) * kTextureSize * 4);
    for (int y = 0; y < kTextureSize; ++y) {
        for (int x = 0; x < kTextureSize; ++x) {
            uint8_t* p = &pixels[(std::size_t(y) * kTextureSize + x) * 4];
            const int dx = 2 * x - 31, dy = 2 * y - 31;
            const int d2 = dx * dx + dy * dy;  // (2 * distance)^2 from the centre
            p[0] = uint8_t(64 + x * 6);
            p[1] = uint8_t(64 + y * 6);
            p[2] = uint8_t(200 - x * 3);
            p[3] = d2 < 26 * 26 ? 255 : (d2 < 31 * 31 ? 128 : 0);
        }
    }
    return pixels;
}

struct Quad {
    int x, y;
    uint8_t tint[4];
};

inline Quad quad(int i)
{
    static const uint8_t tints[4][4] = {{255, 255, 255, 255},
                                        {255, 204, 153, 230},
                                        {153, 230, 255, 204},
                                        {255, 153, 204, 179}};
    Quad q = {(i * 37) % (kWindowWidth - kTextureSize), (i * 53) % (kWindowHeight - kTextureSize), {}};
    std::memcpy(q.tint, tints[i % 4], 4);
    return q;
}

// Where a quad of the scene is drawn: its top-left corner before the transform, the scale about
// that corner and the angle in degrees about its centre (as CTexture::draw takes them).
struct Placement {
    float x, y, scale, angle;
};

// The texel-for-pixel case, or the general one: scales from 0.75 to 1.25, positions an eighth of a
// pixel apart, angles all round.
inline Placement placement(int i, bool general)
{
    const Quad q = quad(i);
    if (!general)
        return {float(q.x), float(q.y), 1.0f, 0.0f};
    return {float(q.x) + 0.25f + 0.125f * float(i % 5), float(q.y) + 0.375f + 0.125f * float(i % 3),
            0.75f + 0.125f * float(i % 5), float((i * 23) % 360) + 0.5f};
}

// The four corners of a placed quad (top-left, top-right, bottom-right, bottom-left of the image),
// for the programs that transform on the CPU.
inline void corners(const Placement& p, float out[4][2])
{
    const float size = float(kTextureSize), half = size * 0.5f;
    const float radians = p.angle * 3.14159265f / 180.0f, c = std::cos(radians), s = std::sin(radians);
    const float local[4][2] = {{0.0f, 0.0f}, {size, 0.0f}, {size, size}, {0.0f, size}};
    for (int i = 0; i < 4; ++i) {
        const float dx = local[i][0] - half, dy = local[i][1] - half;
        out[i][0] = p.x + p.scale * (half + c * dx - s * dy);
        out[i][1] = p.y + p.scale * (half + s * dx + c * dy);
    }
}

// A mode named "<mode><suffix>": true, and the mode without the suffix.
inline bool takeSuffix(std::string& mode, const std::string& suffix)
{
    if (mode.size() <= suffix.size() || mode.compare(mode.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    mode.erase(mode.size() - suffix.size());
    return true;
}

// A mode named "<mode>-general" draws the general case: true, and the mode without the suffix.
inline bool takeGeneral(std::string& mode)
{
    const std::string suffix = "-general";
    if (mode.size() <= suffix.size() || mode.compare(mode.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    mode.erase(mode.size() - suffix.size());
    return true;
}

// The animated scenes step once per frame; the frame measure() reads back shows a fixed step, so
// that every program's last frame is the same picture whatever its frame rate.
inline bool finalFrame = false;
const long kFinalStep = 1001;
struct Stepper {
    long step = 0;
    long next()
    {
        return finalFrame ? kFinalStep : step++;
    }
};

// The flames: 128 by 192 pictures with soft, mostly transparent borders, eight frames of one
// flip-book (Data/Flame/flame1.png ... flame8.png), each flame at its own phase and in one of the
// four tints, at whole-pixel positions all over the window (partly outside it), from a fixed seed.
// The general case turns and scales them about the picture's centre and top-left corner as
// CTexture::draw does, positions an eighth of a pixel apart.
const int kFlameWidth = 128;
const int kFlameHeight = 192;
const int kFlameFrames = 8;
inline std::string flameFile(int frame)
{
    return "Data/Flame/flame" + std::to_string(frame + 1) + ".png";
}

struct Flame {
    Placement place;
    int phase;  // the frame shown at step 0
    uint8_t tint[4];
};

// A small fixed generator: 24 random bits.
inline uint32_t nextRandom(uint32_t& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

inline std::vector<Flame> flames(int count, bool general)
{
    std::vector<Flame> out;
    uint32_t state = 2026;
    for (int i = 0; i < count; ++i) {
        Flame f;
        const int x = int(nextRandom(state) % uint32_t(kWindowWidth)) - kFlameWidth / 2;
        const int y = int(nextRandom(state) % uint32_t(kWindowHeight)) - kFlameHeight / 2;
        f.phase = int(nextRandom(state) % uint32_t(kFlameFrames));
        std::memcpy(f.tint, quad(i).tint, 4);
        const uint32_t r = nextRandom(state);
        f.place = {float(x), float(y), 1.0f, 0.0f};
        if (general)
            f.place = {float(x) + 0.125f * float(1 + r % 7), float(y) + 0.125f * float(1 + (r >> 3) % 7),
                       0.75f + 0.125f * float((r >> 6) % 5), float((r >> 9) % 360) + 0.5f};
        out.push_back(f);
    }
    return out;
}

inline int flameFrame(const Flame& f, long step)
{
    return int((long(f.phase) + step) % kFlameFrames);
}

// The corners (top-left, top-right, bottom-right, bottom-left) of the part (ox, oy, w, h) of a
// sourceW by sourceH picture placed as CTexture::draw places the whole picture: scaled about its
// top-left corner and turned about its centre. For the programs that transform on the CPU.
inline void partCorners(const Placement& p, float sourceW, float sourceH, float ox, float oy, float w, float h,
                        float out[4][2])
{
    const float cx = 0.5f * sourceW, cy = 0.5f * sourceH;
    const float radians = p.angle * 3.14159265f / 180.0f, c = std::cos(radians), s = std::sin(radians);
    const float local[4][2] = {{ox, oy}, {ox + w, oy}, {ox + w, oy + h}, {ox, oy + h}};
    for (int i = 0; i < 4; ++i) {
        const float dx = local[i][0] - cx, dy = local[i][1] - cy;
        out[i][0] = p.x + p.scale * (cx + c * dx - s * dy);
        out[i][1] = p.y + p.scale * (cy + s * dx + c * dy);
    }
}

// The tile map: count by count cells of 32 by 32 pixels, one layer, every cell one of the eight
// tiles of Data/TileWalker/tiles.png (4 by 2) from a fixed hash, seen through a 1280 by 720 view
// that scrolls by whole pixels every frame.
const int kMapViewWidth = 1280;
const int kMapViewHeight = 720;
const int kTileSize = 32;
const int kTilesetColumns = 4;
const int kTilesetTiles = 8;
const char kTilesetPath[] = "Data/TileWalker/tiles.png";

// The tile of a cell, 0 to 7 (Tiled's global id is one more).
inline int tileOf(int column, int row)
{
    uint32_t h = uint32_t(column) * 73856093u ^ uint32_t(row) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return int(h % uint32_t(kTilesetTiles));
}

// The view's top-left corner in map pixels at a step: 5 pixels right and 3 down per frame, kept
// inside the map.
inline void mapView(long step, int tiles, int& x, int& y)
{
    const long rangeX = long(tiles) * kTileSize - kMapViewWidth + 1;
    const long rangeY = long(tiles) * kTileSize - kMapViewHeight + 1;
    x = rangeX > 0 ? int((step * 5) % rangeX) : 0;
    y = rangeY > 0 ? int((step * 3) % rangeY) : 0;
}

// 64 characters per line; the lines step down 16 pixels and wrap, overlapping past the window.
const int kLineLength = 64;
inline const char* line(int i)
{
    static const char* lines[2] = {"The quick brown fox jumps over the lazy dog; 0123456789 (a + b)!",
                                   "PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS? sphinx of black quartz."};
    return lines[i % 2];
}
inline int lineX(int i)
{
    return (i * 37) % 24;
}
inline int lineY(int i)
{
    return (i * 16) % (kWindowHeight - 16);
}
const uint8_t kTextColour[4] = {255, 217, 102, 255};
// The proportional TrueType font every program sets the lines in for the TrueType figures.
const char kSansPath[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The high-water mark of the resident set, in KiB.
inline long peakRssKiB()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    long kib = -1;
    char text[256];
    while (status != nullptr && std::fgets(text, sizeof(text), status) != nullptr)
        if (std::sscanf(text, "VmHWM: %ld", &kib) == 1)
            break;
    if (status != nullptr)
        std::fclose(status);
    return kib;
}

// Writes the bottom-up RGBA read-back as RGB bytes; the runner compares these files.
inline bool writeFrame(const std::string& path, const std::vector<uint8_t>& rgba)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    std::vector<uint8_t> rgb(rgba.size() / 4 * 3);
    for (std::size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3)
        std::memcpy(&rgb[j], &rgba[i], 3);
    const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), file) == rgb.size();
    return std::fclose(file) == 0 && ok;
}

struct Arguments {
    std::string mode;
    int count = 0;          // quads or lines per frame
    double seconds = 0.0;   // measured time, after a short warm-up
    std::string framePath;  // where the last frame goes; empty for none
};

inline bool parseArguments(int argc, char* argv[], Arguments& out)
{
    if (argc < 4)
        return false;
    out.mode = argv[1];
    out.count = std::atoi(argv[2]);
    out.seconds = std::atof(argv[3]);
    out.framePath = argc > 4 ? argv[4] : "";
    return out.count > 0 && out.seconds > 0.0;
}

// CPU time of the whole process (every thread: the software rasteriser's as well), in seconds.
inline double processCpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Shows frames (draw, then swap) for a quarter of a second, then for the given time, and prints
// "RESULT <items per second> <peak RSS in KiB> <frames> <CPU microseconds per item>", items being
// quads or characters; the CPU figure counts all threads and hardly depends on the machine's load.
// Then draws one more frame and hands its pixels to readBack before the swap.
template <typename DrawFrame, typename Swap, typename ReadBack>
void measure(const Arguments& args, long itemsPerFrame, DrawFrame drawFrame, Swap swap, ReadBack readBack)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point warm = Clock::now() + std::chrono::milliseconds(250);
    while (Clock::now() < warm) {
        drawFrame();
        swap();
    }
    long frames = 0;
    const double cpuStart = processCpuSeconds();
    const Clock::time_point start = Clock::now();
    double elapsed = 0.0;
    do {
        drawFrame();
        swap();
        ++frames;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < args.seconds);
    const double cpu = processCpuSeconds() - cpuStart;
    const long rss = peakRssKiB();
    const double items = double(frames) * double(itemsPerFrame);
    std::printf("RESULT %.1f %ld %ld %.4f\n", items / elapsed, rss, frames, cpu * 1e6 / items);
    std::fflush(stdout);
    if (!args.framePath.empty()) {
        finalFrame = true;
        drawFrame();
        readBack();
        swap();
    }
}

}  // namespace bench

#endif
