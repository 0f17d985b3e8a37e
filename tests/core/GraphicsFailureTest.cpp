// The window failures, which only arise before a window is open: this file never uses the shared
// window, and each test shuts SDL down again through the graphics core's destructor.
#include "engine/graphics/GraphicsCore.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Runs the body with SDL_VIDEODRIVER set, and restores the environment afterwards.
class VideoDriver {
public:
    explicit VideoDriver(const char* name)
    {
        const char* old = std::getenv("SDL_VIDEODRIVER");
        hadOld = old != nullptr;
        if (hadOld)
            oldValue = old;
        setenv("SDL_VIDEODRIVER", name, 1);
    }
    ~VideoDriver()
    {
        if (hadOld)
            setenv("SDL_VIDEODRIVER", oldValue.c_str(), 1);
        else
            unsetenv("SDL_VIDEODRIVER");
    }

private:
    bool hadOld;
    std::string oldValue;
};

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

TEST(GraphicsCoreFailure, VideoFlagsWithoutVideoReportTheLineAndThrowInsteadOfReadingOn)
{
    CGraphicsCore core;
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
    VideoDriver driver("no_such_driver");
    CGraphicsCore core;
    std::string thrown;
    try {
        core.setVideoMode(320, 240, 24, false, true);
    } catch (const std::string& message) {
        thrown = message;
    }
    EXPECT_TRUE(startsWith(thrown, "Error: SDL Could not be initialized: ")) << thrown;
    EXPECT_GT(thrown.size(), std::string("Error: SDL Could not be initialized: ").size());
}

TEST(GraphicsCoreFailure, DriverWithoutOpenGLThrowsTheVideoSurfaceText)
{
    VideoDriver driver("dummy");
    CGraphicsCore core;
    std::string thrown;
    try {
        core.setVideoMode(320, 240, 24, false, true);
    } catch (const std::string& message) {
        thrown = message;
    }
    EXPECT_TRUE(startsWith(thrown, "Error: SDL Could not create Video Surface.")) << thrown;
}

TEST(GraphicsCoreDefaults, RecordOnlyDefaultsAndOpenNoWindow)
{
    CGraphicsCore core;
    EXPECT_EQ(1024u, core.width);
    EXPECT_EQ(768u, core.height);
    EXPECT_EQ(16, core.bitsPerPixel);
    EXPECT_EQ("Quarl Engine", core.getCaption());
    EXPECT_FALSE(core.is3D());
    EXPECT_FALSE(core.hasCursor);
    EXPECT_EQ(0u, SDL_WasInit(SDL_INIT_VIDEO));
}

TEST(GraphicsCoreFailure, ATextModeDriverIsRefusedBeforeItCanTakeOverTheTerminal)
{
    for (const char* name : {"caca", "aalib"}) {
        VideoDriver driver(name);
        CGraphicsCore core;
        testing_support::CStdoutCapture output;
        output.start();
        std::string thrown;
        try {
            core.setVideoMode(320, 240, 24, false, true);
        } catch (const std::string& message) {
            thrown = message;
        }
        EXPECT_EQ("Error: the video driver \"" + std::string(name) +
                      "\" cannot give OpenGL; unset SDL_VIDEODRIVER to use the X display",
                  thrown);
        EXPECT_EQ(std::string::npos, output.text().find('\x1b'));
        EXPECT_EQ(0u, SDL_WasInit(SDL_INIT_VIDEO));
    }
}
