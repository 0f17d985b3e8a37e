// What must hold before an image becomes a texture (an OpenGL context, a size the context can
// hold), checked against real files and the real memory of this process; and a TGA reloaded.
#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/shader/ShaderManager.h"
#include "engine/texture/ImageLimits.h"
#include "engine/texture/TGAImage.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

GLint maxTextureSize()
{
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return size;
}

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

void chunk(std::ofstream& file, const char* type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> bytes;
    put32(bytes, uint32_t(data.size()));
    bytes.insert(bytes.end(), type, type + 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    const uint32_t crc = uint32_t(crc32(0, bytes.data() + 4, uInt(bytes.size() - 4)));
    put32(bytes, crc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A complete, valid 8-bit grey PNG of the size, every pixel black: a few hundred kilobytes on disk
// that decode to width * height bytes and many times that once converted for GL.
void writeBlackGreyPng(const std::string& path, uint32_t width, uint32_t height)
{
    std::ofstream file(path, std::ios::binary);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    file.write(reinterpret_cast<const char*>(signature), 8);
    std::vector<uint8_t> header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {8, 0, 0, 0, 0});  // 8 bits, grey, deflate, no filter, no interlace
    chunk(file, "IHDR", header);

    z_stream stream{};
    deflateInit(&stream, 1);
    const std::vector<uint8_t> row(width + 1, 0);  // filter byte, then the pixels
    std::vector<uint8_t> out(1 << 20);
    std::vector<uint8_t> compressed;
    for (uint32_t y = 0; y < height; ++y) {
        stream.next_in = const_cast<Bytef*>(row.data());
        stream.avail_in = uInt(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            compressed.insert(compressed.end(), out.data(), out.data() + (out.size() - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    chunk(file, "IDAT", compressed);
    chunk(file, "IEND", {});
}

std::vector<std::string> loadLines(CTexture& texture, const std::string& path)
{
    CStdoutCapture capture;
    capture.start();
    texture.load(path);
    return capture.lines();
}

class TextureLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedBlankFrame();
        dir = makeTempDir();
    }
    void TearDown() override
    {
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    std::string dir;
};

}  // namespace

TEST_F(TextureLimits, AnOversizedPngIsRefusedFromItsHeaderWithoutDecoding)
{
    const GLint limit = maxTextureSize();
    ASSERT_GT(limit, 0);
    const uint32_t width = uint32_t(limit) + 600, height = 4000;
    const std::string path = dir + "/huge.png";
    writeBlackGreyPng(path, width, height);

    resetPeak();
    const long before = peakKilobytes();
    CTexture texture;
    const std::vector<std::string> lines = loadLines(texture, path);
    const long grown = peakKilobytes() - before;

    EXPECT_FALSE(texture.isLoaded());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Loading Texture: " + path, lines[0]);
    EXPECT_EQ("Failed to load the image: " + path + ", Error: " + std::to_string(width) + " x " +
                  std::to_string(height) + " pixels, more than the " + std::to_string(limit) +
                  " an OpenGL texture can hold here",
              lines[1]);
    // Decoding alone would take width * height bytes (over 60 MB).
    EXPECT_LT(grown, 8 * 1024) << "peak grew by " << grown << " kB";
    std::remove(path.c_str());
}

// 35 bytes claiming a 65535 by 65535 image once crashed SDL_image's GIF reader, whatever the name.
TEST_F(TextureLimits, AnOversizedGifIsRefusedFromItsImageDescriptor)
{
    // A 1 by 1 screen with a graphic control extension before an image of 65535 by 65535.
    const std::vector<uint8_t> gif = {'G', 'I',  'F',  '8',  '9',  'a',  1, 0, 1, 0,    0, 0,
                                      0,   0x21, 0xF9, 4,    0,    0,    0, 0, 0, 0x2C, 0, 0,
                                      0,   0,    0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 0, 0x3B};
    const std::string path = dir + "/huge.png";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.data()), std::streamsize(gif.size()));
    CTexture texture;
    const std::vector<std::string> lines = loadLines(texture, path);
    EXPECT_FALSE(texture.isLoaded());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Failed to load the image: " + path + ", Error: 65535 x 65535 pixels, more than the " +
                  std::to_string(maxTextureSize()) + " an OpenGL texture can hold here",
              lines[1]);
}

// An 18-byte TGA header claiming 8192 by 8192 pixels once made SDL_image allocate the whole image
// (a peak of 1 GB) before it found nothing to read; an image of no pixels went to the decoder too.
TEST_F(TextureLimits, AHeaderWithoutItsPixelsAndAnEmptyImageAreRefusedBeforeDecoding)
{
    const std::string tga = dir + "/bare.tga";
    const std::vector<uint8_t> header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0x20, 32, 8};
    std::ofstream(tga, std::ios::binary).write(reinterpret_cast<const char*>(header.data()), 18);
    resetPeak();
    const long before = peakKilobytes();
    CTexture bare;
    std::vector<std::string> lines = loadLines(bare, tga);
    EXPECT_LT(peakKilobytes() - before, 8 * 1024);
    EXPECT_FALSE(bare.isLoaded());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Failed to load the image: " + tga + ", Error: 8192 x 8192 pixels, more than its 18 bytes can hold",
              lines[1]);

    const std::string png = dir + "/empty.png";
    const std::vector<uint8_t> empty = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D',
                                        'R',  0,   0,   0,   0,    0,    0,    0,    0, 8, 2, 0,  0,   0};
    std::ofstream(png, std::ios::binary)
        .write(reinterpret_cast<const char*>(empty.data()), std::streamsize(empty.size()));
    CTexture nothing;
    lines = loadLines(nothing, png);
    EXPECT_FALSE(nothing.isLoaded());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Failed to load the image: " + png + ", Error: 0 x 0 pixels, and an image needs at least one",
              lines[1]);

    // Cut inside an ancillary chunk, a PNG sent SDL_image 1.2's reader into an endless retry loop.
    const std::string cut = dir + "/cut.png";
    writeSolidPng(cut, 16, 16, "#ff0000");
    std::ifstream whole(cut, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    bytes.resize(60);
    std::ofstream(cut, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    CTexture shortFile;
    lines = loadLines(shortFile, cut);
    EXPECT_FALSE(shortFile.isLoaded());
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Failed to load the image: " + cut +
                  ", Error: 16 x 16 pixels, but the file ends before its last chunk (IEND): it is cut short",
              lines[1]);
}

