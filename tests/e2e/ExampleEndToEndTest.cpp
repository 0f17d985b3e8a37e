// The examples as a user runs them: the built program started from an empty folder (or, to compare
// the engine's whole log line by line, from the repository root), driven with real X key presses and
// clicks (xdotool), looked at through the X server, and ended with status 0 by a real Escape.
#include "tests/e2e/DemoProcess.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <libgen.h>
#include <string>
#include <unistd.h>
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

// WCAG 2's relative luminance of an 0xRRGGBB pixel.
double luminance(unsigned long pixel)
{
    const auto channel = [](unsigned long value) {
        const double c = double(value & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(pixel >> 16) + 0.7152 * channel(pixel >> 8) + 0.0722 * channel(pixel);
}

// The contrast ratio of a line of text with what lies under it, from a box of its pixels: the ground
// is the median pixel (text covers the lesser part of the box), the text the pixel farthest from it.
double textContrast(const std::vector<unsigned long>& box)
{
    if (box.empty())
        return 0.0;
    std::vector<double> levels;
    for (unsigned long pixel : box)
        levels.push_back(luminance(pixel));
    std::vector<double> sorted(levels);
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double ground = sorted[sorted.size() / 2];
    double text = ground;
    for (double level : levels)
        text = std::fabs(level - ground) > std::fabs(text - ground) ? level : text;
    return (std::max(text, ground) + 0.05) / (std::min(text, ground) + 0.05);
}

bool isFailureLine(const std::string& line)
{
    for (const char* start : {"Cannot", "Could not", "Failed", "Unable", "Looked for"})
        if (line.compare(0, std::strlen(start), start) == 0)
            return true;
    return false;
}

// Run from the repository root: the engine's whole log, up to the video card lines and (after
// those three) the shaders and the glyph sheet, as the working directory holds them, then `later`.
void expectCleanStart(const std::vector<std::string>& lines, const std::vector<std::string>& later = {})
{
    std::vector<std::string> before = testing_support::startUpLines();
    before.push_back("");
    ASSERT_GE(lines.size(), before.size() + 3);
    EXPECT_EQ(before, std::vector<std::string>(lines.begin(), lines.begin() + long(before.size())));
    std::vector<std::string> after = testing_support::builtInShaderLines();
    after.push_back("Loading Font: Data/Font/font.tga");
    after.insert(after.end(), later.begin(), later.end());
    EXPECT_EQ(after, std::vector<std::string>(lines.begin() + long(before.size()) + 3, lines.end()));
}

void run(const std::string& command)
{
    ASSERT_EQ(0, std::system(command.c_str())) << command;
}

// The folder a program was built in, as the engine's lookup names it.
std::string folderOf(const char* binary)
{
    char resolved[PATH_MAX];
    if (realpath(binary, resolved) == nullptr)
        return "";
    return std::string(dirname(resolved)) + "/";
}

class ExampleEndToEnd : public e2e::DisplayTest {
protected:
    // The window's pixels in a rectangle, 0xRRGGBB each, row by row.
    std::vector<unsigned long> grab(Window window, int x, int y, int width, int height)
    {
        XSync(display, False);
        XImage* image = XGetImage(display, window, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
        std::vector<unsigned long> pixels;
        if (image == nullptr)
            return pixels;
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                pixels.push_back(XGetPixel(image, column, row) & 0xFFFFFF);
        XDestroyImage(image);
        return pixels;
    }
    // Polls the rectangle until it differs from `from`; the new pixels, or `from` after the time limit.
    std::vector<unsigned long> waitForChange(Window window, int x, int y, int width, int height,
                                             const std::vector<unsigned long>& from, int seconds = 20)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            const std::vector<unsigned long> now = grab(window, x, y, width, height);
            if (!now.empty() && now != from)
                return now;
            usleep(50000);
        }
        return from;
    }
    // Resizes the window as a user's drag does and waits, up to 10 s, until the X server has it so.
    bool resize(Window window, int width, int height)
    {
        // To the screen's corner first: sdl12-compat places its windows away from it, and X refuses to
        // read back (BadMatch) a part of a window that lies off the screen.
        run("xdotool windowmove " + std::to_string(window) + " 0 0");
        run("xdotool windowsize " + std::to_string(window) + " " + std::to_string(width) + " " +
            std::to_string(height));
        XWindowAttributes attributes{};
        for (int poll = 0; poll < 200; ++poll) {
            if (XGetWindowAttributes(display, window, &attributes) && attributes.width == width &&
                attributes.height == height)
                return true;
            usleep(50000);
        }
        return false;
    }
    void pressEscapeAndExpectStatusZero(e2e::DemoProcess& example, Window window)
    {
        run("xdotool windowfocus --sync " + std::to_string(window) + " key Escape");
        int status = 0;
        ASSERT_TRUE(example.waitForExit(30, &status)) << "Escape did not end the example";
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status));
    }
};

}  // namespace

