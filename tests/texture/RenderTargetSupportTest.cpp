// Render targets and TrueType fonts made before the window is open: a process of its own, since
// every other test program opens its window first.
#include "engine/core/Engine.h"
#include "engine/text/Font.h"
#include "engine/texture/RenderTarget.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testing_support;

TEST(RenderTargetSupport, BeforeTheWindowThereIsNoTargetAndNoFontAndNoCrash)
{
    CStdoutCapture quiet;
    quiet.start();
    CEngine engine;
    quiet.lines();

    CStdoutCapture capture;
    capture.start();
    CRenderTarget early(64, 64);
    CFont font;
    EXPECT_FALSE(font.buildTrueTypeFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr, 16));
    const std::string noWindow = "no OpenGL window is open yet, call setVideoMode first";
    EXPECT_EQ((std::vector<std::string>{
                  "Failed to create the render target: 64 by 64 pixels, Error: " + noWindow,
                  "Failed to load the font: /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf, Error: " + noWindow}),
              capture.lines());
    EXPECT_FALSE(early.isCreated());
    EXPECT_EQ(0u, font.listBase);

    // Once the window is open, the same calls succeed.
    quiet.start();
    engine.setVideoMode(320, 240, 24, false, true);
    EXPECT_TRUE(early.create(64, 64));
    EXPECT_TRUE(font.buildTrueTypeFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr, 16));
    quiet.lines();
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}
