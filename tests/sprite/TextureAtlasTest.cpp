// Atlases from the built make_atlas against the separate images they were packed from, drawn in the
// real window and read back; TexturePacker's and Aseprite's atlases (turned, trimmed and padded
// frames on odd-sized pages) against the pictures their generator says each frame shows, and no
// neighbour's colour off the texel grid; a descriptor in Aseprite's array form; an atlas
// animation's timing on a fake clock; and the one failure line each bad descriptor gets.
#include "engine/sprite/TextureAtlas.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/sprite/AtlasAnimation.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"
#include "tools/PngWriter.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const int kWidth = 1024;
const int kHeight = 768;

Uint32 fakeNow = 0;

Uint32 fakeClock()
{
    return fakeNow;
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Every visible pixel a different colour, some half transparent, inside a transparent border of
// the given widths (left, top, right, bottom), so that trimming, filtering and blending all show.
png::Image bordered(int w, int h, int left, int top, int right, int bottom, int seed)
{
    png::Image image(w, h);
    for (int y = top; y < h - bottom; ++y)
        for (int x = left; x < w - right; ++x) {
            uint8_t* p = &image.rgba[(std::size_t(y) * w + x) * 4];
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = uint8_t((x * 7 + y * 13 + seed) * 5);
            p[3] = uint8_t((x + y + seed) % 5 == 0 ? 128 : 255);
        }
    return image;
}

png::Image solid(int w, int h, uint8_t r, uint8_t g, uint8_t b)
{
    png::Image image(w, h);
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i] = r;
        image.rgba[i + 1] = g;
        image.rgba[i + 2] = b;
        image.rgba[i + 3] = 255;
    }
    return image;
}

void writePng(const std::string& path, const png::Image& image)
{
    std::string error;
    ASSERT_TRUE(png::write(path, image, error)) << error;
}

int runMakeAtlas(const std::string& arguments)
{
    return std::system((std::string("'") + ATLAS_TOOL + "' " + arguments + " 2>/dev/null").c_str());
}

std::vector<uint8_t> readBackBuffer()
{
    std::vector<uint8_t> pixels(std::size_t(kWidth) * kHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Pixels whose colour differs by more than tolerance in any channel, with the first few named.
::testing::AssertionResult sameColours(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& got,
                                       int tolerance)
{
    long differing = 0, lit = 0;
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (std::size_t i = 0; i < expected.size(); i += 4) {
        lit += expected[i] + expected[i + 1] + expected[i + 2] != 0;
        bool differs = false;
        for (int c = 0; c < 3; ++c)
            differs = differs || std::abs(int(expected[i + c]) - int(got[i + c])) > tolerance;
        if (differs && ++differing <= 5)
            result << "(" << i / 4 % kWidth << ", " << kHeight - 1 - i / 4 / kWidth << ") expected "
                   << int(expected[i]) << "," << int(expected[i + 1]) << "," << int(expected[i + 2]) << " got "
                   << int(got[i]) << "," << int(got[i + 1]) << "," << int(got[i + 2]) << "; ";
    }
    if (lit < 1000)
        return ::testing::AssertionFailure() << "the scene drew almost nothing (" << lit << " pixels)";
    return differing == 0 ? ::testing::AssertionSuccess() : result << differing << " pixels differ";
}

// Aseprite's array form: four 8 x 8 frames of one colour each (red, green, blue, white) on a 32 x 8
// page, with their own durations except the last, and two tags.
const char* const kAsepriteArray = R"({ "frames": [
  { "filename": "walk 0.aseprite", "frame": { "x": 0, "y": 0, "w": 8, "h": 8 }, "rotated": false,
    "trimmed": false, "spriteSourceSize": { "x": 0, "y": 0, "w": 8, "h": 8 },
    "sourceSize": { "w": 8, "h": 8 }, "duration": 100 },
  { "filename": "walk 1.aseprite", "frame": { "x": 8, "y": 0, "w": 8, "h": 8 }, "rotated": false,
    "trimmed": false, "spriteSourceSize": { "x": 0, "y": 0, "w": 8, "h": 8 },
    "sourceSize": { "w": 8, "h": 8 }, "duration": 300 },
  { "filename": "walk 2.aseprite", "frame": { "x": 16, "y": 0, "w": 8, "h": 8 }, "rotated": false,
    "trimmed": false, "spriteSourceSize": { "x": 0, "y": 0, "w": 8, "h": 8 },
    "sourceSize": { "w": 8, "h": 8 }, "duration": 50 },
  { "filename": "walk 10.aseprite", "frame": { "x": 24, "y": 2, "w": 8, "h": 6 }, "rotated": false,
    "trimmed": true, "spriteSourceSize": { "x": 0, "y": 2, "w": 8, "h": 6 },
    "sourceSize": { "w": 8, "h": 8 } }
 ],
 "meta": { "app": "https://www.aseprite.org/", "version": "1.3", "image": "strip.png",
  "format": "RGBA8888", "size": { "w": 32, "h": 8 }, "scale": "1",
  "frameTags": [
   { "name": "all", "from": 0, "to": 3, "direction": "forward", "color": "#000000ff" },
   { "name": "bounce", "from": 0, "to": 2, "direction": "pingpong", "color": "#000000ff" }
  ] } })";

// Which of the strip's frames a pixel shows: 1 red, 2 green, 3 blue, 4 white, 0 nothing.
int frameAt(int x, int y)
{
    const Rgba p = readPixel(x, y);
    const int colour = (p.r > 200) * 4 + (p.g > 200) * 2 + (p.b > 200);
    switch (colour) {
    case 4:
        return 1;
    case 2:
        return 2;
    case 1:
        return 3;
    case 7:
        return 4;
    default:
        return colour == 0 ? 0 : -1;
    }
}

