// The real gui_demo binary driven through the X server with real pointer moves and clicks
// (xdotool): a drag by the title bar, a click on the music toggle, a click on the sound button,
// whose click is then found in what SDL's disk audio driver wrote. Every step waits for what it
// needs to see on the screen or in the audio file, with a time limit, never for a fixed time.
#include "tests/e2e/DemoProcess.h"

#include "demo/GuiDemo.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kGuiCaption = "Quarl Engine - GUI Demo";
// Where gui_demo opens its window: (352, 264) to (672, 504), title bar 24 pixels high.
const int kLeft = GuiDemo::WindowLeft, kTop = GuiDemo::WindowTop;
// A body pixel of the window, clear of labels and buttons (right of the captions, between the
// switch row and the text rows).
const int kBodyX = kLeft + 300, kBodyY = kTop + 144;
// Where the pointer rests between steps: on the black background, off the window.
const int kRestX = 200, kRestY = 600;
// How long any one awaited change may take; on a loaded machine a frame can take a while.
const int kWaitSeconds = 15;

// A screenshot of the demo's window.
class Shot {
public:
    Shot() = default;
    Shot(const Shot&) = delete;
    Shot& operator=(const Shot&) = delete;
    ~Shot()
    {
        release();
    }
    bool take(Display* display, Window window)
    {
        release();
        XSync(display, False);
        image = XGetImage(display, window, 0, 0, 1024, 768, AllPlanes, ZPixmap);
        return image != nullptr;
    }
    unsigned long at(int x, int y) const
    {
        return XGetPixel(image, x, y);
    }
    int red(int x, int y) const
    {
        return int((at(x, y) >> 16) & 0xFF);
    }
    int green(int x, int y) const
    {
        return int((at(x, y) >> 8) & 0xFF);
    }
    int blue(int x, int y) const
    {
        return int(at(x, y) & 0xFF);
    }
    int sum(int x, int y) const
    {
        return red(x, y) + green(x, y) + blue(x, y);
    }
    // How far two shots are apart at one pixel, over the three channels.
    int difference(const Shot& other, int x, int y) const
    {
        return std::abs(red(x, y) - other.red(x, y)) + std::abs(green(x, y) - other.green(x, y)) +
               std::abs(blue(x, y) - other.blue(x, y));
    }
    bool sameIn(const Shot& other, int x, int y, int w, int h) const
    {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i)
                if (at(i, j) != other.at(i, j))
                    return false;
        return true;
    }
    // The custom cursor (an outlined arrow, tip top-left) is drawn on black at (x, y).
    bool cursorOnBlackAt(int x, int y) const
    {
        for (int j = y; j < y + 12; ++j)
            for (int i = x; i < x + 12; ++i)
                if (sum(i, j) > 100)
                    return true;
        return false;
    }

private:
    void release()
    {
        if (image)
            XDestroyImage(image);
        image = nullptr;
    }
    XImage* image = nullptr;
};

// The window's left edge (at mid height) and top edge (away from the pointer) lie at x and y: one
// pixel outside them is black background, a few inside is the window.
bool windowCornerAt(const Shot& shot, int x, int y)
{
    return shot.sum(x - 2, y + 120) == 0 && shot.sum(x + 3, y + 120) > 30 && shot.sum(x + 200, y - 2) == 0 &&
           shot.sum(x + 200, y + 3) > 30;
}

void run(const std::string& command)
{
    ASSERT_EQ(0, std::system(command.c_str())) << command;
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

// The left channel of what SDL's disk driver wrote (signed 16-bit stereo, at
// diskAudioRate(22050)) so far.
std::vector<float> leftChannel(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> left;
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        int16_t sample;
        std::memcpy(&sample, &bytes[i], 2);
        left.push_back(sample / 32768.0f);
    }
    return left;
}

// Index of the first sample that is not silence, or the size when there is none.
std::size_t firstSound(const std::vector<float>& samples)
{
    std::size_t first = 0;
    while (first < samples.size() && std::fabs(samples[first]) < 0.05f)
        ++first;
    return first;
}

class GuiDemoEndToEnd : public e2e::DisplayTest {
protected:
    // Starts gui_demo with the extra environment, waits for its window and rests the pointer on
    // the background, where the custom cursor then shows.
    void start(const std::vector<std::pair<std::string, std::string>>& environment = {})
    {
        demo.reset(new e2e::DemoProcess(GUI_DEMO_BINARY, SOURCE_ROOT, environment));
        ASSERT_GT(demo->pid, 0);
        window = e2e::waitForWindow(display, *demo, kGuiCaption, 30);
        ASSERT_NE(0u, window) << demo->output;
        id = std::to_string(window);
        run("xdotool windowfocus --sync " + id);
        Shot shot;
        pointAndWait(kRestX, kRestY, shot, [](const Shot& s) { return s.cursorOnBlackAt(kRestX, kRestY); });
    }

    // Takes shots until the condition holds; false (with the last shot kept) when time runs out.
    template <typename Condition>
    bool waitFor(Shot& shot, Condition condition)
    {
        for (int tick = 0; tick < kWaitSeconds * 20; ++tick) {
            if (!shot.take(display, window))
                return false;
            if (condition(shot))
                return true;
            demo->readAvailable();
            usleep(50000);
        }
        return false;
    }

