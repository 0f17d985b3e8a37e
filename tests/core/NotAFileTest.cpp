// Paths that name no regular file (a FIFO, a folder, a device) handed to every reader that opens a file by its
// path: each refuses at once with its one failure line and never opens the path. A FIFO opened for reading waits
// for a writer, so a reader that opened one would hang this test: a watch plays the writer whenever anyone has the
// FIFO open, which lets such a reader finish (and the test fail on the watch's record) instead.
#include "engine/audio/Music.h"
#include "engine/audio/Sound.h"
#include "engine/core/RegularFile.h"
#include "engine/core/Utils.h"
#include "engine/shader/Shader.h"
#include "engine/sprite/TextureAtlas.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/text/GlyphSheetRasterizer.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/TGAImage.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace testing_support;

namespace {

const std::string kNotRegular = "it is not a regular file";

// A FIFO in a new folder, and a thread that opens its writing end whenever a reader has the other end open
// (opening it without blocking fails while nobody reads), then closes it so that the reader sees the end of the
// data. Never opens anything in blocking mode.
class CWatchedFifo {
public:
    explicit CWatchedFifo(const std::string& name)
        : path(makeTempDir() + "/" + name),
          stopping(false),
          opened(false)
    {
        made = mkfifo(path.c_str(), 0600) == 0;
        watcher = std::thread([this] {
            while (!stopping) {
                const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    opened = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~CWatchedFifo()
    {
        stopping = true;
        watcher.join();
    }
    // Whether a reader ever opened the FIFO.
    bool wasOpened() const
    {
        return opened;
    }

    std::string path;
    bool made;

private:
    std::atomic<bool> stopping;
    std::atomic<bool> opened;
    std::thread watcher;
};

class NotAFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
    }
    void TearDown() override
    {
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
};

TEST(RegularFile, RefusesWhatIsNotARegularFileAndLeavesMissingFilesToTheReader)
{
    CWatchedFifo fifo("pipe");
    ASSERT_TRUE(fifo.made);
    const std::string dir = std::filesystem::path(fifo.path).parent_path().string();
    std::ofstream(dir + "/plain.txt") << "text";
    std::ofstream(dir + "/empty.txt");
    std::filesystem::create_symlink(dir + "/plain.txt", dir + "/to-plain");
    std::filesystem::create_symlink(dir + "/pipe", dir + "/to-pipe");
    std::filesystem::create_symlink(dir + "/nowhere", dir + "/dangling");

    EXPECT_EQ("", CRegularFile::refusal(dir + "/plain.txt"));
    EXPECT_EQ("", CRegularFile::refusal(dir + "/empty.txt"));
    EXPECT_EQ("", CRegularFile::refusal(dir + "/to-plain"));
    EXPECT_EQ("", CRegularFile::refusal(dir + "/missing"));
    EXPECT_EQ("", CRegularFile::refusal(dir + "/dangling"));
    EXPECT_EQ("", CRegularFile::refusal(""));
    EXPECT_EQ(kNotRegular, CRegularFile::refusal(dir + "/pipe"));
    EXPECT_EQ(kNotRegular, CRegularFile::refusal(dir + "/to-pipe"));
    EXPECT_EQ(kNotRegular, CRegularFile::refusal(dir));
    EXPECT_EQ(kNotRegular, CRegularFile::refusal("/dev/null"));
    // Without a window too: what a tool or the fuzzer checks.
    EXPECT_EQ(kNotRegular, CImageLimits::fileRefusal(dir + "/pipe", false, 0));
    EXPECT_EQ(kNotRegular, CImageLimits::fileRefusal(dir + "/pipe", true, 0));
    EXPECT_FALSE(fifo.wasOpened());
}

TEST_F(NotAFile, ImagesAreRefusedWithTheirFailureLine)
{
    // Every kind goes through the same refusal; a TGA name takes the engine's own decoder.
    for (const char* name : {"pipe.png", "pipe.tga", "pipe.bmp", "pipe"}) {
        SCOPED_TRACE(name);
        CWatchedFifo fifo(name);
        ASSERT_TRUE(fifo.made);
        CStdoutCapture capture;
        capture.start();
        CTexture texture;
        texture.load(fifo.path);
        EXPECT_EQ((std::vector<std::string>{"Loading Texture: " + fifo.path,
                                            "Failed to load the image: " + fifo.path + ", Error: " + kNotRegular}),
                  capture.lines());
        EXPECT_FALSE(texture.isLoaded());
        EXPECT_EQ(0u, texture.id);
        EXPECT_FALSE(fifo.wasOpened());
        // Left usable and empty: drawing it draws nothing over the cleared frame.
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        texture.draw(100.0f, 100.0f, 4.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
        const Rgba pixel = readPixel(100, 100);
        EXPECT_EQ(0, pixel.r);
        EXPECT_EQ(0, pixel.g);
        EXPECT_EQ(255, pixel.b);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
}

TEST_F(NotAFile, TheTgaReaderAndTheBitmapLoaderRefuse)
{
    CWatchedFifo fifo("pipe.tga");
    ASSERT_TRUE(fifo.made);
    CStdoutCapture capture;
    capture.start();
    CTGAImage image;
    EXPECT_FALSE(image.load(fifo.path.c_str()));
    EXPECT_EQ(std::vector<std::string>{"Could not open texture file (" + kNotRegular + "): " + fifo.path},
              capture.lines());
    EXPECT_EQ(0u, image.textureName);
    EXPECT_EQ(nullptr, image.pixels);

    CWatchedFifo bitmap("pipe.bmp");
    ASSERT_TRUE(bitmap.made);
    capture.start();
    CUtils utils;
    EXPECT_EQ(0u, utils.loadBMPTexture(bitmap.path.c_str()));
    EXPECT_EQ((std::vector<std::string>{"Loading Texture: " + bitmap.path,
                                        "Failed to load the image: " + bitmap.path + ", Error: " + kNotRegular}),
              capture.lines());
    // The decoder alone, without the loader's check before it, writes its own line to standard error.
    CStderrCapture errors;
    errors.start();
    EXPECT_EQ(nullptr, utils.loadBMP(bitmap.path.c_str()));
    EXPECT_EQ(std::vector<std::string>{" Failed loading " + bitmap.path + " : " + kNotRegular}, errors.lines());
    EXPECT_FALSE(fifo.wasOpened());
    EXPECT_FALSE(bitmap.wasOpened());
}

TEST_F(NotAFile, AFontIsRefusedAndHandedOutEmpty)
{
    CWatchedFifo fifo("pipe.ttf");
    ASSERT_TRUE(fifo.made);
    CFontManager fonts;
    CStdoutCapture capture;
    capture.start();
    CFont* font = fonts.loadTrueTypeFont(fifo.path.c_str(), nullptr, 16);
    EXPECT_EQ((std::vector<std::string>{"Loading Font: " + fifo.path + " at 16 px",
                                        "Failed to load the font: " + fifo.path + ", Error: " + kNotRegular}),
              capture.lines());
    ASSERT_NE(nullptr, font);
    EXPECT_FALSE(font->isTrueType());

    // The glyph sheet maker's rasterizer reads font files by path too.
    CGlyphSheetRasterizer rasterizer;
    EXPECT_FALSE(rasterizer.rasterize(fifo.path, fifo.path, 16, 16, 9));
    EXPECT_EQ(fifo.path, rasterizer.getFailedPath());
    EXPECT_EQ(kNotRegular, rasterizer.getFailure());
    EXPECT_EQ(0, rasterizer.getSheetSize());
    EXPECT_FALSE(fifo.wasOpened());
}

TEST_F(NotAFile, AnAtlasDescriptorOrPageIsRefused)
{
    CWatchedFifo descriptor("pipe.json");
    ASSERT_TRUE(descriptor.made);
    CStdoutCapture capture;
    capture.start();
    CTextureAtlas atlas;
    EXPECT_FALSE(atlas.load(descriptor.path));
    EXPECT_EQ(
        (std::vector<std::string>{"Loading Atlas: " + descriptor.path,
                                  "Failed to load the atlas: " + descriptor.path + ", Error: " + kNotRegular}),
        capture.lines());
    EXPECT_FALSE(atlas.isLoaded());

    // A well-formed descriptor whose page image is a FIFO: the texture's line, then the atlas's.
    CWatchedFifo page("page.png");
    ASSERT_TRUE(page.made);
    const std::string folder = std::filesystem::path(page.path).parent_path().string();
    const std::string json = folder + "/atlas.json";
    std::ofstream(json) << R"({"frames": {"a": {"frame": {"x": 0, "y": 0, "w": 16, "h": 16}}},
                             "meta": {"image": "page.png", "size": {"w": 64, "h": 64}}})";
    capture.start();
    EXPECT_FALSE(atlas.load(json));
    EXPECT_EQ((std::vector<std::string>{"Loading Atlas: " + json, "Loading Texture: " + page.path,
                                        "Failed to load the image: " + page.path + ", Error: " + kNotRegular,
                                        "Failed to load the atlas: " + json + ", Error: the page image " +
                                            page.path + " did not load"}),
              capture.lines());
    EXPECT_FALSE(atlas.isLoaded());
    EXPECT_EQ(0u, atlas.getRegionCount());
    EXPECT_FALSE(descriptor.wasOpened());
    EXPECT_FALSE(page.wasOpened());
}

TEST_F(NotAFile, SoundAndMusicAreRefusedWithTheMixersLines)
{
    CWatchedFifo wave("pipe.wav");
    CWatchedFifo track("pipe.ogg");
    ASSERT_TRUE(wave.made && track.made);
    CStdoutCapture capture;
    capture.start();
    CSound sound("");
    EXPECT_FALSE(sound.load(wave.path));
    CMusic music("");
    EXPECT_FALSE(music.load(track.path));
    EXPECT_EQ((std::vector<std::string>{"Failed to load sound: " + wave.path, "Error: " + kNotRegular,
                                        "Failed to load music " + track.path, "Error: " + kNotRegular}),
              capture.lines());
    EXPECT_FALSE(sound.isLoaded());
    EXPECT_FALSE(music.isLoaded());
    EXPECT_FALSE(wave.wasOpened());
    EXPECT_FALSE(track.wasOpened());
}

TEST_F(NotAFile, AShaderSourceIsRefused)
{
    CWatchedFifo fifo("pipe.vert");
    ASSERT_TRUE(fifo.made);
    EXPECT_EQ(nullptr, CShader::readTextFile(fifo.path.c_str()));
    CStdoutCapture capture;
    capture.start();
    CShader shader;
    shader.load("shaders/simpleTexture.frag", fifo.path.c_str());
    EXPECT_EQ((std::vector<std::string>{"", "Cannot Load vertex shader: " + fifo.path}), capture.lines());
    EXPECT_EQ(0u, shader.getProgram());
    EXPECT_FALSE(fifo.wasOpened());
}

}  // namespace