TEST_F(TextureLimits, OversizedTgaAndBmpHeadersAreRefusedBeforeDecoding)
{
    const uint32_t wide = uint32_t(maxTextureSize()) + 1;
    // TGA: type 2, 32 bits; only the header is there, so decoding would fail differently.
    const std::string tga = dir + "/wide.tga";
    {
        std::vector<uint8_t> header = {
            0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(wide & 0xFF), uint8_t(wide >> 8), 2, 0, 32, 8};
        std::ofstream(tga, std::ios::binary).write(reinterpret_cast<const char*>(header.data()), 18);
    }
    CTGAImage image;
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(image.load(tga.c_str()));
    std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("Could not upload texture file (" + std::to_string(wide) + " x 2 pixels, more than the " +
                  std::to_string(maxTextureSize()) + " an OpenGL texture can hold here): " + tga,
              lines[0]);
    EXPECT_EQ(0u, image.textureName);
    EXPECT_EQ(nullptr, image.pixels);

    // BMP: a BITMAPINFOHEADER of that width and a negative (top-down) height.
    const std::string bmp = dir + "/wide.bmp";
    {
        std::vector<uint8_t> header(54, 0);
        header[0] = 'B';
        header[1] = 'M';
        header[14] = 40;
        header[18] = uint8_t(wide & 0xFF);
        header[19] = uint8_t(wide >> 8);
        header[22] = 0xFE;  // height -2
        header[23] = header[24] = header[25] = 0xFF;
        header[26] = 1;
        header[28] = 24;
        std::ofstream(bmp, std::ios::binary).write(reinterpret_cast<const char*>(header.data()), 54);
    }
    capture.start();
    EXPECT_EQ(0u, g_pUtils->loadBMPTexture(bmp.c_str()));
    lines = capture.lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("Failed to load the image: " + bmp + ", Error: " + std::to_string(wide) +
                  " x 2 pixels, more than the " + std::to_string(maxTextureSize()) +
                  " an OpenGL texture can hold here",
              lines[1]);
}

