// Makes the GUI demo's assets in <Data folder>/Gui/: the window background (window.png), the six
// hover frames of a push button (button1.png .. button6.png), the four frames of each state of a
// toggle switch (toggleOff1.png .. toggleOff4.png, toggleOn1.png .. toggleOn4.png), the cursor shown
// over a title strip (moveCursor.png), a click sound (click.wav) and a looping tune (music.wav).
// Images are 8-bit RGBA PNG; sounds are 22050 Hz 16-bit mono PCM WAV.
// Run: make_gui_assets <Data folder>   e.g.  ./make_gui_assets Data
// The output is byte-for-byte the same on every run, so the assets can be regenerated at will.

#include "PngWriter.h"
#include "Polygon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------------------------
// Drawing helpers

struct Colour {
    double r, g, b;
};

Colour mix(const Colour& a, const Colour& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Pixel coverage of a shape from its signed distance at the pixel centre (negative inside): a one
// pixel wide ramp across the edge, which antialiases curves as well as supersampling does here.
double coverage(double distance)
{
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

// Signed distance to a rounded rectangle given by its edges and corner radius.
double roundRectDistance(double x, double y, double left, double top, double right, double bottom, double radius)
{
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double qx = std::fabs(x - cx) - ((right - left) / 2 - radius);
    const double qy = std::fabs(y - cy) - ((bottom - top) / 2 - radius);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

double circleDistance(double x, double y, double cx, double cy, double radius)
{
    return std::hypot(x - cx, y - cy) - radius;
}

// Layers are composited in premultiplied alpha, which keeps translucent edges free of dark fringes;
// the PNG gets straight alpha at the end.
class Canvas {
public:
    Canvas(int w, int h)
        : width(w),
          height(h),
          px(static_cast<size_t>(w) * h * 4, 0.0)
    {
    }

    // Paints colour c with opacity a over what is already there.
    void over(int x, int y, const Colour& c, double a)
    {
        if (x < 0 || y < 0 || x >= width || y >= height || a <= 0)
            return;
        a = std::min(a, 1.0);
        double* p = &px[(static_cast<size_t>(y) * width + x) * 4];
        p[0] = c.r * a + p[0] * (1 - a);
        p[1] = c.g * a + p[1] * (1 - a);
        p[2] = c.b * a + p[2] * (1 - a);
        p[3] = a + p[3] * (1 - a);
    }

    // Calls shade(x, y, colour, alpha) for every pixel, with (x, y) the pixel centre, and paints
    // the result over the canvas.
    template <typename Shade>
    void paint(Shade shade)
    {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                Colour c{0, 0, 0};
                double a = 0;
                shade(x + 0.5, y + 0.5, c, a);
                over(x, y, c, a);
            }
        }
    }

    png::Image toImage() const
    {
        png::Image img(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double* p = &px[(static_cast<size_t>(y) * width + x) * 4];
                const double a = p[3];
                if (a <= 0)
                    continue;
                img.set(x, y, p[0] / a, p[1] / a, p[2] / a, a);
            }
        }
        return img;
    }

    const int width;
    const int height;

private:
    std::vector<double> px;
};

// ---------------------------------------------------------------------------------------------
// Window

