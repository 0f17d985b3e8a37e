// The TGA reader on files built byte by byte and on files written by ImageMagick.
#include "engine/texture/TGAImage.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes tgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t idLength = 0)
{
    return {idLength,
            0,
            type,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            uint8_t(width & 0xFF),
            uint8_t(width >> 8),
            uint8_t(height & 0xFF),
            uint8_t(height >> 8),
            depth,
            0};
}

Bytes operator<<(Bytes bytes, const Bytes& more)
{
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

Bytes repeat(const Bytes& pixel, int times)
{
    Bytes out;
    for (int i = 0; i < times; ++i)
        out = out << pixel;
    return out;
}

class TgaReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        dir = makeTempDir();
    }
    std::string write(const Bytes& bytes, const std::string& name = "image.tga")
    {
        const std::string path = dir + "/" + name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path;
    }
    // Loads and returns the lines written; the image stays in `image`.
    std::vector<std::string> load(const std::string& path, bool expected)
    {
        CStdoutCapture capture;
        capture.start();
        EXPECT_EQ(expected, image.load(path.c_str())) << path;
        return capture.lines();
    }
    void expectRefused(const Bytes& bytes, const std::string& prefix)
    {
        const std::string path = write(bytes);
        const std::vector<std::string> lines = load(path, false);
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(prefix + path, lines[0]);
        EXPECT_EQ(0u, image.textureName);
        EXPECT_EQ(nullptr, image.pixels);
    }

    std::string dir;
    CTGAImage image;
};

}  // namespace

TEST_F(TgaReader, UncompressedPixelsAreSwappedToRedGreenBlue)
{
    // 35 pixels, each its own: whole blocks of sixteen and a rest, every one swapped in place.
    Bytes file = tgaHeader(2, 7, 5, 24);
    for (int i = 0; i < 35; ++i)
        file = file << Bytes{uint8_t(i), uint8_t(100 + i), uint8_t(200 + i)};
    load(write(file), true);
    ASSERT_NE(nullptr, image.pixels);
    EXPECT_EQ(105u, image.imageSize);
    EXPECT_EQ(GLenum(GL_RGB), image.format);
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ((Bytes{uint8_t(200 + i), uint8_t(100 + i), uint8_t(i)}),
                  Bytes(image.pixels + 3 * i, image.pixels + 3 * i + 3))
            << "pixel " << i;
    EXPECT_NE(0u, image.textureName);

    CTGAImage withAlpha;
    Bytes file32 = tgaHeader(2, 4, 4, 32);
    file32 = file32 << repeat({1, 2, 3, 4}, 16);
    CStdoutCapture quiet;
    quiet.start();
    ASSERT_TRUE(withAlpha.load(write(file32, "alpha.tga").c_str()));
    EXPECT_TRUE(quiet.lines().empty());
    EXPECT_EQ(GLenum(GL_RGBA), withAlpha.format);
    EXPECT_EQ((Bytes{3, 2, 1, 4}), Bytes(withAlpha.pixels + 60, withAlpha.pixels + 64));
}

TEST_F(TgaReader, RunLengthPacketsOfEveryLength)
{
    Bytes run = tgaHeader(10, 2, 2, 32);
    run = run << Bytes{0x83, 10, 20, 30, 40};
    load(write(run), true);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ((Bytes{30, 20, 10, 40}), Bytes(image.pixels + 4 * i, image.pixels + 4 * i + 4));

    // 0x7F carries 128 raw pixels, 0xFF repeats one pixel 128 times, and packets cross rows.
    Bytes longest = tgaHeader(10, 16, 16, 24);
    longest = longest << Bytes{0x7F};
    for (int i = 0; i < 128; ++i)
        longest = longest << Bytes{uint8_t(i), 0, 0};
    longest = longest << Bytes{0xFF, 7, 8, 9};
    CTGAImage second;
    CStdoutCapture quiet;
    quiet.start();
    ASSERT_TRUE(second.load(write(longest, "longest.tga").c_str()));
    EXPECT_TRUE(quiet.lines().empty());
    EXPECT_EQ(100, second.pixels[3 * 100 + 2]);  // the blue byte became the third
    EXPECT_EQ((Bytes{9, 8, 7}), Bytes(second.pixels + 3 * 255, second.pixels + 3 * 256));
    EXPECT_EQ((Bytes{9, 8, 7}), Bytes(second.pixels + 3 * 128, second.pixels + 3 * 129));
}