// The packers' atlases that tests/data/atlas/make_atlas_corpus.py writes, with the picture each
// frame must show. Tests run from the source tree's root.
const std::string kCorpus = "tests/data/atlas/";

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The frame's untrimmed source picture drawn upright over black, as the generator drew it: RGB rows
// from the top.
std::vector<uint8_t> expectedPicture(const std::string& frameName)
{
    return readBytes(kCorpus + "expected/" + frameName + ".rgb");
}

// Whether the w x h window box at (x, y) shows the expected picture exactly, with the pixels just
// round it still black.
::testing::AssertionResult showsPicture(const std::vector<uint8_t>& expected, int w, int h, int x, int y)
{
    if (expected.size() != std::size_t(w) * h * 3)
        return ::testing::AssertionFailure() << "the expected picture is not " << w << " x " << h;
    const std::vector<uint8_t> box = readBackRgba(x - 1, y - 1, w + 2, h + 2);  // bottom row first
    long differing = 0;
    ::testing::AssertionResult result = ::testing::AssertionFailure();
    for (int row = -1; row <= h; ++row)
        for (int col = -1; col <= w; ++col) {
            const uint8_t* got = &box[(std::size_t(h - row) * (w + 2) + std::size_t(col + 1)) * 4];
            const bool inside = row >= 0 && row < h && col >= 0 && col < w;
            const uint8_t black[3] = {0, 0, 0};
            const uint8_t* want = inside ? &expected[(std::size_t(row) * w + col) * 3] : black;
            if (got[0] == want[0] && got[1] == want[1] && got[2] == want[2])
                continue;
            if (++differing <= 4)
                result << "(" << col << ", " << row << ") is " << int(got[0]) << "," << int(got[1]) << ","
                       << int(got[2]) << ", expected " << int(want[0]) << "," << int(want[1]) << ","
                       << int(want[2]) << "; ";
        }
    return differing == 0 ? ::testing::AssertionSuccess() : result << differing << " pixels differ";
}

// The channel (0 red, 1 green, 2 blue) a frame's picture leaves at 0 and its neighbours do not;
// -1 when none does.
int zeroChannel(const std::vector<uint8_t>& picture)
{
    for (int c = 0; c < 3; ++c) {
        bool zero = true, lit = false;
        for (std::size_t i = 0; i < picture.size(); i += 3) {
            zero = zero && picture[i + std::size_t(c)] == 0;
            lit = lit || picture[i] + picture[i + 1] + picture[i + 2] > 0;
        }
        if (zero && lit)
            return c;
    }
    return -1;
}

// Where the scenes below put frame i.
float sceneX(std::size_t i, float spacing)
{
    return 20.0f + spacing * float(i % 8);
}
float sceneY(std::size_t i, float spacing)
{
    return 20.0f + spacing * float(i / 8);
}

class TextureAtlas : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sharedEngine();
        dir = makeTempDir();
        png::Image strip(32, 8);
        const png::Image colours[4] = {solid(8, 8, 255, 0, 0), solid(8, 8, 0, 255, 0), solid(8, 8, 0, 0, 255),
                                       solid(8, 8, 255, 255, 255)};
        for (int f = 0; f < 4; ++f)
            for (std::size_t row = 0; row < 8; ++row)
                std::copy_n(&colours[f].rgba[row * 32], 32, &strip.rgba[(row * 32 + f * 8) * 4]);
        writePng(dir + "/strip.png", strip);
        writeText(dir + "/walk.json", kAsepriteArray);
    }

    void SetUp() override
    {
        g_pGraphicsCore->set2DState();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        fakeNow = 1000;
        CAtlasAnimation::setClock(fakeClock);
    }
    void TearDown() override
    {
        CAtlasAnimation::setClock(SDL_GetTicks);
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    static std::string dir;
};

std::string TextureAtlas::dir;

// One placement of an image in a scene.
struct Placement {
    float x, y, scale, angle;
};

}  // namespace

// Pixels

