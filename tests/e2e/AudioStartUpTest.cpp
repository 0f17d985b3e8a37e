// The real sprite_demo binary with the audio driver chosen through SDL_AUDIODRIVER: a driver that
// cannot open (no audio device) and SDL's dummy driver. The demo must start, show its window and
// end on a real Escape key press (an XTEST key event through xdotool) in both cases.
#include "tests/e2e/DemoProcess.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const kDemoCaption = "Quarl Engine - Sprite Animation Demo";

class DemoAudioStartUp : public e2e::DisplayTest {
protected:
    // Starts the demo with the driver, waits for its 1024 by 768 window, presses Escape and
    // returns what it logged; the demo must have ended with status 0.
    std::vector<std::string> runUntilEscape(const char* audioDriver)
    {
        e2e::DemoProcess demo(SPRITE_DEMO_BINARY, SOURCE_ROOT, {{"SDL_AUDIODRIVER", audioDriver}});
        EXPECT_GT(demo.pid, 0);
        if (demo.pid <= 0)
            return {};
        const Window window = e2e::waitForWindow(display, demo, kDemoCaption, 30);
        EXPECT_NE(0u, window) << "no demo window; output so far:\n" << demo.output;
        if (window == 0)
            return {};
        XWindowAttributes attributes;
        EXPECT_TRUE(XGetWindowAttributes(display, window, &attributes));
        EXPECT_EQ(1024, attributes.width);
        EXPECT_EQ(768, attributes.height);

        const std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
        EXPECT_EQ(0, std::system(command.c_str()));
        int status = 0;
        EXPECT_TRUE(demo.waitForExit(30, &status)) << "Escape did not end the demo";
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status)) << demo.output;
        return demo.lines();
    }
};

}  // namespace

TEST_F(DemoAudioStartUp, WithoutAnAudioDeviceUnableToOpenAudioPrecedesTheSoundManagerLineOnce)
{
    const std::vector<std::string> lines = runUntilEscape("quarl-no-such-driver");
    std::vector<std::string> expected = testing_support::startUpLines();
    expected.insert(expected.begin() + 8, "Unable to open audio");
    ASSERT_GE(lines.size(), expected.size() + 1);
    const std::vector<std::string> startUp(lines.begin(), lines.begin() + 14);
    EXPECT_EQ(expected, startUp);
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), "Unable to open audio"));
    // Then the video mode's empty line and the driver lines, as with a device.
    EXPECT_EQ("", lines[14]);
    EXPECT_EQ(0u, lines[15].find("Detected Video Card Vendor: ")) << lines[15];
}

TEST_F(DemoAudioStartUp, WithSdlsDummyDriverTheStartUpIsTheThirteenLines)
{
    const std::vector<std::string> lines = runUntilEscape("dummy");
    const std::vector<std::string> expected = testing_support::startUpLines();
    ASSERT_GE(lines.size(), expected.size() + 1);
    const std::vector<std::string> startUp(lines.begin(), lines.begin() + 13);
    EXPECT_EQ(expected, startUp);
    EXPECT_EQ(0, std::count(lines.begin(), lines.end(), "Unable to open audio"));
    EXPECT_EQ("", lines[13]);
    EXPECT_EQ(0u, lines[14].find("Detected Video Card Vendor: ")) << lines[14];
}
