// Image files in the formats' full variety, none a power of two on either side: PNGs of every colour
// type and bit depth with and without tRNS, and TGAs starting from each of their four corners. The
// expected pictures are written beside the files by tests/data/png/make_png_corpus.py and
// tests/data/tga/make_tga_corpus.py from their own model of each file, not by any decoder.
#include "engine/texture/TGAImage.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Level `level` of the bound texture as RGBA rows, first row first, with its size.
std::vector<uint8_t> textureLevel(unsigned int name, int level, int& width, int& height)
{
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> pixels(std::size_t(width) * std::size_t(height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return pixels;
}

// Where two RGBA pictures of the same size first differ; empty when they are equal.
std::string firstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& expected, int width)
{
    if (got.size() != expected.size())
        return "sizes differ: " + std::to_string(got.size()) + " against " + std::to_string(expected.size());
    for (std::size_t i = 0; i < got.size(); i += 4) {
        for (std::size_t c = 0; c < 4; ++c) {
            if (got[i + c] == expected[i + c])
                continue;
            std::ostringstream text;
            const std::size_t pixel = i / 4;
            text << "pixel (" << pixel % std::size_t(width) << ", " << pixel / std::size_t(width) << ") is ("
                 << int(got[i]) << ", " << int(got[i + 1]) << ", " << int(got[i + 2]) << ", " << int(got[i + 3])
                 << "), expected (" << int(expected[i]) << ", " << int(expected[i + 1]) << ", "
                 << int(expected[i + 2]) << ", " << int(expected[i + 3]) << ")";
            return text.str();
        }
    }
    return std::string();
}

const char* const kPngs[] = {
    "grey_1",    "grey_1_trns",    "grey_2",    "grey_2_trns",    "grey_4",       "grey_4_trns",
    "grey_8",    "grey_8_trns",    "grey_16",   "grey_16_trns",   "rgb_8",        "rgb_8_trns",
    "rgb_16",    "rgb_16_trns",    "palette_1", "palette_1_trns", "palette_2",    "palette_2_trns",
    "palette_4", "palette_4_trns", "palette_8", "palette_8_trns", "grey_alpha_8", "grey_alpha_16",
    "rgba_8",    "rgba_16"};

class PngConformance : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        sharedEngine();
    }
};

}  // namespace

