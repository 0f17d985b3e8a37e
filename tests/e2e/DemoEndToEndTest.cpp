// The real sprite_demo binary under the X server in DISPLAY: its log, a real Escape key press
// (an XTEST key event through xdotool) and the window's close request (WM_DELETE_WINDOW).
#include "tests/e2e/DemoProcess.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kCaption = "Quarl Engine - Sprite Animation Demo";

// The start-up lines and the empty line before the driver's.
std::vector<std::string> expectedStartUp()
{
    std::vector<std::string> lines = testing_support::startUpLines();
    lines.push_back("");
    return lines;
}

// What follows the three driver lines: the built-in shaders, the pointer and the flame frames.
std::vector<std::string> expectedAfterDriverLines()
{
    std::vector<std::string> lines = testing_support::builtInShaderLines();
    lines.insert(lines.end(), {
                                  "Loading Font: Data/Font/font.tga",
                                  "Loading Texture: Data/MousePointer.png",
                              });
    for (int frame = 1; frame <= 8; ++frame)
        lines.push_back("Loading Texture: Data/Flame/flame" + std::to_string(frame) + ".png");
    return lines;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

class DemoEndToEnd : public e2e::DisplayTest { };

}  // namespace

TEST_F(DemoEndToEnd, LogsItsStartUpAndEndsOnARealEscapeKeyPress)
{
    e2e::DemoProcess demo(SPRITE_DEMO_BINARY, SOURCE_ROOT);
    ASSERT_GT(demo.pid, 0);
    const Window window = e2e::waitForWindow(display, demo, kCaption, 30);
    ASSERT_NE(0u, window) << "no window named \"" << kCaption << "\"; output so far:\n" << demo.output;

    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(1024, attributes.width);
    EXPECT_EQ(768, attributes.height);

    const std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
    ASSERT_EQ(0, std::system(command.c_str()));

    int status = 0;
    ASSERT_TRUE(demo.waitForExit(30, &status)) << "Escape did not end the demo";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));

    const std::vector<std::string> lines = demo.lines();
    const std::vector<std::string> startUp = expectedStartUp();
    ASSERT_GE(lines.size(), startUp.size() + 3) << demo.output;
    for (size_t i = 0; i < startUp.size(); ++i)
        EXPECT_EQ(startUp[i], lines[i]) << "line " << i + 1;
    EXPECT_TRUE(startsWith(lines[14], "Detected Video Card Vendor: ")) << lines[14];
    EXPECT_TRUE(startsWith(lines[15], "Detected Renderer: ")) << lines[15];
    EXPECT_TRUE(startsWith(lines[16], "Detected OpenGL version: ")) << lines[16];
    EXPECT_GT(lines[16].size(), std::string("Detected OpenGL version: ").size());
    const std::vector<std::string> rest = expectedAfterDriverLines();
    const std::vector<std::string> got(lines.begin() + 17, lines.end());
    EXPECT_EQ(rest, got);
}