TEST_F(TextureAtlas, TrimmedRegionsDrawTheUntrimmedImagesPixels)
{
    const std::string in = dir + "/trim";
    std::filesystem::create_directories(in);
    writePng(in + "/wide.png", bordered(64, 32, 6, 5, 9, 4, 1));
    writePng(in + "/tall.png", bordered(32, 64, 3, 11, 2, 1, 2));
    writePng(in + "/edged.png", bordered(16, 16, 1, 1, 1, 1, 3));
    ASSERT_EQ(0, runMakeAtlas("'" + dir + "/trimmed' '" + in + "'"));

    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(dir + "/trimmed.json");
    const char* names[] = {"edged", "tall", "wide"};
    std::unique_ptr<CTexture> separate[3];
    for (int i = 0; i < 3; ++i)
        separate[i].reset(new CTexture(in + "/" + names[i] + ".png"));
    quiet.lines();
    ASSERT_EQ(3u, atlas.getRegionCount());
    const CAtlasRegion* wide = atlas.find("wide");
    ASSERT_NE(nullptr, wide);
    // The visible 49 x 23 and one transparent pixel round it.
    EXPECT_EQ(51.0f, wide->width);
    EXPECT_EQ(25.0f, wide->height);
    EXPECT_EQ(5.0f, wide->offsetX);
    EXPECT_EQ(4.0f, wide->offsetY);
    EXPECT_EQ(64.0f, wide->sourceWidth);

    struct Case {
        const char* label;
        Placement at;
        int tolerance;
    };
    // Unturned, the same pixels exactly. A turned part's corner comes from sines on the CPU while
    // GL turns the separate image with its own, so a few texture coordinates differ in their last
    // bits and the filter's 8-bit weights by a step on each axis: a channel by 2 at most.
    const Case cases[] = {{"whole pixels", {40, 30, 1, 0}, 0},
                          {"sub-pixel", {40.37f, 30.61f, 1, 0}, 0},
                          {"scaled and turned", {40.3f, 30.7f, 1.5f, 33}, 2},
                          {"shrunk and turned back", {40.6f, 30.2f, 0.75f, -70}, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // Each image in its own place, tinted and a little transparent.
        auto scene = [&](int path) {
            glClear(GL_COLOR_BUFFER_BIT);
            CSpriteBatch batch;
            batch.begin();
            for (int i = 0; i < 3; ++i) {
                const float x = c.at.x + 150.0f * i, y = c.at.y + 20.0f * i;
                const float tint[4] = {1.0f, 0.8f, 0.9f, 0.9f};
                const CAtlasRegion& region = *atlas.find(names[i]);
                if (path == 0)
                    separate[i]->draw(x, y, c.at.scale, c.at.angle, tint[0], tint[1], tint[2], tint[3]);
                else if (path == 1)
                    CTextureAtlas::draw(region, x, y, c.at.scale, c.at.angle, tint[0], tint[1], tint[2], tint[3]);
                else if (path == 2)
                    batch.add(*separate[i], x, y, c.at.scale, c.at.angle, tint[0], tint[1], tint[2], tint[3]);
                else
                    CTextureAtlas::add(batch, region, x, y, c.at.scale, c.at.angle, tint[0], tint[1], tint[2],
                                       tint[3]);
            }
            batch.end();
            return readBackBuffer();
        };
        EXPECT_TRUE(sameColours(scene(0), scene(1), c.tolerance)) << "drawn one by one";
        EXPECT_TRUE(sameColours(scene(2), scene(3), c.tolerance)) << "batched";
    }
}

TEST_F(TextureAtlas, RegionsOfOnePageCostOneDrawCall)
{
    // Six 20 x 20 images, four to a 64 x 64 page with their padding and extrusion.
    const std::string in = dir + "/pages";
    std::filesystem::create_directories(in);
    const uint8_t colours[6][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                   {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
    for (int i = 0; i < 6; ++i)
        writePng(in + "/tile" + std::to_string(i) + ".png",
                 solid(20, 20, colours[i][0], colours[i][1], colours[i][2]));
    ASSERT_EQ(0, runMakeAtlas("--max-size 64 '" + dir + "/paged' '" + in + "'"));
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(dir + "/paged.json");
    quiet.lines();
    ASSERT_EQ(2u, atlas.getPageCount());

    CSpriteBatch batch;
    batch.begin();
    // Page by page, whichever tiles each page got.
    std::vector<const CTexture*> pages;
    for (int i = 0; i < 6; ++i)
        if (std::find(pages.begin(), pages.end(), atlas.getRegion(i)->texture) == pages.end())
            pages.push_back(atlas.getRegion(i)->texture);
    for (const CTexture* page : pages)
        for (int i = 0; i < 6; ++i)
            if (atlas.getRegion(i)->texture == page)
                CTextureAtlas::add(batch, *atlas.getRegion(i), 30.0f * i, 10.0f, 1, 0, 1, 1, 1, 1);
    batch.end();
    EXPECT_EQ(6u, batch.getQuadCount());
    EXPECT_EQ(2u, batch.getDrawCallCount());
    // Each tile came from its own page and place.
    for (int i = 0; i < 6; ++i) {
        const Rgba p = readPixel(30 * i + 10, 20);
        EXPECT_EQ((std::vector<int>{colours[i][0], colours[i][1], colours[i][2]}),
                  (std::vector<int>{p.r, p.g, p.b}))
            << "tile" << i;
    }
}

// A rewrite that failed half-way (a full disk) once left a cut page beside the earlier
// descriptor, so the earlier atlas was lost too. Here the tool's files may not grow past 8 KiB.
TEST_F(TextureAtlas, AFailedRewriteLeavesTheEarlierAtlasWhole)
{
    const std::string in = dir + "/rewrite", base = dir + "/kept";
    std::filesystem::create_directories(in);
    writePng(in + "/small.png", solid(8, 8, 255, 0, 0));
    ASSERT_EQ(0, runMakeAtlas("'" + base + "' '" + in + "'"));
    const auto bytes = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    const std::string page = bytes(base + "-0.png"), descriptor = bytes(base + ".json");

    png::Image noise(128, 128);  // about 64 KiB however it is compressed
    uint32_t state = 1;
    for (uint8_t& value : noise.rgba)
        value = uint8_t((state = state * 1664525u + 1013904223u) >> 24);
    writePng(in + "/noise.png", noise);
    const std::string limited = "bash -c \"trap '' XFSZ; ulimit -f 8; exec '" + std::string(ATLAS_TOOL) + "' '" +
                                base + "' '" + in + "'\" 2>/dev/null";
    EXPECT_NE(0, std::system(limited.c_str()));
    EXPECT_EQ(page, bytes(base + "-0.png"));
    EXPECT_EQ(descriptor, bytes(base + ".json"));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename().string().rfind("kept", 0) == 0)
            left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ((std::vector<std::string>{"kept-0.png", "kept.json"}), left) << "a temporary was left behind";

    ASSERT_EQ(0, runMakeAtlas("'" + base + "' '" + in + "'"));
    EXPECT_NE(std::string::npos, bytes(base + ".json").find("\"noise\""));
}

// Other packers' descriptors and animations

TEST_F(TextureAtlas, ReadsAsepritesArrayFormWithItsTags)
{
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(dir + "/walk.json");
    quiet.lines();
    ASSERT_EQ(4u, atlas.getRegionCount());
    ASSERT_EQ(2u, atlas.getDescriptor().getTags().size());
    EXPECT_EQ(CAtlasDescriptor::Direction::PingPong, atlas.getDescriptor().findTag("bounce")->direction);

    // Each name draws its own colour; the trimmed one two rows down, where it lay in its source.
    CTextureAtlas::draw(*atlas.find("walk 1.aseprite"), 100, 100, 1, 0, 1, 1, 1, 1);
    CTextureAtlas::draw(*atlas.find("walk 10.aseprite"), 120, 100, 1, 0, 1, 1, 1, 1);
    EXPECT_EQ(2, frameAt(104, 104));
    EXPECT_EQ(0, frameAt(124, 101));
    EXPECT_EQ(4, frameAt(124, 102));

    // Names by prefix go in numeric order: 0, 1, 2, 10.
    CAtlasAnimation byName;
    ASSERT_TRUE(byName.setFramesByPrefix(atlas, "walk "));
    ASSERT_EQ(4u, byName.getFrameCount());
    EXPECT_EQ(atlas.find("walk 10.aseprite")->region.left, byName.getFrame(3)->region.left);
}

TEST_F(TextureAtlas, ATagsFramesShowForTheirOwnDurationsAndTheSpeedForTheRest)
{
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(dir + "/walk.json");
    quiet.lines();
    ASSERT_TRUE(atlas.isLoaded());
    CAtlasAnimation walk;
    ASSERT_TRUE(walk.setFramesByTag(atlas, "all"));
    walk.setSpeed(4);  // 250 ms for the last frame, which has no duration
    walk.setPosition(200, 200);
    // The time of each draw, the frame it showed and the frame the next draw shows.
    const struct {
        Uint32 now;
        int shown;
        unsigned next;
    } steps[] = {{1000, 1, 1}, {1100, 1, 1}, {1101, 1, 2}, {1401, 2, 2}, {1402, 2, 3},
                 {1452, 3, 3}, {1453, 3, 4}, {1703, 4, 4}, {1704, 4, 1}, {1705, 1, 1}};
    for (const auto& step : steps) {
        fakeNow = step.now;
        glClear(GL_COLOR_BUFFER_BIT);
        walk.draw();
        EXPECT_EQ(step.shown, frameAt(204, 206)) << "at " << step.now;
        EXPECT_EQ(step.next, walk.getCurrentFrame()) << "at " << step.now;
    }

    // There and back: red, green, blue, green, red; played once it stays on red, looped it goes on
    // with green.
    CAtlasAnimation bounce;
    ASSERT_TRUE(bounce.setFramesByTag(atlas, "bounce"));
    ASSERT_EQ(5u, bounce.getFrameCount());
    std::vector<unsigned> once, looped;
    for (int i = 0; i < 6; ++i) {
        fakeNow += 1000;
        once.push_back(bounce.getCurrentFrame());
        bounce.drawOnce(CVector2(300, 300));
    }
    bounce.rewind();
    for (int i = 0; i < 7; ++i) {
        fakeNow += 1000;
        looped.push_back(bounce.getCurrentFrame());
        bounce.draw(CVector2(300, 300));
    }
    EXPECT_EQ((std::vector<unsigned>{1, 2, 3, 4, 5, 5}), once);
    EXPECT_EQ((std::vector<unsigned>{1, 2, 3, 4, 5, 2, 3}), looped);
    EXPECT_EQ(atlas.find("walk 0.aseprite")->region.left, bounce.getFrame(4)->region.left);
}

TEST_F(TextureAtlas, PackersFramesShowTheirSourcePicturesUprightWhetherTrimmedTurnedOrPadded)
{
    // TexturePacker's two forms store some frames turned; Aseprite's puts inner padding round each.
    for (const char* file : {"texturepacker-hash.json", "texturepacker-array.json", "aseprite.json"}) {
        SCOPED_TRACE(file);
        CStdoutCapture quiet;
        quiet.start();
        CTextureAtlas atlas(kCorpus + file);
        quiet.lines();
        ASSERT_TRUE(atlas.isLoaded());
        const std::vector<CAtlasDescriptor::Frame>& frames = atlas.getDescriptor().getFrames();
        for (int path = 0; path < 2; ++path) {
            glClear(GL_COLOR_BUFFER_BIT);
            CSpriteBatch batch;
            batch.begin();
            for (std::size_t i = 0; i < frames.size(); ++i) {
                const float x = sceneX(i, 40.0f), y = sceneY(i, 40.0f);
                if (path == 0)
                    CTextureAtlas::draw(*atlas.getRegion(i), x, y, 1, 0, 1, 1, 1, 1);
                else
                    CTextureAtlas::add(batch, *atlas.getRegion(i), x, y, 1, 0, 1, 1, 1, 1);
            }
            batch.end();
            for (std::size_t i = 0; i < frames.size(); ++i)
                EXPECT_TRUE(showsPicture(expectedPicture(frames[i].name), int(frames[i].sourceWidth),
                                         int(frames[i].sourceHeight), int(sceneX(i, 40.0f)),
                                         int(sceneY(i, 40.0f))))
                    << frames[i].name << (path == 0 ? " drawn" : " batched");
        }
    }
}

TEST_F(TextureAtlas, AnAnimationShowsTurnedFramesUpright)
{
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(kCorpus + "texturepacker-hash.json");
    quiet.lines();
    CAtlasAnimation animation;
    ASSERT_TRUE(animation.setFramesByPrefix(atlas, "pic"));
    ASSERT_EQ(12u, animation.getFrameCount());
    // Drawn and batched by turns; each timed draw shows frame picN and then steps on.
    for (unsigned n = 1; n <= animation.getFrameCount(); ++n) {
        const CAtlasDescriptor::Frame* shown = nullptr;
        for (const CAtlasDescriptor::Frame& frame : atlas.getDescriptor().getFrames())
            if (frame.name.rfind("pic" + std::to_string(n) + "-", 0) == 0)
                shown = &frame;
        ASSERT_NE(nullptr, shown);
        fakeNow += 51;
        glClear(GL_COLOR_BUFFER_BIT);
        CSpriteBatch batch;
        batch.begin();
        if (n % 2 == 0)
            animation.drawOnce(CVector2(100, 60));
        else
            animation.drawOnce(batch, CVector2(100, 60));
        batch.end();
        EXPECT_TRUE(
            showsPicture(expectedPicture(shown->name), int(shown->sourceWidth), int(shown->sourceHeight), 100, 60))
            << shown->name;
    }
}

// The frame that lies apart keeps its exact edges, so wherever a pixel's centre meets a texel's
// centre it shows that texel unmixed: each pixel turned half round or a quarter round, and every
// third pixel of the picture three times enlarged.
TEST_F(TextureAtlas, ATurnedFrameKeepsItsOrientationScaledAndTurned)
{
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(kCorpus + "texturepacker-hash.json");
    quiet.lines();
    const std::size_t index = atlas.getDescriptor().findFrame("pic12-alone.png");
    ASSERT_LT(index, atlas.getRegionCount());
    const CAtlasRegion& alone = *atlas.getRegion(index);
    ASSERT_TRUE(alone.rotated);
    const std::vector<uint8_t> expected = expectedPicture("pic12-alone.png");
    const int w = int(alone.sourceWidth), h = int(alone.sourceHeight), x = 200, y = 100;
    // Where source pixel (u, v)'s centre lands, relative to (x, y): across, then down.
    const struct {
        float scale, angle;
        int (*across)(int u, int v, int w, int h);
        int (*down)(int u, int v, int w, int h);
    } cases[] = {
        {1, 180, [](int u, int, int w, int) { return w - 1 - u; },
         [](int, int v, int, int h) { return h - 1 - v; }},
        // Clockwise on the screen, about the centre: the top row becomes the right column.
        {1, 90, [](int, int v, int w, int h) { return (w + h) / 2 - 1 - v; },
         [](int u, int, int w, int h) { return u + (h - w) / 2; }},
        {3, 0, [](int u, int, int, int) { return 3 * u + 1; }, [](int, int v, int, int) { return 3 * v + 1; }},
    };
    for (const auto& c : cases) {
        for (int path = 0; path < 2; ++path) {
            SCOPED_TRACE("scale " + std::to_string(c.scale) + ", angle " + std::to_string(c.angle) +
                         (path == 0 ? ", drawn" : ", batched"));
            glClear(GL_COLOR_BUFFER_BIT);
            CSpriteBatch batch;
            batch.begin();
            if (path == 0)
                CTextureAtlas::draw(alone, float(x), float(y), c.scale, c.angle, 1, 1, 1, 1);
            else
                CTextureAtlas::add(batch, alone, float(x), float(y), c.scale, c.angle, 1, 1, 1, 1);
            batch.end();
            int differing = 0;
            for (int v = 0; v < h; ++v)
                for (int u = 0; u < w; ++u) {
                    const Rgba got = readPixel(x + c.across(u, v, w, h), y + c.down(u, v, w, h));
                    const uint8_t* want = &expected[(std::size_t(v) * w + u) * 3];
                    if ((got.r != want[0] || got.g != want[1] || got.b != want[2]) && ++differing <= 3)
                        ADD_FAILURE() << "source pixel (" << u << ", " << v << ") shows " << int(got.r) << ","
                                      << int(got.g) << "," << int(got.b) << ", expected " << int(want[0]) << ","
                                      << int(want[1]) << "," << int(want[2]);
                }
            EXPECT_EQ(0, differing);
        }
    }
}

// The page's frames touch, and those on its left and right edges touch through GL_REPEAT. Drawn
// off the texel grid, a frame's zero channel must stay 0 in every pixel.
TEST_F(TextureAtlas, FilteringNeverReachesANeighbouringFrame)
{
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(kCorpus + "texturepacker-hash.json");
    quiet.lines();
    ASSERT_TRUE(atlas.isLoaded());
    const std::vector<CAtlasDescriptor::Frame>& frames = atlas.getDescriptor().getFrames();
    const struct {
        const char* label;
        float dx, dy, scale, angle;
        float cameraX, cameraY;  // a translation of the model-view matrix
    } cases[] = {{"a fraction of a pixel off", 0.37f, 0.61f, 1, 0, 0, 0},
                 {"enlarged", 0.25f, 0.5f, 2.6f, 0, 0, 0},
                 {"shrunk", 0.3f, 0.3f, 0.7f, 0, 0, 0},
                 {"turned", 0.4f, 0.2f, 1.8f, 33, 0, 0},
                 {"at whole pixels under a camera a fraction of a pixel off", 0, 0, 1, 0, 0.5f, 0.25f}};
    const float spacing = 80.0f;
    for (const auto& c : cases) {
        for (int path = 0; path < 2; ++path) {
            SCOPED_TRACE(std::string(c.label) + (path == 0 ? ", drawn" : ", batched"));
            glClear(GL_COLOR_BUFFER_BIT);
            glPushMatrix();
            glTranslatef(c.cameraX, c.cameraY, 0.0f);
            CSpriteBatch batch;
            batch.begin();
            for (std::size_t i = 0; i < frames.size(); ++i) {
                const float x = sceneX(i, spacing) + c.dx, y = sceneY(i, spacing) + c.dy;
                if (path == 0)
                    CTextureAtlas::draw(*atlas.getRegion(i), x, y, c.scale, c.angle, 1, 1, 1, 1);
                else
                    CTextureAtlas::add(batch, *atlas.getRegion(i), x, y, c.scale, c.angle, 1, 1, 1, 1);
            }
            batch.end();
            glPopMatrix();
            for (std::size_t i = 0; i < frames.size(); ++i) {
                const int zero = zeroChannel(expectedPicture(frames[i].name));
                ASSERT_GE(zero, 0) << frames[i].name;
                const int boxX = int(sceneX(i, spacing)) - 15, boxY = int(sceneY(i, spacing)) - 15;
                const std::vector<uint8_t> box = readBackRgba(boxX, boxY, int(spacing), int(spacing));
                long lit = 0, bled = 0;
                for (std::size_t p = 0; p < box.size(); p += 4) {
                    lit += box[p] + box[p + 1] + box[p + 2] > 0;
                    bled += box[p + std::size_t(zero)] != 0;
                }
                EXPECT_GT(lit, 0) << frames[i].name;
                EXPECT_EQ(0, bled) << frames[i].name << " shows " << bled << " pixels with another frame's colour";
            }
        }
    }
}

// Failures

// A region kept past its atlas's next load, or past the atlas, once drew from a page that was gone.
TEST_F(TextureAtlas, ARegionKeptPastALoadOrItsAtlasIsStaleAndDrawsNothingWithOneLine)
{
    const std::string file = dir + "/walk.json";
    std::unique_ptr<CTextureAtlas> atlas(new CTextureAtlas());
    CStdoutCapture capture;
    capture.start();
    ASSERT_TRUE(atlas->load(file));
    const CAtlasRegion kept = *atlas->find("walk 1.aseprite");
    EXPECT_FALSE(kept.isStale());
    ASSERT_TRUE(atlas->load(file));  // the same file again: new pages all the same
    capture.lines();
    capture.start();
    EXPECT_TRUE(kept.isStale());
    CSpriteBatch batch;
    batch.begin();
    CTextureAtlas::add(batch, kept, 100, 100, 1, 0, 1, 1, 1, 1);
    batch.addAtlasRegion(kept, 100, 100, 1, 0, 1, 1, 1, 1);
    batch.end();
    CTextureAtlas::draw(kept, 100, 100, 1, 0, 1, 1, 1, 1);
    EXPECT_EQ(0, frameAt(104, 104));
    const std::string stale =
        "Skipped drawing a stale atlas region: its atlas has loaded again or is gone since the region was taken";
    EXPECT_EQ(std::vector<std::string>{stale}, capture.lines());

    // Taken again, it draws; once the atlas is gone, that one is stale too.
    capture.start();
    const CAtlasRegion fresh = *atlas->find("walk 1.aseprite");
    EXPECT_FALSE(fresh.isStale());
    CTextureAtlas::draw(fresh, 100, 100, 1, 0, 1, 1, 1, 1);
    EXPECT_EQ(2, frameAt(104, 104));
    atlas.reset();
    EXPECT_TRUE(fresh.isStale());
    glClear(GL_COLOR_BUFFER_BIT);
    CTextureAtlas::draw(fresh, 100, 100, 1, 0, 1, 1, 1, 1);
    EXPECT_EQ(0, frameAt(104, 104));
    EXPECT_EQ(std::vector<std::string>{stale}, capture.lines());
    EXPECT_FALSE(CAtlasRegion{}.isStale()) << "a region no atlas made";
}

TEST_F(TextureAtlas, EachBadDescriptorGetsOneLineAndLeavesTheAtlasEmpty)
{
    writePng(dir + "/page64.png", solid(64, 64, 255, 255, 255));
    // A descriptor around one frame's fields and the meta fields.
    auto descriptor = [](const std::string& frame, const std::string& meta) {
        return R"({"frames": {"a": {)" + frame + R"(}}, "meta": {)" + meta + "}}";
    };
    const std::string rect = R"("frame": {"x": 0, "y": 0, "w": 16, "h": 16})";
    const std::string page = R"("image": "page64.png", "size": {"w": 64, "h": 64})";
    const struct {
        const char* file;
        std::string text;  // empty: the file is not written
        std::string error;
    } cases[] = {
        {"missing.json", "", "the file cannot be opened: No such file or directory"},
        {"frames.json", R"({"meta": {)" + page + "}}", "frames is missing"},
        {"type.json", descriptor(R"("frame": {"x": 0, "y": 0, "w": "16", "h": 16})", page),
         "frame \"a\": frame.w is not a whole number"},
        {"negative.json", descriptor(R"("frame": {"x": 0, "y": -1, "w": 16, "h": 16})", page),
         "frame \"a\": frame.y is negative"},
        {"size.json", descriptor(rect, R"("image": "page64.png")"), "meta.size is missing"},
        {"image.json", descriptor(rect, R"("image": "nothere.png", "size": {"w": 64, "h": 64})"),
         "the page image " + dir + "/nothere.png does not exist"},
        {"overflow.json", descriptor(R"("frame": {"x": 4294967296, "y": 0, "w": 16, "h": 16})", page),
         "frame \"a\": frame.x is larger than 65535"},
        {"huge.json", descriptor(rect, R"("image": "page64.png", "size": {"w": 100000, "h": 64})"),
         "meta.size.w is larger than 65535"},
        {"outside.json", descriptor(R"("frame": {"x": 60, "y": 0, "w": 16, "h": 16})", page),
         "frame \"a\" (at 60, 0, 16 x 16) lies outside its page (64 x 64)"},
        {"source.json",
         descriptor(rect + R"(, "spriteSourceSize": {"x": 4, "y": 0, "w": 16, "h": 16},
                                    "sourceSize": {"w": 16, "h": 16})",
                    page),
         "frame \"a\"'s kept part (at 4, 0) lies outside its source size (16 x 16)"},
        // Turned, a 10 x 20 frame covers 20 x 10 pixels of the page.
        {"rotated.json", descriptor(R"("frame": {"x": 50, "y": 0, "w": 10, "h": 20}, "rotated": true)", page),
         "frame \"a\" (at 50, 0, 20 x 10) lies outside its page (64 x 64)"},
        // Inner padding is as many pixels on every side; anything else would be a scaled frame.
        {"scaled.json",
         descriptor(R"("frame": {"x": 0, "y": 0, "w": 18, "h": 17},
                       "spriteSourceSize": {"x": 0, "y": 0, "w": 16, "h": 16})",
                    page),
         "frame \"a\": spriteSourceSize is 16 x 16, the frame 18 x 17"},
        {"tag.json", descriptor(rect, page + R"(, "frameTags": [{"name": "run", "from": 0, "to": 5}])"),
         "tag \"run\": to (5) is past the last of the 1 frames"},
        // A name given twice is refused in both forms alike; the JSON parser alone would keep the
        // hash's last.
        {"twice-hash.json",
         R"({"frames": {"a": {)" + rect + R"(}, "b": {)" + rect + R"(}, "a": {)" + rect + R"(}}, "meta": {)" +
             page + "}}",
         "the frame name \"a\" appears twice"},
        {"twice-array.json",
         R"({"frames": [{"filename": "a", )" + rect + R"(}, {"filename": "b", )" + rect +
             R"(}, {"filename": "a", )" + rect + R"(}], "meta": {)" + page + "}}",
         "the frame name \"a\" appears twice"},
        // Made a folder below: it opens, and once seemed to be larger than the size cap.
        {"folder.json", "", "it is not a regular file"},
    };
    std::filesystem::create_directory(dir + "/folder.json");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir + "/" + c.file;
        if (!c.text.empty())
            writeText(path, c.text);
        CStdoutCapture capture;
        capture.start();
        CTextureAtlas atlas;
        EXPECT_FALSE(atlas.load(path));
        EXPECT_EQ((std::vector<std::string>{"Loading Atlas: " + path,
                                            "Failed to load the atlas: " + path + ", Error: " + c.error}),
                  capture.lines());
        EXPECT_FALSE(atlas.isLoaded());
        EXPECT_EQ(0u, atlas.getRegionCount());
        EXPECT_EQ(nullptr, atlas.find("a"));
    }

    // Not JSON: the parser's own words, on one line.
    const std::string broken = dir + "/broken.json";
    writeText(broken, "{ \"frames\": [\n");
    // The page loads but is not the size the descriptor says.
    const std::string small = dir + "/small.json";
    writeText(small, descriptor(rect, R"("image": "blank.png", "size": {"w": 64, "h": 64})"));
    writePng(dir + "/blank.png", png::Image(32, 8));
    CStdoutCapture capture;
    capture.start();
    CTextureAtlas atlas;
    atlas.load(broken);
    const bool loadedOnce = atlas.load(small);
    // Nothing to animate and nothing drawn.
    CAtlasAnimation animation;
    const bool tagged = animation.setFramesByTag(atlas, "run");
    animation.draw();
    CTextureAtlas::draw(CAtlasRegion{}, 0, 0, 1, 0, 1, 1, 1, 1);
    EXPECT_EQ(0, frameAt(4, 4));
    std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(6u, lines.size());
    const std::string parserLine =
        "Failed to load the atlas: " + broken + ", Error: the JSON does not parse: [json.exception.parse_error";
    EXPECT_EQ(parserLine, lines[1].substr(0, parserLine.size()));
    lines[1] = "(the parser's line)";
    EXPECT_EQ((std::vector<std::string>{"Loading Atlas: " + broken, "(the parser's line)",
                                        "Loading Atlas: " + small, "Loading Texture: " + dir + "/blank.png",
                                        "Failed to load the atlas: " + small + ", Error: the page image " + dir +
                                            "/blank.png is 32 x 8 pixels, the descriptor says 64 x 64",
                                        "No frame tag run in the atlas: "}),
              lines);
    EXPECT_FALSE(loadedOnce);
    EXPECT_FALSE(tagged);
    EXPECT_EQ(0u, animation.getFrameCount());
    EXPECT_EQ(0u, animation.getCurrentFrame());
}