// Level 0 holds the file's own pixels at the file's own size (no scaling to powers of two), and the
// GL made the smaller levels from it.
TEST_P(PngConformance, UploadsEveryPixelAsTheFileMeansIt)
{
    const std::string base = std::string("tests/data/png/") + GetParam();
    CTexture texture(base + ".png");
    ASSERT_TRUE(texture.isLoaded());
    int width = 0, height = 0;
    const std::vector<uint8_t> level0 = textureLevel(texture.id, 0, width, height);
    EXPECT_EQ(13, width);
    EXPECT_EQ(7, height);
    EXPECT_EQ("", firstDifference(level0, readBytes(base + ".rgba"), width));
    int width1 = 0, height1 = 0;
    textureLevel(texture.id, 1, width1, height1);
    EXPECT_EQ(6, width1);
    EXPECT_EQ(3, height1);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

INSTANTIATE_TEST_SUITE_P(EveryColourType, PngConformance, ::testing::ValuesIn(kPngs));

// Drawn at whole pixels, a grey PNG with a transparent level shows its greys and lets the background
// through where the level is; SDL_image's surface for it would draw red and green.
TEST(ImageDrawing, AGreyPngWithATransparentLevelDrawsGreyOverTheBackground)
{
    sharedEngine();
    CTexture texture("tests/data/png/grey_8_trns.png");
    ASSERT_TRUE(texture.isLoaded());
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    texture.draw(40.0f, 30.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    const std::vector<uint8_t> expected = readBytes("tests/data/png/grey_8_trns.rgba");
    const std::vector<uint8_t> drawn = readBackRgba(40, 30, 13, 7);  // bottom row first
    ASSERT_EQ(expected.size(), drawn.size());
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) {
            const uint8_t* want = &expected[std::size_t(y * 13 + x) * 4];
            const uint8_t* got = &drawn[std::size_t((6 - y) * 13 + x) * 4];
            const uint8_t blue = want[3] == 0 ? 255 : want[2];
            const uint8_t grey = want[3] == 0 ? 0 : want[0];
            ASSERT_EQ(grey, got[0]) << "red at (" << x << ", " << y << ")";
            ASSERT_EQ(grey, got[1]) << "green at (" << x << ", " << y << ")";
            ASSERT_EQ(blue, got[2]) << "blue at (" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

// A colour key turns exactly the pixels of that colour transparent black, in an opaque RGB file and
// in an RGBA file whose alpha says opaque, and keys nothing once cleared.
TEST(ImageDrawing, AColourKeyMakesItsColourTransparentAndNothingElse)
{
    sharedEngine();
    for (const char* name : {"rgb_8", "rgba_8"}) {
        const std::string base = std::string("tests/data/png/") + name;
        std::vector<uint8_t> expected = readBytes(base + ".rgba");
        ASSERT_EQ(std::size_t(13 * 7 * 4), expected.size());
        const uint8_t* key = &expected[(1 * 13 + 2) * 4];  // the colour at (2, 1)
        const int32_t rgb = int32_t(key[0]) << 16 | int32_t(key[1]) << 8 | key[2];
        const std::vector<uint8_t> unkeyed = expected;
        int keyed = 0;
        for (std::size_t i = 0; i < expected.size(); i += 4) {
            if ((int32_t(unkeyed[i]) << 16 | int32_t(unkeyed[i + 1]) << 8 | unkeyed[i + 2]) == rgb) {
                expected[i] = expected[i + 1] = expected[i + 2] = expected[i + 3] = 0;
                ++keyed;
            }
        }
        EXPECT_GE(keyed, 1) << name;

        CTexture texture;
        texture.setColorKey(rgb);
        texture.load(base + ".png");
        ASSERT_TRUE(texture.isLoaded());
        int width = 0, height = 0;
        EXPECT_EQ("", firstDifference(textureLevel(texture.id, 0, width, height), expected, 13)) << name;

        texture.setColorKey(CTexture::kNoColorKey);
        CTexture plain;
        plain.setColorKey(0x1000000);  // outside 0...0xFFFFFF: no key
        EXPECT_EQ(CTexture::kNoColorKey, plain.getColorKey());
        plain.load(base + ".png");
        EXPECT_EQ("", firstDifference(textureLevel(plain.id, 0, width, height), unkeyed, 13)) << name;
    }
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

namespace {

class TgaOrigins : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        sharedEngine();
    }
};

const char* const kTgas[] = {
    "plain_24_bottom_left", "plain_24_bottom_right", "plain_24_top_left", "plain_24_top_right",
    "rle_24_bottom_left",   "rle_24_bottom_right",   "rle_24_top_left",   "rle_24_top_right",
    "plain_32_bottom_left", "plain_32_bottom_right", "plain_32_top_left", "plain_32_top_right",
    "rle_32_bottom_left",   "rle_32_bottom_right",   "rle_32_top_left",   "rle_32_top_right"};

// The picture every file of the depth shows, top row first.
std::vector<uint8_t> tgaPicture(const std::string& name)
{
    return readBytes(std::string("tests/data/tga/picture_") +
                     (name.find("_32_") != std::string::npos ? "32" : "24") + ".rgba");
}

}  // namespace

// The reader keeps the bottom row first and each row from its left, whatever corner the file starts
// from.
TEST_P(TgaOrigins, TheReaderStoresThePictureBottomRowFirst)
{
    const std::string name = GetParam();
    CTGAImage image;
    ASSERT_TRUE(image.load(("tests/data/tga/" + name + ".tga").c_str()));
    ASSERT_EQ(7u, image.width);
    ASSERT_EQ(5u, image.height);
    const std::vector<uint8_t> picture = tgaPicture(name);
    std::vector<uint8_t> stored;
    for (uint32_t row = 0; row < 5; ++row) {
        for (uint32_t x = 0; x < 7; ++x) {
            const uint8_t* pixel = image.pixels + (row * 7 + x) * image.bytesPerPixel;
            stored.insert(stored.end(), pixel, pixel + 3);
            stored.push_back(image.bytesPerPixel == 4 ? pixel[3] : 255);
        }
    }
    std::vector<uint8_t> bottomUp;
    for (int y = 4; y >= 0; --y)
        bottomUp.insert(bottomUp.end(), picture.begin() + y * 28, picture.begin() + (y + 1) * 28);
    EXPECT_EQ("", firstDifference(stored, bottomUp, 7));
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

// As a texture the picture stands upright, top row first, from every corner (SDL_image alone
// refuses the two that start on the right).
TEST_P(TgaOrigins, ATextureShowsThePictureUpright)
{
    const std::string name = GetParam();
    CTexture texture("tests/data/tga/" + name + ".tga");
    ASSERT_TRUE(texture.isLoaded());
    int width = 0, height = 0;
    const std::vector<uint8_t> level0 = textureLevel(texture.id, 0, width, height);
    EXPECT_EQ(7, width);
    EXPECT_EQ(5, height);
    EXPECT_EQ("", firstDifference(level0, tgaPicture(name), 7));
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

INSTANTIATE_TEST_SUITE_P(EveryCorner, TgaOrigins, ::testing::ValuesIn(kTgas));
