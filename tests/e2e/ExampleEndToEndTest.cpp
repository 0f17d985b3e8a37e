// The examples as a user runs them: the built program started from an empty folder, driven with real
// X key presses (xdotool) and looked at through the X server.
#include "tests/e2e/DemoProcess.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The mean column of the flame's bright pixels in the rows it can occupy below the help text, or
// -1 without any.
double flameColumn(Display* display, Window window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes))
        return -1;
    XImage* image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (image == nullptr)
        return -1;
    double sum = 0;
    long count = 0;
    for (int y = 70; y < attributes.height - 40; ++y)
        for (int x = 0; x < attributes.width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            if (((pixel >> 16) & 0xff) > 200) {
                sum += x;
                ++count;
            }
        }
    XDestroyImage(image);
    return count ? sum / count : -1;
}

bool isFailureLine(const std::string& line)
{
    for (const char* start : {"Cannot", "Could not", "Failed", "Unable", "Looked for"})
        if (line.compare(0, std::strlen(start), start) == 0)
            return true;
    return false;
}

class ExampleEndToEnd : public e2e::DisplayTest {};

} // namespace

TEST_F(ExampleEndToEnd, MovingSpriteRunsFromAnEmptyFolderMovesRightAndEndsOnEscape)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(MOVING_SPRITE_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Moving Sprite", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string focus = "xdotool windowfocus --sync " + std::to_string(window);
    ASSERT_EQ(0, std::system(focus.c_str()));
    usleep(300000);

    const double before = flameColumn(display, window);
    ASSERT_GT(before, 0) << "no flame drawn";
    // Held for about half a second at 240 pixels per second: well over 60 pixels further right.
    ASSERT_EQ(0, std::system("xdotool keydown Right sleep 0.5 keyup Right key space"));
    usleep(500000);
    const double after = flameColumn(display, window);
    EXPECT_GT(after, before + 60) << before << " -> " << after;

    ASSERT_EQ(0, std::system((focus + " key Escape").c_str()));
    int status = 0;
    ASSERT_TRUE(example.waitForExit(30, &status)) << "Escape did not end the example";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    // The engine's shaders and glyph sheet from the library, the example's files from its folder.
    const std::vector<std::string> lines = example.lines();
    for (const std::string& line : lines)
        EXPECT_FALSE(isFailureLine(line)) << line;
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "Using the built-in copy of Data/Font/font.tga"));
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}
