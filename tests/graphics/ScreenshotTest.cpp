// Screenshots against the real window: the saved PNG, read back through SDL_image, must hold
// exactly what glReadPixels finds in the buffer it was taken from.
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

using namespace testing_support;

namespace {

void fillRect(float x, float y, float w, float h, float r, float g, float b)
{
    glColor3f(r, g, b);
    glRectf(x, y, x + w, y + h);
}

// No symmetry, so that a flipped or mirrored file cannot pass; a ramp checks every channel.
void drawPattern(float shift)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    fillRect(shift, 0, 100, 50, 1, 0, 0);
    fillRect(994, 568, 30, 200, 0, 0, 1);
    for (int i = 0; i < 64; ++i)
        fillRect(200 + i * 4 + shift, 300, 4, 40, i / 63.0f, 1 - i / 63.0f, 0.5f);
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
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
    // Saves quietly; the file's pixels, empty when it is missing or not 1024 by 768.
    std::vector<unsigned char> save(const std::string& name, bool front)
    {
        CStdoutCapture quiet;
        quiet.start();
        EXPECT_TRUE(g_pGraphicsCore->saveScreenshot((folder + "/" + name).c_str(), front));
        quiet.lines();
        int w = 0, h = 0;
        std::vector<unsigned char> rgb = readImageRgb(folder + "/" + name, &w, &h);
        return w == 1024 && h == 768 ? rgb : std::vector<unsigned char>();
    }

    std::string folder;
};

}  // namespace

TEST_F(Screenshot, TheBackBufferIsSavedUprightAsRgbWithItsLine)
{
    drawPattern(0);
    CStdoutCapture capture;
    capture.start();
    ASSERT_TRUE(g_pGraphicsCore->saveScreenshot((folder + "/back.png").c_str()));
    EXPECT_EQ(std::vector<std::string>{"Saving Screenshot: " + folder + "/back.png"}, capture.lines());

    int w = 0, h = 0;
    const std::vector<unsigned char> saved = readImageRgb(folder + "/back.png", &w, &h);
    ASSERT_EQ(1024, w);
    ASSERT_EQ(768, h);
    EXPECT_TRUE(saved == readWindowRgb(GL_BACK));
    EXPECT_EQ(255, saved[0]) << "the red block belongs at the top-left of the file";
}

TEST_F(Screenshot, TheFrontBufferIsTheFrameLastShown)
{
    drawPattern(0);
    SDL_GL_SwapBuffers();
    drawPattern(37);
    const std::vector<unsigned char> shown = save("front.png", true);
    EXPECT_TRUE(shown == readWindowRgb(GL_FRONT));
    EXPECT_FALSE(shown == save("back.png", false));
    GLint readBuffer = 0;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    EXPECT_EQ(GL_BACK, readBuffer);
}

TEST_F(Screenshot, ARenderTargetLeftBoundIsNeitherSavedNorUnbound)
{
    ASSERT_TRUE(GLEW_EXT_framebuffer_object);
    drawPattern(0);
    const std::vector<unsigned char> window = readWindowRgb(GL_BACK);
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);

    EXPECT_TRUE(save("target.png", false) == window);
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(GLint(framebuffer), bound);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, 0);
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

// Pack state an application left set: skips once made the read write past the buffer, and a bound
// pack buffer took the pixels while the file came out black. Both are set aside for the read and
// are as they were afterwards.
TEST_F(Screenshot, PackStateTheApplicationLeftIsNeitherFollowedNorChanged)
{
    drawPattern(0);
    const std::vector<unsigned char> window = readWindowRgb(GL_BACK);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 50);
    glPixelStorei(GL_PACK_SKIP_ROWS, 768);
    glPixelStorei(GL_PACK_ROW_LENGTH, 2000);
    GLuint buffer = 0;
    ASSERT_TRUE(GLEW_ARB_pixel_buffer_object);
    glGenBuffersARB(1, &buffer);
    glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, buffer);
    glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, 16, nullptr, GL_STREAM_READ_ARB);

    EXPECT_TRUE(save("packed.png", false) == window);
    GLint skipPixels = 0, skipRows = 0, rowLength = 0, bound = 0;
    glGetIntegerv(GL_PACK_SKIP_PIXELS, &skipPixels);
    glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING_ARB, &bound);
    EXPECT_EQ(50, skipPixels);
    EXPECT_EQ(768, skipRows);
    EXPECT_EQ(2000, rowLength);
    EXPECT_EQ(GLint(buffer), bound);
    glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    glDeleteBuffersARB(1, &buffer);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
}

// A failed write once removed whatever was at the path: /dev/full became a regular file, then
// nothing. A device is written in place; a regular file is replaced only by a complete one, with
// nothing left beside it. The device is a node of /dev/full's own made in the test's folder, so that
// a regression cannot take the machine's.
TEST_F(Screenshot, AFailedWriteLeavesWhatWasAtThePathAndASuccessReplacesItWhole)
{
    const std::string full = folder + "/full";
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "making a device node needs root";
    drawPattern(0);
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(g_pGraphicsCore->saveScreenshot(full.c_str()));
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(2u, lines.size());
    const std::string failure = "Failed to save the screenshot: " + full + ", Error: ";
    EXPECT_EQ(failure, lines[1].substr(0, failure.size()));
    EXPECT_GT(lines[1].size(), failure.size()) << "the reason is missing";
    struct stat device;
    ASSERT_EQ(0, stat(full.c_str(), &device)) << "the device node was removed";
    EXPECT_TRUE(S_ISCHR(device.st_mode)) << "the device node was replaced";
    std::remove(full.c_str());

    const std::string earlier = folder + "/earlier.png";
    FILE* old = std::fopen(earlier.c_str(), "w");
    ASSERT_NE(nullptr, old);
    std::fputs("an earlier screenshot", old);
    std::fclose(old);
    EXPECT_TRUE(save("earlier.png", false) == readWindowRgb(GL_BACK));
    EXPECT_EQ(std::vector<std::string>{"earlier.png"}, filesIn(folder));
}