png::Image makeWindow()
{
    constexpr int kWidth = 320, kHeight = 240;
    constexpr double kRadius = 9.0;
    constexpr double kBorder = 1.0;
    constexpr double kTitle = 24.0;  // the engine's draggable strip is this high
    constexpr double kBodyAlpha = 0.9;

    const Colour titleTop{0.165, 0.196, 0.247};
    const Colour titleBottom{0.118, 0.141, 0.184};
    const Colour bodyTop{0.188, 0.227, 0.282};
    const Colour bodyBottom{0.153, 0.184, 0.231};
    const Colour border{0.36, 0.42, 0.50};

    Canvas canvas(kWidth, kHeight);
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = roundRectDistance(x, y, 0, 0, kWidth, kHeight, kRadius);
        const double outer = coverage(d);
        const double inner = coverage(d + kBorder);
        if (outer <= 0)
            return;
        Colour fill;
        double fillAlpha;
        if (y < kTitle) {
            fill = mix(titleTop, titleBottom, smoothstep(0, kTitle, y));
            fillAlpha = 1.0;
        } else {
            fill = mix(bodyTop, bodyBottom, (y - kTitle) / (kHeight - kTitle));
            fillAlpha = kBodyAlpha;
        }
        // The ring between the outer and the inner edge is the border; it stays opaque so the
        // window reads crisply over anything.
        const double ring = outer - inner;
        const double fillWeight = fillAlpha * inner;
        a = fillWeight + ring;
        c = mix(fill, border, ring / a);
    });

    // A dark seam along the bottom of the title bar and a faint light line just below it set the
    // bar off from the body more gently than a bright rule would.
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double inside = coverage(roundRectDistance(x, y, 0, 0, kWidth, kHeight, kRadius) + kBorder);
        if (y > kTitle - 1 && y < kTitle) {
            c = {0.06, 0.07, 0.09};
            a = 0.85 * inside;
        } else if (y > kTitle && y < kTitle + 1) {
            c = {0.55, 0.62, 0.72};
            a = 0.18 * inside;
        } else if (y > kBorder && y < kBorder + 1) {
            // Light from above catches the top edge of the bar.
            c = {0.60, 0.68, 0.78};
            a = 0.22 * inside;
        }
    });

    // Grip dots at the right end of the title bar: two rows of three, engraved (a dark dot with
    // a light one just above it).
    constexpr int kCols = 3, kRows = 2;
    constexpr double kSpacing = 5.0, kDotRadius = 1.15;
    const double right = kWidth - 13.0;
    const double midY = kTitle / 2;
    for (int pass = 0; pass < 2; ++pass) {
        canvas.paint([&](double x, double y, Colour& c, double& a) {
            double cov = 0;
            for (int row = 0; row < kRows; ++row) {
                for (int col = 0; col < kCols; ++col) {
                    const double cx = right - (kCols - 1 - col) * kSpacing;
                    const double cy = midY + (row - (kRows - 1) / 2.0) * kSpacing + (pass ? 0.0 : 1.0);
                    cov = std::max(cov, coverage(circleDistance(x, y, cx, cy, kDotRadius)));
                }
            }
            if (pass == 0) {
                c = {0.03, 0.04, 0.05};
                a = 0.7 * cov;
            } else {
                c = {0.58, 0.65, 0.74};
                a = 0.85 * cov;
            }
        });
    }
    return canvas.toImage();
}

// ---------------------------------------------------------------------------------------------
// Push button

constexpr int kButtonFrames = 6;

png::Image makeButtonFrame(int frame)
{
    constexpr int kWidth = 112, kHeight = 36;
    // The face leaves a margin for the shadow and the hover glow.
    constexpr double kLeft = 3, kTop = 2, kRight = kWidth - 3, kBottom = kHeight - 5;
    constexpr double kLip = 2;  // the darker side below the face that makes it look raised
    constexpr double kRadius = 6;

    // 0 resting .. 1 hovered, in even steps so the glow builds steadily over the six frames.
    const double h = static_cast<double>(frame) / (kButtonFrames - 1);

    const Colour restTop{0.12, 0.56, 0.56}, restBottom{0.07, 0.44, 0.45};
    const Colour hotTop{0.20, 0.69, 0.67}, hotBottom{0.11, 0.55, 0.55};
    const Colour faceTop = mix(restTop, hotTop, h);
    const Colour faceBottom = mix(restBottom, hotBottom, h);
    const Colour lip = mix(Colour{0.03, 0.27, 0.29}, Colour{0.06, 0.40, 0.41}, h);
    const Colour glow{0.40, 0.95, 0.90};

    Canvas canvas(kWidth, kHeight);

    // Soft shadow under the resting button; it gives way to the glow on hover.
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = roundRectDistance(x, y, kLeft, kTop + 2, kRight, kBottom + kLip + 1, kRadius);
        c = {0, 0, 0};
        a = (1 - h) * 0.35 * (1 - smoothstep(-1.0, 2.5, d));
    });
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = roundRectDistance(x, y, kLeft, kTop, kRight, kBottom + kLip, kRadius);
        if (d <= 0)
            return;
        c = glow;
        a = h * 0.55 * std::exp(-d / 1.4);
    });

    // The lip, then the face over it.
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        c = lip;
        a = coverage(roundRectDistance(x, y, kLeft, kTop, kRight, kBottom + kLip, kRadius));
    });
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        c = mix(faceTop, faceBottom, smoothstep(kTop, kBottom, y));
        a = coverage(roundRectDistance(x, y, kLeft, kTop, kRight, kBottom, kRadius));
    });

    // A highlight line along the top of the face, and a bright rim that grows on hover.
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = roundRectDistance(x, y, kLeft, kTop, kRight, kBottom, kRadius);
        const double face = coverage(d);
        const double below = coverage(roundRectDistance(x, y - 1, kLeft, kTop, kRight, kBottom, kRadius));
        c = {1, 1, 1};
        a = (face - std::min(face, below)) * (0.35 + 0.3 * h);
    });
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = roundRectDistance(x, y, kLeft, kTop, kRight, kBottom + kLip, kRadius);
        c = {0.70, 1.0, 0.96};
        a = h * 0.75 * (coverage(d) - coverage(d + 1));
    });
    return canvas.toImage();
}