TEST_F(ExampleEndToEnd, MovingSpriteRunsFromAnEmptyFolderMovesRightAndEndsOnEscape)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(MOVING_SPRITE_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Moving Sprite", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string focus = "xdotool windowfocus --sync " + std::to_string(window);
    ASSERT_EQ(0, std::system(focus.c_str()));

    // Waits, up to 20 s, for the flame's column to satisfy the condition; the last column read.
    const auto waitForFlame = [&](const std::function<bool(double)>& condition) {
        double column = flameColumn(display, window);
        for (int poll = 0; poll < 400 && !condition(column); ++poll) {
            usleep(50000);
            column = flameColumn(display, window);
        }
        return column;
    };
    const double before = waitForFlame([](double column) { return column > 0; });
    ASSERT_GT(before, 0) << "no flame drawn";
    // Held until the flame is 150 pixels further right (240 pixels per second), however slowly the
    // machine runs frames.
    ASSERT_EQ(0, std::system("xdotool keydown Right"));
    const double after = waitForFlame([&](double column) { return column > before + 150; });
    ASSERT_EQ(0, std::system("xdotool keyup Right key space"));
    EXPECT_GT(after, before + 150) << before << " -> " << after;

    ASSERT_EQ(0, std::system((focus + " key Escape").c_str()));
    int status = 0;
    ASSERT_TRUE(example.waitForExit(30, &status)) << "Escape did not end the example";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    // The engine's shaders and glyph sheet from the library, the example's files from its folder.
    const std::vector<std::string> lines = example.lines();
    for (const std::string& line : lines)
        EXPECT_FALSE(isFailureLine(line)) << line;
    // A few dozen of the engine's files from the library, in one line.
    const auto builtIn = [](const std::string& line) { return line.rfind("Using the built-in copy of ", 0) == 0; };
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(), builtIn));
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

