// The window failures, which only arise before a window is open: this file never uses the shared
// window, and each test shuts SDL down again through the graphics core's destructor.
#include "engine/graphics/GraphicsCore.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// What opening a window throws under the given SDL video driver; the environment is restored
// afterwards and the graphics core's destructor shuts SDL down again.
std::string thrownByVideoModeUnder(const char* driver)
{
    const char* old = std::getenv("SDL_VIDEODRIVER");
    const std::string oldValue = old ? old : "";
    setenv("SDL_VIDEODRIVER", driver, 1);
    std::string thrown;
    {
        CGraphicsCore core;
        try {
            core.setVideoMode(320, 240, 24, false, true);
        } catch (const std::string& message) {
            thrown = message;
        }
    }
    if (old != nullptr)
        setenv("SDL_VIDEODRIVER", oldValue.c_str(), 1);
    else
        unsetenv("SDL_VIDEODRIVER");
    return thrown;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

TEST(GraphicsCoreFailure, VideoFlagsWithoutVideoReportTheLineAndThrowInsteadOfReadingOn)
{
    CGraphicsCore core;
    ASSERT_EQ(0u, SDL_WasInit(SDL_INIT_VIDEO)) << "a graphics core starts no video until a window is asked for";
    testing_support::CStderrCapture errors;
    errors.start();
    std::string thrown;
    try {
        core.chooseVideoFlags(false);
    } catch (const std::string& message) {
        thrown = message;
    }
    const std::vector<std::string> lines = errors.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_TRUE(startsWith(lines[0], "Failed getting Video Info : ")) << lines[0];
    EXPECT_EQ(lines[0], thrown);
}

TEST(GraphicsCoreFailure, UnknownVideoDriverThrowsTheInitialisationText)
{
    const std::string thrown = thrownByVideoModeUnder("no_such_driver");
    EXPECT_TRUE(startsWith(thrown, "Error: SDL Could not be initialized: ")) << thrown;
    EXPECT_GT(thrown.size(), std::string("Error: SDL Could not be initialized: ").size());
}

TEST(GraphicsCoreFailure, DriverWithoutOpenGLThrowsTheVideoSurfaceText)
{
    const std::string thrown = thrownByVideoModeUnder("dummy");
    EXPECT_TRUE(startsWith(thrown, "Error: SDL Could not create Video Surface.")) << thrown;
}

// sdl12-compat counts a failed start as started: without the engine shutting video down again,
// the next try "starts" with no driver and fails on the missing video information instead.
TEST(GraphicsCoreFailure, AFailedStartLeavesNothingBehindForTheNextTry)
{
    const std::string prefix = "Error: SDL Could not be initialized: ";
    const std::string first = thrownByVideoModeUnder("no_such_driver");
    EXPECT_TRUE(startsWith(first, prefix)) << first;
    EXPECT_GT(first.size(), prefix.size()) << "the line gives no reason";
    const std::string second = thrownByVideoModeUnder("dummy");
    EXPECT_TRUE(startsWith(second, "Error: SDL Could not create Video Surface.")) << second;
}

TEST(GraphicsCoreFailure, ATextModeDriverIsRefusedBeforeItCanTakeOverTheTerminal)
{
    for (const char* name : {"caca", "aalib"}) {
        testing_support::CStdoutCapture output;
        output.start();
        const std::string thrown = thrownByVideoModeUnder(name);
        EXPECT_EQ("Error: the video driver \"" + std::string(name) +
                      "\" cannot give OpenGL; unset SDL_VIDEODRIVER to use the X display",
                  thrown);
        EXPECT_EQ(std::string::npos, output.text().find('\x1b'));
        EXPECT_EQ(0u, SDL_WasInit(SDL_INIT_VIDEO));
    }
}