// ---------------------------------------------------------------------------------------------
// Toggle switch

constexpr int kToggleFrames = 4;

png::Image makeToggleFrame(bool on, int frame)
{
    constexpr int kWidth = 64, kHeight = 32;
    constexpr double kTrackLeft = 4, kTrackTop = 5, kTrackRight = kWidth - 4, kTrackBottom = kHeight - 5;
    constexpr double kTrackRadius = (kTrackBottom - kTrackTop) / 2;
    constexpr double kKnobRadius = kTrackRadius - 2;
    const double knobX = on ? kTrackRight - kTrackRadius : kTrackLeft + kTrackRadius;
    const double knobY = kHeight / 2.0;

    const double t = static_cast<double>(frame) / (kToggleFrames - 1);  // hover growth, 0 .. 1

    const Colour trackTop = on ? Colour{0.17, 0.62, 0.32} : Colour{0.25, 0.28, 0.32};
    const Colour trackBottom = on ? Colour{0.24, 0.74, 0.40} : Colour{0.33, 0.36, 0.41};
    const Colour halo = on ? Colour{0.55, 1.0, 0.65} : Colour{0.85, 0.90, 0.96};

    Canvas canvas(kWidth, kHeight);

    // Track, darker at the top as if sunk into the panel, with a thin dark rim.
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = roundRectDistance(x, y, kTrackLeft, kTrackTop, kTrackRight, kTrackBottom, kTrackRadius);
        const Colour fill = mix(trackTop, trackBottom, smoothstep(kTrackTop, kTrackBottom, y));
        const double rim = coverage(d) - coverage(d + 1);
        c = mix(fill, Colour{0.05, 0.06, 0.08}, 0.45 * rim / std::max(coverage(d), 1e-9));
        a = coverage(d);
    });

    // State marks on the free side of the track: "I" when on, "O" when off.
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        if (on) {
            const double mx = kTrackLeft + kTrackRadius + 1;
            c = {1, 1, 1};
            a = 0.85 * coverage(roundRectDistance(x, y, mx - 1, knobY - 4.5, mx + 1, knobY + 4.5, 1));
        } else {
            const double mx = kTrackRight - kTrackRadius - 1;
            const double d = std::fabs(circleDistance(x, y, mx, knobY, 3.5)) - 0.8;
            c = {0.70, 0.74, 0.80};
            a = 0.9 * coverage(d);
        }
    });

    // Hover halo growing around the knob.
    if (frame > 0) {
        canvas.paint([&](double x, double y, Colour& c, double& a) {
            const double d = circleDistance(x, y, knobX, knobY, kKnobRadius + 1 + 2.5 * t);
            c = halo;
            a = (0.18 + 0.22 * t) * coverage(d);
        });
    }

    // Knob shadow, then the knob: light with a soft vertical shade and a faint rim.
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = circleDistance(x, y, knobX, knobY + 1, kKnobRadius);
        c = {0, 0, 0};
        a = 0.35 * (1 - smoothstep(-1.0, 1.5, d));
    });
    canvas.paint([&](double x, double y, Colour& c, double& a) {
        const double d = circleDistance(x, y, knobX, knobY, kKnobRadius);
        const double v = smoothstep(knobY - kKnobRadius, knobY + kKnobRadius, y);
        Colour fill = mix(Colour{0.98, 0.98, 0.99}, Colour{0.84, 0.86, 0.89}, v);
        fill = mix(fill, Colour{1, 1, 1}, 0.6 * t);
        const double rim = coverage(d) - coverage(d + 1);
        c = mix(fill, Colour{0.55, 0.58, 0.62}, 0.6 * rim / std::max(coverage(d), 1e-9));
        a = coverage(d);
    });
    return canvas.toImage();
}