TEST_F(ExampleEndToEnd, GuiBasicsCountsClicksShowsTheSwitchAndEndsOnEscape)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(GUI_BASICS_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - GUI basics", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string id = std::to_string(window);
    // The GUI window spans (240, 180) to (560, 420) of the 800 by 600 page: its body is drawn and
    // the page around it is black.
    const std::vector<unsigned long> body = waitForChange(window, 240 + 300, 180 + 150, 1, 1, {0});
    EXPECT_NE(0u, body[0]) << "the GUI window was not drawn";
    EXPECT_EQ(std::vector<unsigned long>{0}, grab(window, 200, 150, 1, 1));

    // "Clicks: N" right of the button (112 by 36 at (24, 48) in the window): every click redraws it.
    const int countX = 240 + 152, countY = 180 + 58;
    const std::vector<unsigned long> zero = grab(window, countX, countY, 144, 16);
    run("xdotool mousemove --window " + id + " " + std::to_string(240 + 80) + " " + std::to_string(180 + 66) +
        " click 1");
    const std::vector<unsigned long> one = waitForChange(window, countX, countY, 144, 16, zero);
    EXPECT_NE(zero, one) << "the first click was not counted";
    run("xdotool click 1");
    const std::vector<unsigned long> two = waitForChange(window, countX, countY, 144, 16, one);
    EXPECT_NE(one, two) << "the second click was not counted";
    EXPECT_NE(zero, two);

    // The switch (64 by 32 at (24, 104)) flips its state text, and back.
    const int stateX = 240 + 152, stateY = 180 + 112;
    const std::vector<unsigned long> off = grab(window, stateX, stateY, 144, 16);
    run("xdotool mousemove --window " + id + " " + std::to_string(240 + 56) + " " + std::to_string(180 + 120) +
        " click 1");
    const std::vector<unsigned long> on = waitForChange(window, stateX, stateY, 144, 16, off);
    EXPECT_NE(off, on) << "the switch did not flip";
    run("xdotool click 1");
    EXPECT_EQ(off, waitForChange(window, stateX, stateY, 144, 16, on)) << "the switch did not flip back";

    pressEscapeAndExpectStatusZero(example, window);
    // Its images were found in the copy of Data/ beside it, and nothing failed.
    const std::string data = folderOf(GUI_BASICS_BINARY) + "Data/";
    std::vector<std::string> own = {"Loading Texture: " + data + "MousePointer.png",
                                    "Loading Texture: " + data + "Gui/moveCursor.png",
                                    "Loading Texture: " + data + "Gui/window.png"};
    for (int frame = 1; frame <= 6; ++frame)
        own.push_back("Loading Texture: " + data + "Gui/button" + std::to_string(frame) + ".png");
    for (const char* state : {"Off", "On"})
        for (int frame = 1; frame <= 4; ++frame)
            own.push_back("Loading Texture: " + data + "Gui/toggle" + state + std::to_string(frame) + ".png");
    const std::vector<std::string> lines = example.lines();
    for (const std::string& line : lines)
        EXPECT_FALSE(isFailureLine(line)) << line;
    ASSERT_GE(lines.size(), own.size());
    EXPECT_EQ(own, std::vector<std::string>(lines.end() - long(own.size()), lines.end()));
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

TEST_F(ExampleEndToEnd, ShaderGalleryDrawsEachBuiltInShaderDifferentlyAndEndsOnEscape)
{
    e2e::DemoProcess example(SHADER_GALLERY_BINARY, SOURCE_ROOT);
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Shader gallery", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string id = std::to_string(window);
    // The sky at the top right corner once the scene is drawn.
    const unsigned long sky = waitForChange(window, 1000, 20, 1, 1, {0})[0];
    EXPECT_NEAR(140, int(sky >> 16), 3);
    EXPECT_NEAR(179, int((sky >> 8) & 0xFF), 3);
    EXPECT_NEAR(230, int(sky & 0xFF), 3);

    // Each number key changes the name at the top left, and in the same frame the shader of the
    // scene below it: no two of the ten scenes may be the same. (A shader that failed to build
    // would draw with the fixed-function pipeline; its failure lines break the log check below.)
    const int nameX = 20, nameY = 30, nameWidth = 480, nameHeight = 20;
    const int sceneX = 0, sceneY = 100, sceneWidth = 1024, sceneHeight = 600;
    std::vector<unsigned long> name = grab(window, nameX, nameY, nameWidth, nameHeight);
    std::vector<std::vector<unsigned long>> scenes;
    for (int key = 0; key <= 9; ++key) {
        run("xdotool windowfocus --sync " + id + " key " + std::to_string(key));
        const std::vector<unsigned long> shown = waitForChange(window, nameX, nameY, nameWidth, nameHeight, name);
        ASSERT_NE(name, shown) << "key " << key << " did not change the shader's name";
        name = shown;
        // X may show the top of a frame a while before its bottom (on a busy machine, for longer than a
        // frame): the scene once two looks a quarter of a second apart agree.
        std::vector<unsigned long> scene = grab(window, sceneX, sceneY, sceneWidth, sceneHeight), again;
        for (int look = 0; look < 40; ++look, scene = again) {
            usleep(250000);
            if ((again = grab(window, sceneX, sceneY, sceneWidth, sceneHeight)) == scene)
                break;
        }
        scenes.push_back(scene);
        // Colourful: lit scenes have more than a handful of colours.
        std::vector<unsigned long> colours(scenes.back());
        std::sort(colours.begin(), colours.end());
        EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 3) << "shader " << key;
        // The name and the help line read over every scene (WCAG AA: 4.5 to 1), on their panels.
        EXPECT_GE(textContrast(grab(window, nameX, nameY, 60, 12)), 4.5) << "shader " << key << "'s name";
        EXPECT_GE(textContrast(grab(window, 20, 740, 500, 12)), 4.5) << "the help line over shader " << key;
        // The textured shaders show the light stone tiles, not a murky scene: the ground in front (the
        // lowest 200 rows) is mostly lighter than a luminance of 0.2. The height field shows its water
        // (blue) on the ground and its grass (green) on the spheres.
        const std::vector<unsigned long>& lastScene = scenes.back();
        if (key == 0 || key == 8 || key == 9) {
            std::vector<double> levels;
            for (std::size_t i = std::size_t(sceneWidth) * (sceneHeight - 200); i < lastScene.size(); ++i)
                levels.push_back(luminance(lastScene[i]));
            std::nth_element(levels.begin(), levels.begin() + long(levels.size() / 2), levels.end());
            EXPECT_GT(levels[levels.size() / 2], 0.2) << "shader " << key << " draws a dark ground";
        } else if (key == 2) {
            long water = 0, grass = 0;
            for (unsigned long pixel : lastScene) {
                const long r = long(pixel >> 16), g = long((pixel >> 8) & 0xFF), b = long(pixel & 0xFF);
                water += b > r + 60 && b > g + 30 && b < 200;
                grass += g > r + 30 && g > b + 30;
            }
            EXPECT_GT(water, long(lastScene.size() / 10)) << "no water in the height field";
            EXPECT_GT(grass, long(lastScene.size() / 100)) << "no grass in the height field";
        }
    }
    for (std::size_t a = 0; a < scenes.size(); ++a)
        for (std::size_t b = a + 1; b < scenes.size(); ++b)
            EXPECT_NE(scenes[a], scenes[b]) << "shaders " << a << " and " << b << " drew the same scene";

    // F12 saves the next frame in the working directory: the scene as the window shows it, upright.
    const std::string shot = std::string(SOURCE_ROOT) + "/shader_gallery.png";
    std::remove(shot.c_str());
    run("xdotool windowfocus --sync " + id + " key F12");
    int w = 0, h = 0;
    std::vector<unsigned char> saved;
    for (int tries = 0; tries < 200 && access(shot.c_str(), F_OK) != 0; ++tries)
        usleep(100000);
    for (int tries = 0; tries < 50 && saved.empty(); ++tries) {
        usleep(200000);  // then read it whole: a file being written does not decode
        saved = testing_support::readImageRgb(shot, &w, &h);
    }
    std::remove(shot.c_str());
    ASSERT_EQ(1024, w) << "F12 wrote no screenshot";
    ASSERT_EQ(768, h);
    const auto pixel = [&saved](int x, int y) {  // 0xRRGGBB, as grab() gives it
        const unsigned char* p = &saved[3 * std::size_t(y * 1024 + x)];
        return static_cast<unsigned long>(p[0]) << 16 | static_cast<unsigned long>(p[1]) << 8 | p[2];
    };
    std::vector<unsigned long> savedScene;
    for (int y = sceneY; y < sceneY + sceneHeight; ++y)
        for (int x = sceneX; x < sceneX + sceneWidth; ++x)
            savedScene.push_back(pixel(x, y));
    EXPECT_TRUE(savedScene == scenes.back()) << "the screenshot is not the frame shown";
    EXPECT_EQ(sky, pixel(1000, 20));

    // Resized, the help line keeps to the bottom edge and the sky fills the new top right corner, once
    // the engine has followed the new size (polled, up to 20 s: a busy machine is slow to).
    ASSERT_TRUE(resize(window, 800, 600));
    double helpContrast = 0.0;
    unsigned long corner = 0;
    for (int poll = 0; poll < 200 && (helpContrast < 4.5 || std::abs(int(corner >> 16) - 140) > 3); ++poll) {
        usleep(100000);
        helpContrast = textContrast(grab(window, 20, 572, 500, 12));
        corner = grab(window, 780, 20, 1, 1)[0];
    }
    EXPECT_GE(helpContrast, 4.5) << "no help line at the new bottom";
    EXPECT_NEAR(140, int(corner >> 16), 3) << "no sky at the new top right";

    pressEscapeAndExpectStatusZero(example, window);
    expectCleanStart(example.lines(),
                     {"Loading Texture: Data/Gallery/tiles.png", "Saving Screenshot: shader_gallery.png"});
}