TEST_F(TgaReader, AStreamWithoutASizeDecodesLikeAFile)
{
    // Packets that cross rows, read through a pipe, which cannot tell its length.
    const Bytes rle = tgaHeader(10, 3, 2, 32)
                      << Bytes{0x82, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12, 0x80, 13, 14, 15, 16, 99};
    const std::string path = write(rle);
    FILE* pipe = popen(("cat " + path).c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    EXPECT_TRUE(image.decode(path.c_str(), pipe));
    pclose(pipe);
    const Bytes expected = {3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 16};
    EXPECT_EQ(expected, Bytes(image.pixels, image.pixels + image.imageSize));

    // Cut short inside the last run's pixel: the same refusal as from a file.
    pipe = popen(("head -c " + std::to_string(rle.size() - 3) + " " + path).c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(image.decode(path.c_str(), pipe));
    pclose(pipe);
    EXPECT_EQ(std::vector<std::string>{"Could not read from file: " + path}, capture.lines());
    EXPECT_EQ(nullptr, image.pixels);
}

TEST_F(TgaReader, TheImageIdIsSkipped)
{
    Bytes file = tgaHeader(2, 1, 1, 24, 5);
    file = file << Bytes{'h', 'e', 'l', 'l', 'o'} << Bytes{1, 2, 3};
    load(write(file), true);
    EXPECT_EQ((Bytes{3, 2, 1}), Bytes(image.pixels, image.pixels + 3));
}

TEST_F(TgaReader, RefusesOtherKindsWithTheirLines)
{
    const std::string wrongKind = "TGA file be type 2 or type 10, Invalid Image: ";
    expectRefused(tgaHeader(1, 2, 2, 24) << repeat({0}, 12), wrongKind);
    expectRefused(tgaHeader(3, 2, 2, 8) << repeat({0}, 4), wrongKind);
    Bytes colourMapped = tgaHeader(2, 2, 2, 24);
    colourMapped[1] = 1;
    expectRefused(colourMapped << repeat({0}, 12), wrongKind);
    Bytes shifted = tgaHeader(2, 2, 2, 24);
    shifted[8] = 5;  // x origin
    expectRefused(shifted << repeat({0}, 12), wrongKind);
    expectRefused(tgaHeader(2, 2, 2, 16) << repeat({0}, 8), "Invalid texture information: ");
    expectRefused(tgaHeader(2, 0, 2, 24), "Invalid texture information: ");
}

TEST_F(TgaReader, RefusesShortFilesAtEachStep)
{
    expectRefused(Bytes(10, 0), "Could not read file header: ");
    expectRefused(Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0}, "Could not read info header: ");
    expectRefused(tgaHeader(2, 2, 2, 24) << repeat({1}, 11), "Could not read image data: ");
    expectRefused(tgaHeader(10, 2, 2, 24) << Bytes{0x81, 1, 2, 3}, "Could not read RLE header: ");
    expectRefused(tgaHeader(10, 2, 2, 24) << Bytes{0x03, 1, 2, 3, 4, 5}, "Could not read image data: ");
    expectRefused(tgaHeader(10, 2, 2, 24) << Bytes{0x83, 1, 2}, "Could not read from file: ");

    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(image.load(write(Bytes()).c_str()));
    EXPECT_EQ(std::vector<std::string>{"Failed to read TGAcomment!"}, capture.lines());
    capture.start();
    EXPECT_FALSE(image.load((dir + "/absent.tga").c_str()));
    EXPECT_EQ(std::vector<std::string>{"Could not open texture file: " + dir + "/absent.tga"}, capture.lines());
}

TEST_F(TgaReader, RefusesARunPastTheLastPixelAndUploadsNothing)
{
    expectRefused(tgaHeader(10, 2, 2, 24) << Bytes{0x84, 1, 2, 3}, "Too many pixels read: ");
    expectRefused(tgaHeader(10, 2, 2, 24) << Bytes{0x80, 1, 2, 3, 0x03, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
                  "Too many pixels read: ");
}

TEST_F(TgaReader, RefusesSizesItCannotAllocate)
{
    // 65535 x 65535 x 4 bytes overflows 32 bits; the size is computed in 64 and refused.
    expectRefused(tgaHeader(10, 65535, 65535, 32) << Bytes{0xFF, 1, 2, 3, 4},
                  "Could not allocate memory for image: ");
    expectRefused(tgaHeader(2, 65535, 65535, 32) << Bytes{1, 2, 3, 4}, "Could not allocate memory for image: ");
}

TEST_F(TgaReader, MatchesImageMagicksDecodingPixelForPixel)
{
    // Odd widths: 24-bit rows of 37 pixels are not a multiple of 4 bytes long.
    const std::string source = dir + "/source.png";
    ASSERT_EQ(0, std::system(("convert -seed 7 -size 37x23 plasma:red-blue -channel A -fx 'i/w' "
                              "+channel PNG32:" +
                              source)
                                 .c_str()));
    struct Variant {
        const char* name;
        const char* options;
        int channels;
    };
    const Variant variants[] = {
        {"rgb.tga", "-alpha off -type TrueColor", 3},
        {"rgb_rle.tga", "-alpha off -type TrueColor -compress RLE", 3},
        {"rgba.tga", "-type TrueColorAlpha", 4},
        {"rgba_rle.tga", "-type TrueColorAlpha -compress RLE", 4},
    };
    for (const Variant& variant : variants) {
        SCOPED_TRACE(variant.name);
        const std::string tga = dir + "/" + variant.name;
        const std::string raw = tga + ".raw";
        ASSERT_EQ(0, std::system(("convert " + source + " " + variant.options + " " + tga).c_str()));
        // ImageMagick's own decoding, top row first.
        ASSERT_EQ(
            0, std::system(
                   ("convert " + tga + " -depth 8 " + (variant.channels == 4 ? "rgba:" : "rgb:") + raw).c_str()));
        std::ifstream in(raw, std::ios::binary);
        const Bytes expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

        CTGAImage decoded;
        CStdoutCapture quiet;
        quiet.start();
        const bool loaded = decoded.load(tga.c_str());
        quiet.lines();
        ASSERT_TRUE(loaded);
        ASSERT_EQ(37u, decoded.width);
        ASSERT_EQ(23u, decoded.height);
        ASSERT_EQ(unsigned(variant.channels), decoded.bytesPerPixel);
        ASSERT_EQ(expected.size(), decoded.imageSize);
        // ImageMagick writes the top row first: ImageMagick 7 says so in the origin bit, and hands
        // the rows back in that order; ImageMagick 6 leaves the bit at bottom-left and ignores it
        // when it reads, so its rows come back in file order too. The reader keeps the bottom row
        // first: a file that says it starts at the top has its rows reversed, one that says bottom
        // keeps them.
        std::ifstream file(tga, std::ios::binary);
        char descriptor = 0;
        ASSERT_TRUE(file.seekg(17) && file.get(descriptor));
        const bool fromTop = (descriptor & 0x20) != 0;
        const std::size_t row = 37 * variant.channels;
        int differing = 0;
        for (std::size_t r = 0; r < 23; ++r) {
            const std::size_t fileRow = fromTop ? 22 - r : r;
            differing += Bytes(decoded.pixels + r * row, decoded.pixels + (r + 1) * row) !=
                         Bytes(expected.begin() + fileRow * row, expected.begin() + (fileRow + 1) * row);
        }
        EXPECT_EQ(0, differing);

        // The upload holds exactly the decoded rows, whatever the row length.
        Bytes uploaded(decoded.imageSize);
        glBindTexture(GL_TEXTURE_2D, decoded.textureName);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, decoded.format, GL_UNSIGNED_BYTE, uploaded.data());
        EXPECT_TRUE(uploaded == Bytes(decoded.pixels, decoded.pixels + decoded.imageSize));
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
}

TEST_F(TgaReader, FromMemoryReadsAndRefusesLikeFromAFile)
{
    const Bytes whole = tgaHeader(2, 1, 1, 24) << Bytes{10, 20, 30};
    CStdoutCapture capture;
    capture.start();
    ASSERT_TRUE(image.loadFromMemory("built-in.tga", whole.data(), whole.size()));
    EXPECT_EQ(std::vector<std::string>{}, capture.lines());
    EXPECT_NE(0u, image.textureName);
    EXPECT_EQ(30, image.pixels[0]);  // stored blue, green, red; read back red first

    // A cut copy stops where a cut file stops, naming the copy; nothing stays decoded.
    CTGAImage cut;
    capture.start();
    EXPECT_FALSE(cut.loadFromMemory("built-in.tga", whole.data(), whole.size() - 1));
    EXPECT_EQ(std::vector<std::string>{"Could not read image data: built-in.tga"}, capture.lines());
    EXPECT_EQ(nullptr, cut.pixels);
    EXPECT_EQ(0u, cut.textureName);
    capture.start();
    EXPECT_FALSE(cut.loadFromMemory("nothing.tga", nullptr, 0));
    EXPECT_EQ(std::vector<std::string>{"Could not open texture file: nothing.tga"}, capture.lines());
}