// ---------------------------------------------------------------------------------------------
// Move cursor

// A small pointer arrow, tip at the origin, so the hot spot is where the user expects it.
std::vector<Point> smallArrow()
{
    return {{0.0, 0.0}, {0.0, 15.0}, {3.4, 11.8}, {5.8, 17.0}, {9.2, 15.6}, {6.9, 10.6}, {11.2, 10.6}};
}

// A four-way move cross around (cx, cy): four shafts with arrowheads, as one outline.
std::vector<Point> moveCross(double cx, double cy)
{
    constexpr double kReach = 10.5;  // centre to arrow tip
    constexpr double kHeadLength = 4.0;
    // Narrow enough that neighbouring heads keep a gap: wider ones merge into a diamond.
    constexpr double kHeadHalf = 4.0;  // half width of an arrowhead's base
    // With the centre on a pixel centre the shaft covers whole pixels: outline, white, outline.
    constexpr double kShaftHalf = 1.5;
    // The +x arm, from the corner it shares with the -y arm to the one it shares with +y.
    const std::array<Point, 6> arm = {{
        {kShaftHalf, -kShaftHalf},
        {kReach - kHeadLength, -kShaftHalf},
        {kReach - kHeadLength, -kHeadHalf},
        {kReach, 0.0},
        {kReach - kHeadLength, kHeadHalf},
        {kReach - kHeadLength, kShaftHalf},
    }};
    std::vector<Point> poly;
    // Quarter turns in screen coordinates (y down): +x arm, +y arm, -x arm, -y arm.
    const std::array<std::array<int, 4>, 4> turns = {{{1, 0, 0, 1}, {0, -1, 1, 0}, {-1, 0, 0, -1}, {0, 1, -1, 0}}};
    for (const auto& m : turns) {
        for (const Point& p : arm)
            poly.push_back({cx + m[0] * p.x + m[1] * p.y, cy + m[2] * p.x + m[3] * p.y});
    }
    return poly;
}

png::Image makeMoveCursor()
{
    const std::vector<Point> arrow = smallArrow();
    const std::vector<Point> cross = moveCross(21.5, 21.5);
    // The cross lies over the arrow; its own black outline keeps the two apart.
    return outlinedPointer(32, {&cross, &arrow}, 1.0);
}

// ---------------------------------------------------------------------------------------------
// Sounds

constexpr int kRate = 22050;