    // Moves the pointer to window coordinates and waits until a shot shows what the move causes.
    template <typename Condition>
    void pointAndWait(int x, int y, Shot& shot, Condition condition)
    {
        run("xdotool mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y));
        ASSERT_TRUE(waitFor(shot, condition)) << "no change after moving the pointer to " << x << ", " << y;
    }

    void endWithEscape()
    {
        run("xdotool key Escape");
        int status = 0;
        ASSERT_TRUE(demo->waitForExit(30, &status)) << "Escape did not end the demo";
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status));
    }

    std::unique_ptr<e2e::DemoProcess> demo;
    Window window = 0;
    std::string id;
};

}  // namespace

TEST_F(GuiDemoEndToEnd, DraggingTheTitleBarMovesTheWindowWithThePointer)
{
    ASSERT_NO_FATAL_FAILURE(start());
    Shot before;
    ASSERT_TRUE(before.take(display, window));
    ASSERT_GT(before.sum(kBodyX, kBodyY), 30);
    ASSERT_EQ(0, before.sum(kBodyX + 100, kTop + 240 + 50));
    ASSERT_TRUE(windowCornerAt(before, kLeft, kTop));

    // On the title bar the move cursor replaces the arrow.
    const int barX = kLeft + 150, barY = kTop + 10;
    Shot shot;
    ASSERT_NO_FATAL_FAILURE(
        pointAndWait(barX, barY, shot, [&](const Shot& s) { return !s.sameIn(before, barX, barY, 12, 12); }));
    // Pressed, then moved in steps: each step waits until the window has followed the pointer.
    run("xdotool mousedown 1");
    for (int step = 1; step <= 4; ++step) {
        const int moved = 25 * step;
        ASSERT_NO_FATAL_FAILURE(
            pointAndWait(barX + moved, barY + moved, shot,
                         [&](const Shot& s) { return windowCornerAt(s, kLeft + moved, kTop + moved); }))
            << "step " << step;
    }
    // Released on the bar, then the pointer leaves: once the arrow shows at its new place, a window
    // still dragged would have followed it in that same frame.
    run("xdotool mouseup 1");
    Shot dragged;
    ASSERT_NO_FATAL_FAILURE(
        pointAndWait(kRestX, kRestY, dragged, [](const Shot& s) { return s.cursorOnBlackAt(kRestX, kRestY); }));

    // The window moved by (100, 100): its body pixel followed, and where it was is background now.
    EXPECT_NEAR(before.red(kBodyX, kBodyY), dragged.red(kBodyX + 100, kBodyY + 100), 8);
    EXPECT_NEAR(before.green(kBodyX, kBodyY), dragged.green(kBodyX + 100, kBodyY + 100), 8);
    EXPECT_NEAR(before.blue(kBodyX, kBodyY), dragged.blue(kBodyX + 100, kBodyY + 100), 8);
    EXPECT_EQ(0, dragged.sum(kLeft + 5, kTop + 30));
    endWithEscape();
}

TEST_F(GuiDemoEndToEnd, ClickingTheMusicToggleChangesItsPicture)
{
    ASSERT_NO_FATAL_FAILURE(start());
    Shot resting;
    ASSERT_TRUE(resting.take(display, window));
    // The music toggle (64 by 32 in the window). Its track, midway along and above the knob's reach
    // in either state, turns from grey to green; the hover halo never reaches it.
    const int toggleX = kLeft + GuiDemo::ToggleX, toggleY = kTop + GuiDemo::ToggleY;
    const int trackX = toggleX + 32, trackY = toggleY + 8;
    const int pointerX = toggleX + 36, pointerY = toggleY + 16;
    Shot off;
    ASSERT_NO_FATAL_FAILURE(pointAndWait(
        pointerX, pointerY, off, [&](const Shot& s) { return !s.sameIn(resting, pointerX, pointerY, 12, 12); }));
    run("xdotool click 1");
    Shot on;
    EXPECT_TRUE(waitFor(on, [&](const Shot& s) { return s.difference(off, trackX, trackY) > 60; }))
        << "the toggle's picture did not change";
    endWithEscape();
}

TEST_F(GuiDemoEndToEnd, ClickingTheSoundButtonPlaysTheClick)
{
    const std::string audioPath = testing_support::makeTempDir() + "/audio.raw";
    ASSERT_NO_FATAL_FAILURE(
        start({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", audioPath}, {"SDL_DISKAUDIODELAY", "100"}}));
    Shot resting;
    ASSERT_TRUE(resting.take(display, window));
    // The sound button (112 by 36 in the window).
    const int pointerX = kLeft + GuiDemo::ButtonX + 56, pointerY = kTop + GuiDemo::ButtonY + 18;
    Shot over;
    ASSERT_NO_FATAL_FAILURE(pointAndWait(
        pointerX, pointerY, over, [&](const Shot& s) { return !s.sameIn(resting, pointerX, pointerY, 12, 12); }));
    run("xdotool click 1");
    // Wait until the click, and a little more than it, has reached the file.
    std::vector<float> left;
    for (int tick = 0; tick < kWaitSeconds * 20; ++tick) {
        left = leftChannel(audioPath);
        const std::size_t first = firstSound(left);
        if (first < left.size() && left.size() >= first + 2048)
            break;
        demo->readAvailable();
        usleep(50000);
    }
    endWithEscape();

    const std::size_t first = firstSound(left);
    ASSERT_LT(first, left.size()) << "the output stayed silent";
    ASSERT_GE(left.size(), first + 2048) << "the click was cut short";
    const std::vector<float> clickPart(left.begin() + long(first), left.begin() + long(first + 2048));
    EXPECT_NEAR(880.0, dominantFrequency(clickPart, testing_support::diskAudioRate(22050)), 40.0);
}