// The TrueType example from an empty folder: its fonts load (no failure line), its lines are drawn,
// the retained score changes by itself once a second, and Escape ends it.
TEST_F(ExampleEndToEnd, TextExampleDrawsItsLinesUpdatesTheScoreAndEndsOnEscape)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(TEXT_EXAMPLE_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Text", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::vector<unsigned long> empty(std::size_t(200) * 40, 0x141429);
    const std::vector<unsigned long> score = waitForChange(window, 20, 680, 200, 40, empty);
    ASSERT_NE(empty, score) << "no score drawn";
    EXPECT_NE(score, waitForChange(window, 20, 680, 200, 40, score, 5)) << "the score never changed";
    pressEscapeAndExpectStatusZero(example, window);
    for (const std::string& line : example.lines())
        EXPECT_FALSE(isFailureLine(line)) << line;
}

// The small game from an empty folder, on the game loop: every click on its button counts, the
// arrow keys walk the flame, F12 saves the finished frame and Escape ends it.
TEST_F(ExampleEndToEnd, SmallGameCountsEveryClickWalksSavesAScreenshotAndEndsOnEscape)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(SMALL_GAME_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Small game", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string id = std::to_string(window);
    const std::string focus = "xdotool windowfocus --sync " + id;
    ASSERT_EQ(0, std::system(focus.c_str()));
    const double before = flameColumn(display, window);

    // "Button clicks: N" right of the 112 by 36 button at (20, 530): each click redraws it.
    std::vector<unsigned long> count = grab(window, 150, 536, 200, 26);
    run("xdotool mousemove --window " + id + " 60 548");
    for (int click = 1; click <= 3; ++click) {
        run("xdotool click 1");
        const std::vector<unsigned long> next = waitForChange(window, 150, 536, 200, 26, count);
        EXPECT_NE(count, next) << "click " << click << " was not counted";
        count = next;
    }
    run(focus + " keydown Right sleep 0.5 keyup Right key F12");
    const std::string shot = folder + "/small_game.png";
    for (int poll = 0; poll < 100 && access(shot.c_str(), F_OK) != 0; ++poll)
        usleep(50000);
    EXPECT_EQ(0, access(shot.c_str(), F_OK)) << "F12 saved no screenshot";
    EXPECT_GT(flameColumn(display, window), before + 20) << "Right did not walk the flame";
    // The button is labelled legibly, and the flame stops at the right edge (128 pixels wide, at 672
    // at most) instead of walking off the window.
    EXPECT_GE(textContrast(grab(window, 40, 540, 72, 16)), 4.5) << "the button's label does not read";
    run(focus + " keydown Right sleep 3 keyup Right");
    // The flame's bright pixels between the help line and the button row, where nothing else is bright.
    const std::vector<unsigned long> middle = grab(window, 0, 60, 800, 440);
    int leftmost = 800, rightmost = -1;
    for (std::size_t i = 0; i < middle.size(); ++i)
        if ((middle[i] >> 16) > 200) {
            leftmost = std::min(leftmost, int(i % 800));
            rightmost = std::max(rightmost, int(i % 800));
        }
    EXPECT_GE(leftmost, 672 - 8) << "the flame is lost or short of the edge";
    EXPECT_GE(rightmost, 672 + 64) << "the flame is lost or short of the edge";
    // Resized taller, the button row keeps to the bottom edge: the button is at (20, 630) and counts.
    ASSERT_TRUE(resize(window, 900, 700));
    double label = 0.0;
    for (int poll = 0; poll < 200 && label < 4.5; ++poll) {  // once the engine has followed the size
        usleep(100000);
        label = textContrast(grab(window, 40, 640, 72, 16));
    }
    EXPECT_GE(label, 4.5) << "no labelled button at the new bottom";
    count = grab(window, 150, 636, 200, 26);
    run("xdotool mousemove --window " + id + " 60 648 click 1");
    EXPECT_NE(count, waitForChange(window, 150, 636, 200, 26, count)) << "the moved button did not count";
    pressEscapeAndExpectStatusZero(example, window);
    for (const std::string& line : example.lines())
        EXPECT_FALSE(isFailureLine(line)) << line;
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

// The tile walker from an empty folder: its map, tileset and atlas load, holding Right scrolls the
// map under the walker (the camera follows), and Escape ends it.
TEST_F(ExampleEndToEnd, TileWalkerScrollsTheMapAsTheWalkerWalksAndEndsOnEscape)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(TILE_WALKER_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Tile walker", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string focus = "xdotool windowfocus --sync " + std::to_string(window);
    ASSERT_EQ(0, std::system(focus.c_str()));
    // A strip of the map away from the walker, in the middle of the window, once drawn.
    const std::vector<unsigned long> before =
        waitForChange(window, 0, 100, 300, 8, std::vector<unsigned long>(300 * 8, 0));
    ASSERT_EQ(0, std::system((focus + " keydown Right").c_str()));
    const std::vector<unsigned long> after = waitForChange(window, 0, 100, 300, 8, before);
    ASSERT_EQ(0, std::system("xdotool keyup Right"));
    EXPECT_NE(before, after) << "the map did not scroll";
    pressEscapeAndExpectStatusZero(example, window);
    for (const std::string& line : example.lines())
        EXPECT_FALSE(isFailureLine(line)) << line;
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

// The 320 by 180 game from an empty folder, in its 960 by 540 window: three window pixels to a game
// pixel. A click puts the marker on the game pixel under the pointer, drawn as that pixel's 3 by 3
// square; after the window is resized to 1100 by 500 the picture is twice the game's size with black
// bars, and the same marker is a 2 by 2 square at (230 + 2x, 70 + 2y). F12 saves what the window shows.
TEST_F(ExampleEndToEnd, PixelArtKeepsGamePixelsSquareAndThePointerInGamePixelsAfterAResize)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(PIXEL_ART_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Pixel art", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string id = std::to_string(window);
    const unsigned long red = 0xFF3333;
    // Polls, up to 20 s, until the rectangle is all red; what it last held.
    const auto waitForRed = [&](int x, int y, int width, int height) {
        std::vector<unsigned long> pixels;
        for (int poll = 0; poll < 400; ++poll) {
            pixels = grab(window, x, y, width, height);
            if (pixels == std::vector<unsigned long>(std::size_t(width) * height, red))
                break;
            usleep(50000);
        }
        return pixels;
    };
    // Window pixel (301, 202) is game pixel (100, 67): its square spans (300..302, 201..203).
    run("xdotool windowfocus --sync " + id + " mousemove --window " + id + " 301 202 click 1");
    EXPECT_EQ(std::vector<unsigned long>(9, red), waitForRed(300, 201, 3, 3))
        << "the marker is not on game pixel (100, 67)";
    // The cross's arms end two game pixels out: (99, 67) is red, (103, 67) is not.
    EXPECT_EQ(red, grab(window, 297, 202, 1, 1)[0]);
    EXPECT_NE(red, grab(window, 309, 202, 1, 1)[0]);

    const std::string shot = folder + "/pixel_art.png";
    run("xdotool key F12");
    int w = 0, h = 0;
    std::vector<unsigned char> saved;
    for (int tries = 0; tries < 100 && saved.empty(); ++tries) {
        usleep(100000);
        if (access(shot.c_str(), F_OK) == 0)
            saved = testing_support::readImageRgb(shot, &w, &h);
    }
    ASSERT_EQ(960, w) << "F12 wrote no screenshot";
    ASSERT_EQ(540, h);
    const unsigned char* p = &saved[3 * std::size_t(202 * 960 + 301)];
    EXPECT_EQ(red, static_cast<unsigned long>(p[0]) << 16 | static_cast<unsigned long>(p[1]) << 8 | p[2]);

    // Resized: 2x, centred. The marker stays on game pixel (100, 67); the bars are black.
    ASSERT_TRUE(resize(window, 1100, 500));
    EXPECT_EQ(std::vector<unsigned long>(4, red), waitForRed(430, 204, 2, 2))
        << "the marker moved off its game pixel";
    EXPECT_EQ(std::vector<unsigned long>(4, 0), grab(window, 228, 68, 2, 2)) << "no bar at the top left";
    EXPECT_EQ(std::vector<unsigned long>(4, 0), grab(window, 870, 430, 2, 2)) << "no bar at the bottom right";
    EXPECT_NE(0u, grab(window, 230, 70, 1, 1)[0]);
    EXPECT_NE(0u, grab(window, 869, 429, 1, 1)[0]);
    // A click at window pixel (431, 205) is game pixel ((431 - 230) / 2, (205 - 70) / 2) = (100, 67):
    // the marker does not move; one at (331, 125) is (50, 27).
    run("xdotool mousemove --window " + id + " 331 125 click 1");
    EXPECT_EQ(std::vector<unsigned long>(4, red), waitForRed(330, 124, 2, 2));
    pressEscapeAndExpectStatusZero(example, window);
    for (const std::string& line : example.lines())
        EXPECT_FALSE(isFailureLine(line)) << line;
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

// The audio example from an empty folder (its sounds copied beside it; the tests' dummy audio driver
// mixes them): the listener's square walks left with the key, the music's bar shortens by two
// tenths with 3 and two presses of -, and Escape ends it with no failure line.
TEST_F(ExampleEndToEnd, AudioExampleWalksTheListenerSetsACategoryVolumeAndEndsOnEscape)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(AUDIO_EXAMPLE_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Audio", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string focus = "xdotool windowfocus --sync " + std::to_string(window);
    ASSERT_EQ(0, std::system(focus.c_str()));
    // Pixels of the listener's yellow (0.9, 1, 0.2) in a row, and their first column.
    const auto yellow = [](const std::vector<unsigned long>& row, size_t* first) {
        int count = 0;
        for (size_t i = row.size(); i-- > 0;)
            if (((row[i] >> 16) & 0xFF) > 0xD0 && ((row[i] >> 8) & 0xFF) > 0xF0 && (row[i] & 0xFF) < 0x60) {
                ++count;
                *first = i;
            }
        return count;
    };
    const std::vector<unsigned long> start =
        waitForChange(window, 200, 300, 400, 1, std::vector<unsigned long>(400, 0));
    size_t before = 0, after = 0;
    ASSERT_EQ(12, yellow(start, &before)) << "the listener's square, 12 pixels wide";
    EXPECT_EQ(194u, before);  // at x 394 of the window
    ASSERT_EQ(0, std::system((focus + " keydown Left").c_str()));
    const std::vector<unsigned long> walked = waitForChange(window, 200, 300, 400, 1, start);
    ASSERT_EQ(0, std::system("xdotool keyup Left"));
    yellow(walked, &after);
    EXPECT_LT(after, before);

    const std::vector<unsigned long> full = grab(window, 150, 557, 220, 1);
    ASSERT_EQ(0, std::system((focus + " key 3 key minus key minus").c_str()));
    std::vector<unsigned long> shorter = waitForChange(window, 150, 557, 220, 1, full);
    for (int poll = 0; poll < 100 && shorter[160] != 0; ++poll) {
        usleep(50000);
        shorter = grab(window, 150, 557, 220, 1);
    }
    EXPECT_NE(0u, full[199]) << "the music's bar, 200 pixels at volume 1";
    EXPECT_EQ(0u, full[200]);
    EXPECT_NE(0u, shorter[159]) << "160 pixels at 0.8";
    EXPECT_EQ(0u, shorter[160]);
    pressEscapeAndExpectStatusZero(example, window);
    for (const std::string& line : example.lines())
        EXPECT_FALSE(isFailureLine(line)) << line;
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

// The captions of the flames and the tile walker read over whatever passes under them (WCAG AA, 4.5
// to 1), and the flames fill a resized window.
TEST_F(ExampleEndToEnd, FlamesAndTileWalkerCaptionsReadOverTheirScenes)
{
    const std::string folder = testing_support::makeTempDir();
    {
        e2e::DemoProcess example(FLAMES_BINARY, folder.c_str());
        ASSERT_GT(example.pid, 0);
        const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Flames", 30);
        ASSERT_NE(0u, window) << example.output;
        const std::string id = std::to_string(window);
        std::vector<unsigned long> caption =
            waitForChange(window, 20, 22, 200, 12, std::vector<unsigned long>(2400, 0));
        for (int look = 0; look < 5; ++look) {  // the flames rise under it between looks
            EXPECT_GE(textContrast(caption), 4.5) << "look " << look;
            caption = waitForChange(window, 20, 22, 200, 12, caption, 2);
        }
        // Resized wider, the big flames along the bottom reach the new right-hand part.
        ASSERT_TRUE(resize(window, 1200, 768));
        const std::vector<unsigned long> black(6000, 0);
        EXPECT_NE(black, waitForChange(window, 1100, 700, 100, 60, black)) << "nothing drawn in the new part";
        EXPECT_GE(textContrast(grab(window, 20, 22, 200, 12)), 4.5);
        pressEscapeAndExpectStatusZero(example, window);
        for (const std::string& line : example.lines())
            EXPECT_FALSE(isFailureLine(line)) << line;
    }
    e2e::DemoProcess example(TILE_WALKER_BINARY, folder.c_str());
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Tile walker", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::vector<unsigned long> caption =
        waitForChange(window, 10, 577, 300, 12, std::vector<unsigned long>(3600, 0));
    EXPECT_GE(textContrast(caption), 4.5) << "the tile walker's caption does not read over the map";
    pressEscapeAndExpectStatusZero(example, window);
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}

// The gamepad example from an empty folder: 1 then J rebinds jump (real X key presses), F5 saves
// the actions in $XDG_CONFIG_HOME, and Escape first gives up a rebinding, then ends it.
TEST_F(ExampleEndToEnd, GamepadRebindsAnActionSavesItAndEscapeGivesUpARebindingFirst)
{
    const std::string folder = testing_support::makeTempDir();
    e2e::DemoProcess example(GAMEPAD_EXAMPLE_BINARY, folder.c_str(), {{"XDG_CONFIG_HOME", folder + "/config"}});
    ASSERT_GT(example.pid, 0);
    const Window window = e2e::waitForWindow(display, example, "Quarl Engine - Gamepad", 30);
    ASSERT_NE(0u, window) << example.output;
    const std::string focus = "xdotool windowfocus --sync " + std::to_string(window);
    ASSERT_EQ(0, std::system(focus.c_str()));
    // The jump line of the menu at (20, 460) and the status line at (20, 540), once drawn.
    const std::vector<unsigned long> jump =
        waitForChange(window, 20, 460, 400, 18, std::vector<unsigned long>(400 * 18, 0));
    const std::vector<unsigned long> status = grab(window, 20, 540, 400, 18);
    run(focus + " key 1");
    const std::vector<unsigned long> asking = waitForChange(window, 20, 540, 400, 18, status);
    EXPECT_NE(status, asking) << "1 did not start a rebinding";
    run(focus + " key j");
    EXPECT_NE(jump, waitForChange(window, 20, 460, 400, 18, jump)) << "J did not become jump's binding";
    run(focus + " key F5");
    const std::string saved = folder + "/config/quarl-gamepad-example/input-actions.txt";
    for (int poll = 0; poll < 100 && access(saved.c_str(), F_OK) != 0; ++poll)
        usleep(50000);
    std::ifstream in(saved);
    std::string line;
    bool found = false;
    while (std::getline(in, line))
        found = found || line == "jump = pad:a | key:j";
    EXPECT_TRUE(found) << "F5 saved no jump = pad:a | key:j in " << saved;
    run(focus + " key 2");
    EXPECT_NE(status, waitForChange(window, 20, 540, 400, 18, status));
    run(focus + " key Escape");
    EXPECT_EQ(status, waitForChange(window, 20, 540, 400, 18, asking)) << "Escape did not give up the rebinding";
    pressEscapeAndExpectStatusZero(example, window);
    for (const std::string& each : example.lines())
        EXPECT_FALSE(isFailureLine(each)) << each;
    EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
}