void putLe(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Scales the samples so the loudest one sits at peakDb dBFS, then writes a PCM WAV file.
bool writeWav(const std::string& path, const std::vector<double>& samples, double peakDb, std::string& error)
{
    double peak = 0;
    for (double s : samples)
        peak = std::max(peak, std::fabs(s));
    const double gain = peak > 0 ? std::pow(10.0, peakDb / 20.0) * 32767.0 / peak : 0.0;

    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    putLe(out, 36 + dataBytes, 4);  // everything after this field
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    putLe(out, 16, 4);  // fmt chunk size for plain PCM
    putLe(out, 1, 2);   // PCM
    putLe(out, 1, 2);   // mono
    putLe(out, kRate, 4);
    putLe(out, kRate * 2, 4);  // bytes per second
    putLe(out, 2, 2);          // bytes per frame
    putLe(out, 16, 2);         // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    putLe(out, dataBytes, 4);
    for (double s : samples) {
        const long v = std::clamp(std::lround(s * gain), -32768L, 32767L);
        putLe(out, static_cast<uint32_t>(static_cast<int16_t>(v)) & 0xFFFFu, 2);
    }

    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// A bell-like 880 Hz blip: quick attack so it feels immediate, exponential decay so it fades
// naturally. A little octave and fifth above add shine without moving the dominant pitch.
std::vector<double> makeClick()
{
    constexpr double kLength = 0.15;
    constexpr double kFrequency = 880.0;
    constexpr double kAttack = 0.002;
    constexpr double kDecay = 0.032;  // time constant
    constexpr double kFadeOut = 0.015;
    const int n = static_cast<int>(std::lround(kLength * kRate));
    std::vector<double> s(n);
    for (int i = 0; i < n; ++i) {
        const double time = static_cast<double>(i) / kRate;
        const double attack = std::sin(0.5 * kPi * std::min(time / kAttack, 1.0));
        // The tail is brought to exact silence so the sound ends without a pop.
        const double fade = smoothstep(kLength, kLength - kFadeOut, time);
        const double env = attack * std::exp(-time / kDecay) * fade;
        const double w = 2 * kPi * kFrequency * time;
        s[i] = env * (std::sin(w) + 0.18 * std::sin(2 * w) * std::exp(-time / 0.012) + 0.08 * std::sin(1.5 * w));
    }
    return s;
}

// A four-second loop: an A minor pentatonic arpeggio in half-second steps over a slow bass. Every
// note rings past its step and past the loop end; the overhang is wrapped to the start so the loop
// joins without a seam.
std::vector<double> makeMusic()
{
    constexpr double kLength = 4.0;
    const int n = static_cast<int>(std::lround(kLength * kRate));
    std::vector<double> s(n, 0.0);

    const auto note = [&](double start, double frequency, double ring, double decay, double amplitude,
                          double attack, double overtone) {
        const int first = static_cast<int>(std::lround(start * kRate));
        const int count = static_cast<int>(std::lround(ring * kRate));
        for (int i = 0; i < count; ++i) {
            const double time = static_cast<double>(i) / kRate;
            const double rise = smoothstep(0, attack, time);
            const double release = smoothstep(ring, ring - 0.2, time);
            const double env = amplitude * rise * std::exp(-time / decay) * release;
            const double w = 2 * kPi * frequency * time;
            // Odd overtones only: they soften the sine without putting energy near 880 Hz.
            s[(first + i) % n] += env * (std::sin(w) + overtone * std::sin(3 * w));
        }
    };

    const double a3 = 220.0, c4 = 261.63, d4 = 293.66, e4 = 329.63, g4 = 392.0, a4 = 440.0;
    const std::array<double, 8> melody = {a3, c4, e4, a4, g4, e4, d4, c4};
    for (size_t i = 0; i < melody.size(); ++i)
        note(0.5 * static_cast<double>(i), melody[i], 1.4, 0.35, 1.0, 0.012, 0.10);
    // A quiet echo of the arpeggio a dotted eighth later fills the gaps between steps.
    for (size_t i = 0; i < melody.size(); ++i)
        note(0.5 * static_cast<double>(i) + 0.375, melody[i], 1.2, 0.3, 0.22, 0.012, 0.05);

    const double a2 = 110.0, c3 = 130.81, g2 = 98.0;
    note(0.0, a2, 2.2, 1.2, 0.55, 0.04, 0.18);
    note(2.0, c3, 1.2, 0.8, 0.5, 0.04, 0.18);
    note(3.0, g2, 1.2, 0.8, 0.5, 0.04, 0.18);
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::cerr << "Usage: " << (argc ? argv[0] : "make_gui_assets") << " <Data folder>\n"
                  << "Writes the GUI demo's images and sounds into <Data folder>/Gui/.\n";
        return 2;
    }
    const std::filesystem::path dir = std::filesystem::path(argv[1]) / "Gui";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::cerr << "make_gui_assets: cannot create " << dir.string() << ": " << ec.message() << "\n";
        return 1;
    }

    bool ok = true;
    const auto savePng = [&](const std::string& name, const png::Image& img) {
        std::string error;
        if (!png::write((dir / name).string(), img, error)) {
            std::cerr << "make_gui_assets: " << error << "\n";
            ok = false;
        }
    };
    const auto saveWav = [&](const std::string& name, const std::vector<double>& samples, double peakDb) {
        std::string error;
        if (!writeWav((dir / name).string(), samples, peakDb, error)) {
            std::cerr << "make_gui_assets: " << error << "\n";
            ok = false;
        }
    };

    savePng("window.png", makeWindow());
    for (int f = 0; f < kButtonFrames; ++f)
        savePng("button" + std::to_string(f + 1) + ".png", makeButtonFrame(f));
    for (int f = 0; f < kToggleFrames; ++f) {
        savePng("toggleOff" + std::to_string(f + 1) + ".png", makeToggleFrame(false, f));
        savePng("toggleOn" + std::to_string(f + 1) + ".png", makeToggleFrame(true, f));
    }
    savePng("moveCursor.png", makeMoveCursor());
    saveWav("click.wav", makeClick(), -6.0);
    saveWav("music.wav", makeMusic(), -9.0);
    return ok ? 0 : 1;
}
