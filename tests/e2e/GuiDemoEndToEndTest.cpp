// The real gui_demo binary driven through the X server with real pointer moves and clicks
// (xdotool): a drag by the title bar, a click on the music toggle, a click on the sound button,
// whose click is then found in what SDL's disk audio driver wrote.
#include "tests/e2e/DemoProcess.h"

#include "demo/GuiDemo.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char* const kGuiCaption = "Quarl Engine - GUI Demo";
// Where gui_demo opens its window: (352, 264) to (672, 504), title bar 24 pixels high.
const int kLeft = GuiDemo::WindowLeft, kTop = GuiDemo::WindowTop;

struct Shot {
    XImage* image = nullptr;
    ~Shot()
    {
        if (image)
            XDestroyImage(image);
    }
    unsigned long at(int x, int y) const { return XGetPixel(image, x, y); }
    int red(int x, int y) const { return int((at(x, y) >> 16) & 0xFF); }
    int green(int x, int y) const { return int((at(x, y) >> 8) & 0xFF); }
    int blue(int x, int y) const { return int(at(x, y) & 0xFF); }
};

void run(const std::string& command)
{
    ASSERT_EQ(0, std::system(command.c_str())) << command;
}

// Lets the demo run some frames so that what was sent has been polled and drawn.
void settle()
{
    usleep(600000);
}

// The strongest frequency between 200 and 2000 Hz in a stretch of samples (Goertzel, 10 Hz steps).
double dominantFrequency(const std::vector<float>& samples, double rate)
{
    double best = 0.0, bestPower = -1.0;
    for (double f = 200.0; f <= 2000.0; f += 10.0) {
        const double coefficient = 2.0 * std::cos(2.0 * M_PI * f / rate);
        double s1 = 0.0, s2 = 0.0;
        for (float x : samples) {
            const double s0 = x + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

class GuiDemoEndToEnd : public e2e::DisplayTest {
protected:
    void shoot(Window window, Shot& shot)
    {
        XSync(display, False);
        shot.image = XGetImage(display, window, 0, 0, 1024, 768, AllPlanes, ZPixmap);
        ASSERT_NE(nullptr, shot.image);
    }
};

} // namespace

TEST_F(GuiDemoEndToEnd, DragsTheWindowTogglesTheMusicAndPlaysTheClick)
{
    char audioPath[] = "/tmp/quarl_gui_audio_XXXXXX";
    const int audioFd = mkstemp(audioPath);
    ASSERT_GE(audioFd, 0);
    close(audioFd);
    e2e::DemoProcess demo(GUI_DEMO_BINARY, SOURCE_ROOT,
                          {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", audioPath},
                           {"SDL_DISKAUDIODELAY", "100"}});
    ASSERT_GT(demo.pid, 0);
    const Window window = e2e::waitForWindow(display, demo, kGuiCaption, 30);
    ASSERT_NE(0u, window) << demo.output;
    const std::string id = std::to_string(window);
    run("xdotool windowfocus --sync " + id + " mousemove --window " + id + " 200 600");
    settle();

    Shot before;
    shoot(window, before);
    // A body pixel of the window, clear of labels and widgets (right of the captions, between the
    // switch row and the text rows), and the background beside the window.
    const int bodyX = kLeft + 300, bodyY = kTop + 144;
    ASSERT_GT(before.red(bodyX, bodyY) + before.green(bodyX, bodyY) + before.blue(bodyX, bodyY), 30);
    ASSERT_EQ(0, before.red(kLeft + 250 + 100, kTop + 240 + 50));

    // Drag by the title bar: press, move in steps, release while still on the bar.
    run("xdotool mousemove --window " + id + " " + std::to_string(kLeft + 150) + " " +
        std::to_string(kTop + 10));
    settle();
    run("xdotool mousedown 1");
    settle();
    for (int step = 1; step <= 4; ++step) {
        run("xdotool mousemove --window " + id + " " + std::to_string(kLeft + 150 + 25 * step) + " " +
            std::to_string(kTop + 10 + 25 * step));
        usleep(200000);
    }
    settle();
    run("xdotool mouseup 1");
    settle();
    run("xdotool mousemove --window " + id + " 200 600");
    settle();

    Shot dragged;
    shoot(window, dragged);
    // The window moved by (100, 100): its body pixel followed, and where it was is background now.
    EXPECT_NEAR(before.red(bodyX, bodyY), dragged.red(bodyX + 100, bodyY + 100), 8);
    EXPECT_NEAR(before.green(bodyX, bodyY), dragged.green(bodyX + 100, bodyY + 100), 8);
    EXPECT_NEAR(before.blue(bodyX, bodyY), dragged.blue(bodyX + 100, bodyY + 100), 8);
    EXPECT_EQ(0, dragged.red(kLeft + 5, kTop + 30) + dragged.green(kLeft + 5, kTop + 30) +
                     dragged.blue(kLeft + 5, kTop + 30));

    // The sound button (112 by 36 in the window) plays the click.
    const int left = kLeft + 100, top = kTop + 100;
    run("xdotool mousemove --window " + id + " " + std::to_string(left + GuiDemo::ButtonX + 56) + " " +
        std::to_string(top + GuiDemo::ButtonY + 18) + " click 1");
    settle();

    // The music toggle (64 by 32): its track changes colour; sample left of the pointer.
    const int toggleX = left + GuiDemo::ToggleX + 6, toggleY = top + GuiDemo::ToggleY + 16;
    run("xdotool mousemove --window " + id + " " + std::to_string(toggleX + 30) + " " +
        std::to_string(toggleY) + "");
    settle();
    Shot off;
    shoot(window, off);
    run("xdotool click 1");
    settle();
    Shot on;
    shoot(window, on);
    const int change = std::abs(off.red(toggleX, toggleY) - on.red(toggleX, toggleY)) +
                       std::abs(off.green(toggleX, toggleY) - on.green(toggleX, toggleY)) +
                       std::abs(off.blue(toggleX, toggleY) - on.blue(toggleX, toggleY));
    EXPECT_GT(change, 60) << "the toggle's picture did not change";

    run("xdotool key Escape");
    int status = 0;
    ASSERT_TRUE(demo.waitForExit(30, &status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));

    // The disk driver wrote 22050 Hz, signed 16-bit stereo; the click comes before the music.
    std::ifstream in(audioPath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(audioPath);
    std::vector<float> left16;
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        int16_t sample;
        std::memcpy(&sample, &bytes[i], 2);
        left16.push_back(sample / 32768.0f);
    }
    ASSERT_GT(left16.size(), 22050u) << "no audio was written";
    std::size_t first = 0;
    while (first < left16.size() && std::fabs(left16[first]) < 0.05f)
        ++first;
    ASSERT_LT(first, left16.size()) << "the output stayed silent";
    const std::vector<float> clickPart(left16.begin() + long(first),
                                       left16.begin() + long(std::min(left16.size(), first + 2048)));
    EXPECT_NEAR(880.0, dominantFrequency(clickPart, 22050.0), 40.0);
}
