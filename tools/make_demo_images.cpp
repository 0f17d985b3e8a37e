// Makes the sprite demo's images: the arrow mouse pointer (MousePointer.png) and the eight-frame
// looping flame (Flame/flame1.png .. flame8.png), all as 8-bit RGBA PNG files.
// Run: make_demo_images <Data folder>   e.g.  ./make_demo_images Data
// The output is byte-for-byte the same on every run, so the images can be regenerated at will.

#include "PngWriter.h"
#include "Polygon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

using png::Image;

bool writePng(const std::string& path, const Image& img)
{
    std::string error;
    if (png::write(path, img, error))
        return true;
    std::cerr << "make_demo_images: " << error << "\n";
    return false;
}

// ---------------------------------------------------------------------------------------------
// Mouse pointer

// The classic arrow's outer edge, in pixels, tip at the origin.
const std::vector<Point> kArrow = {
    {0.0, 0.0},    // tip
    {0.0, 25.0},   // bottom of the left edge
    {6.0, 19.5},   // notch where the tail starts
    {10.3, 29.5},  // tail, lower left
    {14.7, 27.6},  // tail, lower right
    {10.6, 18.2},  // tail, upper right
    {18.2, 18.2},  // right wing
};

Image makePointer()
{
    return outlinedPointer(32, {&kArrow}, 1.0);
}

// ---------------------------------------------------------------------------------------------
// Flame

uint32_t hash(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h =
        seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^ static_cast<uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// Value noise in [-1, 1].
double valueNoise(double x, double y, uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    const double tx = x - fx, ty = y - fy;
    // Quintic fade: no visible creases along the lattice lines.
    const double ux = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    const double uy = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    const auto v = [&](int32_t dx, int32_t dy) {
        return hash(ix + dx, iy + dy, seed) * (2.0 / 4294967295.0) - 1.0;
    };
    const double a = v(0, 0) + (v(1, 0) - v(0, 0)) * ux;
    const double b = v(0, 1) + (v(1, 1) - v(0, 1)) * ux;
    return a + (b - a) * uy;
}

// Fractal sum of value noise, in [-1, 1].
double fbm(double x, double y, uint32_t seed, int octaves)
{
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        // Each octave is shifted so the lattice corners of the octaves do not coincide.
        sum += amp * valueNoise(x + 0.37 * o, y + 0.71 * o, seed + 101u * o);
        norm += amp;
        x *= 2.0;
        y *= 2.0;
        amp *= 0.5;
    }
    return sum / norm;
}

constexpr int kFrames = 8;

// Noise that rises steadily yet repeats after kFrames: two copies of the rising field, one a full
// loop behind the other, cross-fade over the loop. Dividing by the length of the weight vector
// keeps the contrast even across the fade.
double risingNoise(double x, double y, double rise, int frame, uint32_t seed, int octaves)
{
    const double w = static_cast<double>(frame) / kFrames;
    const double a = fbm(x, y + rise * frame, seed, octaves);
    const double b = fbm(x, y + rise * (frame - kFrames), seed, octaves);
    return ((1 - w) * a + w * b) / std::sqrt((1 - w) * (1 - w) + w * w);
}

double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

struct Colour {
    double r, g, b;
};

// Black-body-like ramp: dark red at the cool tips, through orange and yellow, to white-yellow.
Colour fireColour(double heat)
{
    static const std::array<std::pair<double, Colour>, 6> stops = {{
        {0.00, {0.35, 0.02, 0.00}},
        {0.25, {0.75, 0.10, 0.00}},
        {0.45, {1.00, 0.38, 0.02}},
        {0.65, {1.00, 0.66, 0.12}},
        {0.85, {1.00, 0.90, 0.45}},
        {1.00, {1.00, 1.00, 0.85}},
    }};
    heat = std::clamp(heat, 0.0, 1.0);
    for (size_t i = 1; i < stops.size(); ++i) {
        if (heat <= stops[i].first) {
            const double t = (heat - stops[i - 1].first) / (stops[i].first - stops[i - 1].first);
            const Colour& a = stops[i - 1].second;
            const Colour& b = stops[i].second;
            return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
        }
    }
    return stops.back().second;
}

Image makeFlameFrame(int frame)
{
    constexpr int kWidth = 128, kHeight = 192;
    constexpr double kBaseY = 176.0;     // image row of the flame's bottom
    constexpr double kTall = 155.0;      // height of the flame body in pixels
    constexpr double kHalfWidth = 44.0;  // half width near the base
    constexpr double kRise = 12.0;       // pixels per frame that the tongues climb

    const double phase = 2 * kPi * frame / kFrames;
    // Whole-flame sway and height flicker, periodic with the loop.
    const double sway = 0.7 * std::sin(phase) + 0.35 * std::sin(2 * phase + 1.3);
    const double stretch = 1.0 + 0.07 * std::sin(phase + 0.6) + 0.04 * std::sin(3 * phase + 2.0);

    Image img(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double px = x + 0.5 - kWidth / 2.0;
            const double py = y + 0.5;
            const double v = (kBaseY - py) / (kTall * stretch);  // 0 at the base, 1 at the top
            const double lift = std::max(v, 0.0);

            // Slow, broad noise bends the whole flame; it grows with height like a real plume.
            const double bend = risingNoise(px / 60.0, py / 70.0, kRise / 70.0, frame, 7u, 3);
            const double wx = px + lift * lift * (30.0 * bend + 10.0 * sway);
            // Tall narrow cells make tongues.
            const double tongues = risingNoise(wx / 11.0, py / 32.0, kRise / 32.0, frame, 1234u, 4);

            // Teardrop body: round at the base, narrowing towards the top.
            double body;
            if (v >= 0) {
                const double half = kHalfWidth * std::pow(std::max(1.0 - v, 0.0), 0.95) + 1e-3;
                body = 1.0 - std::fabs(wx) / half;
            } else {
                body = 1.0 - std::hypot(wx / kHalfWidth, v / 0.08);
            }

            // Noise matters little in the steady base and much in the ragged upper part.
            const double heat = body + tongues * (0.15 + 1.6 * lift) - 0.2 * lift;
            if (heat <= 0)
                continue;
            // Hottest low in the middle, cooling with height.
            const double temp = std::clamp(heat * (1.35 - 1.3 * lift), 0.0, 1.0);
            const Colour c = fireColour(temp);
            const double alpha = smoothstep(0.0, 0.3, heat) * (0.7 + 0.3 * temp);
            img.set(x, y, c.r, c.g, c.b, alpha);
        }
    }
    return img;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::cerr << "Usage: " << (argc ? argv[0] : "make_demo_images") << " <Data folder>\n"
                  << "Writes MousePointer.png and Flame/flame1.png .. flame" << kFrames
                  << ".png into the given folder.\n";
        return 2;
    }
    const std::filesystem::path data = argv[1];
    std::error_code error;
    std::filesystem::create_directories(data / "Flame", error);
    if (error) {
        std::cerr << "make_demo_images: cannot create " << (data / "Flame").string() << ": " << error.message()
                  << "\n";
        return 1;
    }

    bool ok = writePng((data / "MousePointer.png").string(), makePointer());
    for (int frame = 0; frame < kFrames; ++frame) {
        const std::string name = "flame" + std::to_string(frame + 1) + ".png";
        ok = writePng((data / "Flame" / name).string(), makeFlameFrame(frame)) && ok;
    }
    return ok ? 0 : 1;
}