TEST_F(DemoEndToEnd, WithoutItsGlyphSheetItEndsWithAFailureStatus)
{
    // A working folder with the shaders but no Data/, and the library's built-in copies switched
    // off: the font sheet cannot be read, and the log says where it was looked for.
    const std::string folder = testing_support::makeTempDir();
    ASSERT_EQ(0, std::system(("cp -r " SOURCE_ROOT "/shaders " + folder).c_str()));
    e2e::DemoProcess demo(SPRITE_DEMO_BINARY, folder.c_str(), {{"QUARL_NO_BUILTIN_DATA", "1"}});
    ASSERT_GT(demo.pid, 0);
    int status = 0;
    ASSERT_TRUE(demo.waitForExit(30, &status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(0, WEXITSTATUS(status));
    const std::vector<std::string> lines = demo.lines();
    ASSERT_GE(lines.size(), 3u) << demo.output;
    EXPECT_EQ("Loading Font: Data/Font/font.tga", lines[lines.size() - 3]);
    EXPECT_EQ("Could not open texture file: Data/Font/font.tga", lines[lines.size() - 2]);
    // The working folder first, then the demo's own folder.
    const std::string binary = SPRITE_DEMO_BINARY;
    const std::string firstTwo = "Looked for Data/Font/font.tga in: " + std::string(folder) + "/, " +
                                 binary.substr(0, binary.rfind('/')) + "/, ";
    EXPECT_EQ(firstTwo, lines.back().substr(0, firstTwo.size()));
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

TEST_F(DemoEndToEnd, ClosingTheWindowEndsItWithStatusZero)
{
    e2e::DemoProcess demo(SPRITE_DEMO_BINARY, SOURCE_ROOT);
    ASSERT_GT(demo.pid, 0);
    const Window window = e2e::waitForWindow(display, demo, kCaption, 30);
    ASSERT_NE(0u, window) << demo.output;

    // What a window manager sends when the user clicks the close button.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    ASSERT_TRUE(XSendEvent(display, window, False, NoEventMask, &close));
    XFlush(display);

    int status = 0;
    ASSERT_TRUE(demo.waitForExit(30, &status)) << "closing the window did not end the demo";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}

// The engine's own screenshot, which run.sh's headless mode takes: Print Screen saves the frame to
// the file named by QUARL_SCREENSHOT. Its static text must match what the X server shows.
TEST_F(DemoEndToEnd, PrintScreenSavesTheFrameNamedByTheEnvironment)
{
    const std::string path = testing_support::makeTempDir() + "/frame.png";
    e2e::DemoProcess demo(SPRITE_DEMO_BINARY, SOURCE_ROOT, {{"QUARL_SCREENSHOT", path}});
    ASSERT_GT(demo.pid, 0);
    const Window window = e2e::waitForWindow(display, demo, kCaption, 30);
    ASSERT_NE(0u, window) << demo.output;

    const std::string id = std::to_string(window);
    ASSERT_EQ(0, std::system(("xdotool windowfocus --sync " + id + " key Print").c_str()));
    SDL_Surface* shot = nullptr;
    for (int tick = 0; tick < 100 && shot == nullptr; ++tick) {
        usleep(100000);
        demo.readAvailable();
        if (demo.output.find("Saving Screenshot: " + path + "\n") != std::string::npos)
            shot = IMG_Load(path.c_str());
    }
    ASSERT_NE(nullptr, shot) << "no screenshot; output:\n" << demo.output;
    XImage* shown = XGetImage(display, window, 0, 0, 1024, 768, AllPlanes, ZPixmap);
    ASSERT_EQ(0, std::system(("xdotool windowfocus --sync " + id + " key Escape").c_str()));
    int status = 0;
    EXPECT_TRUE(demo.waitForExit(30, &status));

    ASSERT_NE(nullptr, shown);
    EXPECT_EQ(1024, shot->w);
    EXPECT_EQ(768, shot->h);
    EXPECT_EQ(3, shot->format->BytesPerPixel);
    // The title line "Simple Sprite Demo!" at (360, 30) never changes between frames.
    int lit = 0;
    for (int y = 25; y < 50; ++y)
        for (int x = 350; x < 600; ++x) {
            Uint32 value = 0;
            std::memcpy(&value, static_cast<const Uint8*>(shot->pixels) + y * shot->pitch + x * 3, 3);
            Uint8 r, g, b;
            SDL_GetRGB(value, shot->format, &r, &g, &b);
            const unsigned long pixel = XGetPixel(shown, x, y);
            EXPECT_EQ((pixel >> 16) & 0xff, r) << x << "," << y;
            EXPECT_EQ((pixel >> 8) & 0xff, g) << x << "," << y;
            EXPECT_EQ(pixel & 0xff, b) << x << "," << y;
            lit += r > 128;
        }
    EXPECT_GT(lit, 100) << "the title text is missing from the screenshot";
    XDestroyImage(shown);
    SDL_FreeSurface(shot);
    const std::vector<std::string> lines = demo.lines();
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), "Saving Screenshot: " + path));
}
