// Screenshots against the real window: the saved PNG, read back through SDL_image, must hold
// exactly what glReadPixels finds in the buffer it was taken from.
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

const int W = 1024;
const int H = 768;

// A whole buffer as top-down RGB rows.
std::vector<unsigned char> readBuffer(GLenum buffer)
{
    std::vector<unsigned char> bottomUp(std::size_t(W) * H * 3);
    glReadBuffer(buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    glReadBuffer(GL_BACK);
    std::vector<unsigned char> topDown(bottomUp.size());
    for (int y = 0; y < H; ++y)
        std::memcpy(&topDown[std::size_t(y) * W * 3], &bottomUp[std::size_t(H - 1 - y) * W * 3], W * 3);
    return topDown;
}

// A saved PNG through SDL_image as top-down RGB rows; empty when it does not load or is not W by H.
std::vector<unsigned char> readPng(const std::string& path)
{
    std::vector<unsigned char> rgb;
    SDL_Surface* image = IMG_Load(path.c_str());
    if (image == nullptr)
        return rgb;
    if (image->w == W && image->h == H && image->format->BytesPerPixel == 3) {
        for (int y = 0; y < H; ++y) {
            const Uint8* row = static_cast<const Uint8*>(image->pixels) + y * image->pitch;
            for (int x = 0; x < W; ++x) {
                Uint32 value = 0;
                std::memcpy(&value, row + x * 3, 3);
                Uint8 r, g, b;
                SDL_GetRGB(value, image->format, &r, &g, &b);
                rgb.insert(rgb.end(), {r, g, b});
            }
        }
    }
    SDL_FreeSurface(image);
    return rgb;
}

void fillRect(float x, float y, float w, float h, float r, float g, float b)
{
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x + w, y);
    glVertex2f(x + w, y + h);
    glVertex2f(x, y + h);
    glEnd();
}

// No symmetry, so that a flipped or mirrored file cannot pass; a grey ramp checks every channel.
void drawPattern(float shift)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fillRect(0 + shift, 0, 100, 50, 1, 0, 0);
    fillRect(W - 30, H - 200, 30, 200, 0, 0, 1);
    for (int i = 0; i < 64; ++i)
        fillRect(200 + i * 4 + shift, 300, 4, 40, i / 63.0f, 1 - i / 63.0f, 0.5f);
}

class Screenshot : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        folder = makeTempDir();
        g_pGraphicsCore->set2DState();
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
    }
    void TearDown() override
    {
        glColor4f(1, 1, 1, 1);
        glEnable(GL_TEXTURE_2D);
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    std::string folder;
};

} // namespace

TEST_F(Screenshot, TheBackBufferIsSavedUprightAsRgb)
{
    drawPattern(0);
    const std::string path = folder + "/back.png";
    CStdoutCapture capture;
    capture.start();
    ASSERT_TRUE(g_pGraphicsCore->saveScreenshot(path.c_str()));
    EXPECT_EQ(std::vector<std::string>{"Saving Screenshot: " + path}, capture.lines());

    const std::vector<unsigned char> saved = readPng(path);
    ASSERT_EQ(std::size_t(W) * H * 3, saved.size()) << "not a 1024 by 768 RGB PNG";
    EXPECT_TRUE(saved == readBuffer(GL_BACK));
    // Upright: the red block is at the top-left of the file.
    EXPECT_EQ(255, saved[0]);
    EXPECT_EQ(0, saved[(std::size_t(H - 1) * W) * 3]);
}

TEST_F(Screenshot, TheFrontBufferIsTheFrameLastShown)
{
    drawPattern(0);
    SDL_GL_SwapBuffers();
    drawPattern(37);
    const std::string front = folder + "/front.png";
    const std::string back = folder + "/back.png";
    CStdoutCapture quiet;
    quiet.start();
    ASSERT_TRUE(g_pGraphicsCore->saveScreenshot(front.c_str(), true));
    ASSERT_TRUE(g_pGraphicsCore->saveScreenshot(back.c_str(), false));
    quiet.lines();

    const std::vector<unsigned char> shown = readPng(front);
    EXPECT_TRUE(shown == readBuffer(GL_FRONT));
    EXPECT_FALSE(shown == readPng(back));
    GLint readBufferNow = 0;
    glGetIntegerv(GL_READ_BUFFER, &readBufferNow);
    EXPECT_EQ(GL_BACK, readBufferNow);
}

TEST_F(Screenshot, ARenderTargetLeftBoundIsNeitherSavedNorUnbound)
{
    ASSERT_TRUE(GLEW_EXT_framebuffer_object);
    drawPattern(0);
    const std::vector<unsigned char> window = readBuffer(GL_BACK);

    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);

    const std::string path = folder + "/target.png";
    CStdoutCapture quiet;
    quiet.start();
    const bool saved = g_pGraphicsCore->saveScreenshot(path.c_str());
    quiet.lines();
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, 0);

    ASSERT_TRUE(saved);
    EXPECT_EQ(GLint(framebuffer), bound);
    EXPECT_TRUE(readPng(path) == window);
}

TEST_F(Screenshot, AnUnwritablePathAnswersFalseWithTheLinesAndLeavesNoFile)
{
    const std::string missing = folder + "/no/such/folder/shot.png";
    for (const std::string& path : {missing, folder, std::string()}) {
        CStdoutCapture capture;
        capture.start();
        EXPECT_FALSE(g_pGraphicsCore->saveScreenshot(path.c_str()));
        const std::vector<std::string> lines = capture.lines();
        ASSERT_EQ(2u, lines.size()) << path;
        EXPECT_EQ("Saving Screenshot: " + path, lines[0]);
        const std::string failure = "Failed to save the screenshot: " + path + ", Error: ";
        EXPECT_EQ(failure, lines[1].substr(0, failure.size()));
        EXPECT_GT(lines[1].size(), failure.size()) << "the library's reason is missing";
    }
    EXPECT_NE(0, access(missing.c_str(), F_OK));

    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(g_pGraphicsCore->saveScreenshot(nullptr));
    EXPECT_EQ("Saving Screenshot: ", capture.lines().at(0));
}