TEST_F(TextureLimits, ASecondTgaLoadReplacesTheFirstTextureAndAFailedOneLeavesNone)
{
    const std::string good = dir + "/small.tga";
    {
        std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
        file.resize(file.size() + 2 * 2 * 3, 200);
        std::ofstream(good, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    CStdoutCapture quiet;
    quiet.start();
    CTGAImage image;
    ASSERT_TRUE(image.load(good.c_str()));
    const GLuint first = image.textureName;
    ASSERT_TRUE(image.load(good.c_str()));
    const GLuint second = image.textureName;
    EXPECT_NE(0u, second);
    if (second != first) {
        EXPECT_FALSE(glIsTexture(first)) << "the first texture was left behind";
    }
    EXPECT_FALSE(image.load((dir + "/absent.tga").c_str()));
    quiet.lines();
    EXPECT_EQ(0u, image.textureName) << "a failed load kept the stale name";
    EXPECT_FALSE(glIsTexture(second));
}

// Every kind SDL_image decodes tells its size in a few header bytes: files claiming 30000 x 20000
// pixels once reached the decoders (a GIF's crashed), a BMP under 26 bytes skipped the check, and a
// PNG 16384 wide failed with "Out of memory".
TEST_F(TextureLimits, EveryKindIsMeasuredFromItsHeaderBeforeDecoding)
{
    const auto le16 = [](uint32_t v) { return std::string{char(v & 0xFF), char(v >> 8 & 0xFF)}; };
    const auto be16 = [](uint32_t v) { return std::string{char(v >> 8 & 0xFF), char(v & 0xFF)}; };
    const auto be32 = [&](uint32_t v) { return be16(v >> 16) + be16(v & 0xFFFF); };
    const auto le32 = [&](uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); };
    const std::string zero(1, '\0');
    const std::string bmpInfo = le32(40) + le32(30000) + le32(40000) + le16(1) + le16(32) + std::string(24, '\0');
    const std::vector<std::pair<std::string, std::string>> huge = {
        {"jpg", std::string("\xFF\xD8\xFF\xE0", 4) + be16(16) + "JFIF" + std::string(10, '\0') +
                    std::string("\xFF\xC0", 2) + be16(17) + char(8) + be16(20000) + be16(30000) + char(3)},
        {"tif", std::string("II*\0", 4) + le32(8) + le16(2) + le16(256) + le16(4) + le32(1) + le32(30000) +
                    le16(257) + le16(3) + le32(1) + le16(20000) + le16(0)},
        // Big-endian: a short value stands in the first two bytes of its four.
        {"tiff", std::string("MM\0*", 4) + be32(8) + be16(2) + be16(256) + be16(4) + be32(1) + be32(30000) +
                     be16(257) + be16(3) + be32(1) + be16(20000) + be16(0)},
        {"webp", "RIFF" + le32(30) + "WEBPVP8X" + le32(10) + le32(0) + le32(29999).substr(0, 3) +
                     le32(19999).substr(0, 3)},
        {"pcx", std::string("\x0A\x05\x01\x08", 4) + le16(0) + le16(0) + le16(29999) + le16(19999)},
        {"pnm", "P6\n# a comment\n30000 20000\n255\n"},
        {"xpm", "/* XPM */\nstatic char* x[] = {\n\"30000 20000 1 1\",\n"},
        {"lbm",
         "FORM" + be32(40) + "ILBMANNO" + be32(3) + "abc" + zero + "BMHD" + be32(20) + be16(30000) + be16(20000)},
        {"xcf", std::string("gimp xcf file\0", 14) + be32(30000) + be32(20000)},
        {"ico", zero + zero + le16(1) + le16(1) + std::string(12, '\0') + le32(22) + bmpInfo},
    };
    const std::string limit = std::to_string(maxTextureSize());
    for (const auto& [kind, bytes] : huge) {
        const std::string path = dir + "/huge." + kind;
        std::ofstream(path, std::ios::binary) << bytes;
        CTexture texture;
        const std::vector<std::string> lines = loadLines(texture, path);
        EXPECT_FALSE(texture.isLoaded()) << kind;
        EXPECT_EQ("Failed to load the image: " + path + ", Error: 30000 x 20000 pixels, more than the " + limit +
                      " an OpenGL texture can hold here",
                  lines.back())
            << kind;
    }

    const std::vector<std::pair<std::string, std::string>> cutShort = {
        {"bmp", "BM" + le32(70) + le32(0) + le32(54) + le32(40)},
        {"jpg", std::string("\xFF\xD8\xFF\xE0", 4) + be16(16) + "JFIF"},
        {"pnm", "P6\n30000"},
    };
    for (const auto& [kind, bytes] : cutShort) {
        const std::string path = dir + "/short." + kind;
        std::ofstream(path, std::ios::binary) << bytes;
        CTexture texture;
        EXPECT_EQ("Failed to load the image: " + path +
                      ", Error: its header ends, or points outside the file, before it gives the image's size",
                  loadLines(texture, path).back())
            << kind;
    }

    // The big-endian TIFF signature holds a zero byte; cut there, it once made any "MM" file a TIFF.
    for (const std::string& bytes : {std::string("MMMM"), std::string("MM\0\0\0\0\0\0", 8), std::string("MM")}) {
        const std::string path = dir + "/mm.bin";
        std::ofstream(path, std::ios::binary) << bytes;
        uint32_t width = 0, height = 0;
        EXPECT_FALSE(CImageLimits::readSize(path, false, width, height));
        EXPECT_EQ("", CImageLimits::fileRefusal(path, false, 8192)) << bytes.size() << " bytes";
    }

    const std::string edge = dir + "/edge.png";
    writeBlackGreyPng(edge, 16383, 1);
    CTexture widest;
    widest.load(edge);
    EXPECT_TRUE(widest.isLoaded());
    writeBlackGreyPng(edge, 16384, 1);
    CTexture tooWide;
    EXPECT_EQ("Failed to load the image: " + edge +
                  ", Error: 16384 x 1 pixels, wider than the 16383 an SDL 1.2 image can be",
              loadLines(tooWide, edge).back());
}

// Found by fuzzing the BMP path: for this OS/2 header the classic SDL 1.2 returns a 527 x 512 surface
// of 0 bytes per pixel and pitch 0 over a 1-byte buffer, which the conversion once read far past.
TEST_F(TextureLimits, ASurfaceWithoutAPixelLayoutIsRefusedUnread)
{
    const std::vector<uint8_t> bytes = {'B', 'M', 0x26, 0, 0, 0, 0, 0, 0, 0,    0x1a, 0,    0, 0, 0x0c, 0,
                                        0,   0,   0x0f, 2, 0, 2, 0, 1, 0, 0x18, 0,    0,    0, 0, 0x1a, 0,
                                        0,   0,   0x0c, 0, 0, 0, 2, 0, 0, 0,    0,    0x2a, 0, 0, 0};
    const std::string path = dir + "/os2.bmp";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    CStdoutCapture capture;
    capture.start();
    EXPECT_EQ(0u, g_pUtils->loadBMPTexture(path.c_str()));
    // sdl12-compat's reader refuses the header itself ("Unknown pixel format").
    const std::string line = capture.lines().back();
    EXPECT_TRUE(line == "Failed to load the image: " + path +
                            ", Error: the decoder gave pixels of no layout it describes" ||
                line == "Failed to load the image: " + path + ", Error: Unknown pixel format")
        << line;
    CTexture texture;
    loadLines(texture, path);
    EXPECT_FALSE(texture.isLoaded());
}