// A hostile descriptor of 100,000 nested arrays once overflowed the stack. Nesting is refused
// before any tree is built, wherever it lies; 64 levels still read on to the next check.
TEST_F(TextureAtlas, ADeeplyNestedDescriptorIsRefusedWithOneLine)
{
    const std::string page = R"("meta": {"image": "strip.png", "size": {"w": 32, "h": 8}})";
    auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    const struct {
        const char* file;
        std::string text;
        std::string error;
    } cases[] = {
        {"deep-root.json", nested(100000), "the JSON is nested more than 64 deep"},
        {"deep-frame.json", "{" + page + R"(, "frames": {"a": {"duration": )" + nested(100000) + "}}}",
         "the JSON is nested more than 64 deep"},
        {"deep-65.json", "{" + page + R"(, "frames": )" + nested(64) + "}",
         "the JSON is nested more than 64 deep"},
        {"deep-64.json", "{" + page + R"(, "frames": )" + nested(63) + "}", "frames[0] is not an object"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir + "/" + c.file;
        writeText(path, c.text);
        CStdoutCapture capture;
        capture.start();
        CTextureAtlas atlas;
        EXPECT_FALSE(atlas.load(path));
        EXPECT_EQ((std::vector<std::string>{"Loading Atlas: " + path,
                                            "Failed to load the atlas: " + path + ", Error: " + c.error}),
                  capture.lines());
        EXPECT_EQ(0u, atlas.getRegionCount());
    }
}

// 40,000 frames in tall columns once took seconds to load: finding the frames beside each one
// looked at every frame of its column. Its steps now grow as n log n (the old scan took some n^2).
// Four columns of 10,000, as no GL texture is 40,000 texels tall.
TEST_F(TextureAtlas, FindingTouchingFramesOfTallColumnsTakesNLogNSteps)
{
    const std::size_t n = 40000, rows = 10000;
    writePng(dir + "/columns.png", png::Image(16, rows));
    std::string text = R"({"meta": {"image": "columns.png", "size": {"w": 16, "h": 10000}}, "frames": [)";
    for (std::size_t i = 0; i < n; ++i)
        text += std::string(i ? "," : "") + R"({"filename": "f)" + std::to_string(i) + R"(", "frame": {"x": )" +
                std::to_string(4 * (i / rows)) + R"(, "y": )" + std::to_string(i % rows) + R"(, "w": 2, "h": 1}})";
    writeText(dir + "/columns.json", text + "]}");
    const uint64_t before = CTextureAtlas::touchingSteps();
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(dir + "/columns.json");
    quiet.lines();
    ASSERT_EQ(n, atlas.getRegionCount());
    EXPECT_LT(CTextureAtlas::touchingSteps() - before, uint64_t(1000 * n));
    // Every frame has one above and one below (the first's is the last, across the repeating
    // page's edge) and nothing left or right of it: inset at the top and bottom only.
    const float down = 0.5f / float(rows);
    for (std::size_t i = 0; i < n; ++i) {
        const CAtlasRegion& region = *atlas.getRegion(i);
        ASSERT_EQ(region.region.left, region.inner.left) << i;
        ASSERT_EQ(region.region.right, region.inner.right) << i;
        ASSERT_FLOAT_EQ(region.region.top - down, region.inner.top) << i;
        ASSERT_FLOAT_EQ(region.region.bottom + down, region.inner.bottom) << i;
    }
}

// The hash form's frames keep the file's order (which tags count in) however many there are, and
// reading them takes time in proportion to the text: 100,000 once took minutes.
TEST(AtlasDescriptor, ManyFramesInTheHashFormKeepTheFilesOrder)
{
    const std::size_t n = 100000;
    // Names whose file order is neither sorted nor reverse-sorted.
    auto name = [](std::size_t i) { return std::to_string((i * 7919) % 100003); };
    std::string text = R"({"meta": {"image": "p.png", "size": {"w": 1000, "h": 100}, )"
                       R"("frameTags": [{"name": "last", "from": 99998, "to": 99999}]}, "frames": {)";
    for (std::size_t i = 0; i < n; ++i)
        text += std::string(i ? "," : "") + "\"" + name(i) + R"(": {"frame": {"x": )" + std::to_string(i % 1000) +
                R"(, "y": )" + std::to_string(i / 1000) + R"(, "w": 1, "h": 1}})";
    CAtlasDescriptor descriptor;
    ASSERT_TRUE(descriptor.parse(text + "}}")) << descriptor.getError();
    ASSERT_EQ(n, descriptor.getFrames().size());
    for (std::size_t i = 0; i < n; ++i) {
        ASSERT_EQ(name(i), descriptor.getFrames()[i].name);
        ASSERT_EQ(i % 1000, descriptor.getFrames()[i].x);
        ASSERT_EQ(i, descriptor.findFrame(name(i)));
    }
    ASSERT_NE(nullptr, descriptor.findTag("last"));
}

// On game time the tag's durations (100, 300, 50 ms and 250 from speed 4) are kept to the
// millisecond, a long step goes round whole loops at once, and played once it stops on the last.
TEST_F(TextureAtlas, OnGameTimeATagKeepsItsDurationsPausesAndScales)
{
    CStdoutCapture quiet;
    quiet.start();
    CTextureAtlas atlas(dir + "/walk.json");
    quiet.lines();
    ASSERT_TRUE(atlas.isLoaded());
    CAtlasAnimation walk;
    ASSERT_TRUE(walk.setFramesByTag(atlas, "all"));
    walk.setSpeed(4);
    const struct {
        float seconds;
        unsigned next;
    } steps[] = {{0.099f, 1}, {0.001f, 2}, {0.3f, 3}, {0.05f, 4}, {0.25f, 1}, {7.1f, 2}, {0.299f, 2}, {0.001f, 3}};
    for (const auto& step : steps) {
        walk.update(step.seconds);
        EXPECT_EQ(step.next, walk.getCurrentFrame()) << "after " << step.seconds;
    }
    // Draws on the wall clock no longer step it.
    fakeNow += 100000;
    glClear(GL_COLOR_BUFFER_BIT);
    walk.draw(CVector2(200, 200));
    EXPECT_EQ(3, frameAt(204, 204));
    EXPECT_EQ(3u, walk.getCurrentFrame());
    // Paused, nothing moves; at half speed, the 50 ms frame takes 0.1 s.
    walk.setPaused(true);
    walk.update(5.0f);
    EXPECT_EQ(3u, walk.getCurrentFrame());
    walk.setPaused(false);
    walk.setTimeScale(0.5f);
    walk.update(0.099f);
    EXPECT_EQ(3u, walk.getCurrentFrame());
    walk.update(0.001f);
    EXPECT_EQ(4u, walk.getCurrentFrame());

    // There and back once: red, green, blue, green, red, and it stays on red.
    CAtlasAnimation bounce;
    ASSERT_TRUE(bounce.setFramesByTag(atlas, "bounce"));
    bounce.updateOnce(100.0f);
    EXPECT_EQ(5u, bounce.getCurrentFrame());
    bounce.updateOnce(1.0f);
    EXPECT_EQ(5u, bounce.getCurrentFrame());
}
