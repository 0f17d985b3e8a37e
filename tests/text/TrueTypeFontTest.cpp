// Fonts made from TrueType files at run time, against the glyph sheet the font tool makes from the
// same files: the same texture, the same printed pixels; other cell sizes; every failure a log line.
#include "engine/core/Registry.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const std::string kRegular = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
const std::string kBold = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";
const std::string kNote16 = "Font note: at 16 px these glyphs do not fit their 16x16 cell and were cut: "
                            "regular '|' second style 'i' second style 'j' second style '|'";

std::vector<char> fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the real font tool; returns the sheet's path.
std::string toolSheet(const std::string& regular, const std::string& second)
{
    const std::string out = makeTempDir() + "/sheet.tga";
    const std::string command = std::string("'") + FONT_SHEET_TOOL + "' '" + regular + "' '" + second + "' '" +
                                out + "' 2>/dev/null";
    EXPECT_EQ(0, std::system(command.c_str())) << command;
    return out;
}

std::vector<uint8_t> textureBytes(GLuint name, int size)
{
    std::vector<uint8_t> pixels(std::size_t(size) * size * 4);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return pixels;
}

// The window's pixels in a box given from the top-left corner.
std::vector<uint8_t> windowPixels(int x, int y, int w, int h)
{
    std::vector<uint8_t> pixels(std::size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, 768 - y - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Every printable character in every style, as eight lines from (10, 10).
std::vector<uint8_t> printEverything(CFont& font)
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    std::string first, second;
    for (int c = 32; c < 80; ++c)
        first += char(c);
    for (int c = 80; c < 127; ++c)
        second += char(c);
    font.setScale(1.0f, 1.0f);
    for (signed char style = 0; style < 4; ++style) {
        font.print(10, 10 + style * 40, style, "%s", first.c_str());
        font.printAt(10.0f, 30.0f + style * 40, style, "%s", second.c_str());
    }
    return windowPixels(0, 0, 620, 180);
}

// True when no channel of any pixel differs by more than one step (the batch's rounding).
bool withinAStep(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::abs(int(a[i]) - int(b[i])) > 1)
            return false;
    return true;
}

bool anyInk(const std::vector<uint8_t>& pixels)
{
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        if (pixels[i] != 0)
            return true;
    return false;
}

class TrueTypeFonts : public ::testing::Test {
protected:
    void SetUp() override { sharedEngine(); }
    void TearDown() override { EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError()); }
};

} // namespace

TEST_F(TrueTypeFonts, TheToolStillMakesTheCommittedSheet)
{
    EXPECT_EQ(fileBytes("Data/Font/font.tga"), fileBytes(toolSheet(kRegular, kBold)));
}

TEST_F(TrueTypeFonts, AFontFromTheFilesHoldsAndPrintsTheSamePixelsAsTheToolsSheet)
{
    CStdoutCapture capture;
    capture.start();
    CFont fromSheet;
    ASSERT_TRUE(fromSheet.buildFont(toolSheet(kRegular, kBold).c_str()));
    CFont fromFiles;
    ASSERT_TRUE(fromFiles.buildTrueTypeFont(kRegular.c_str(), kBold.c_str(), 16));
    EXPECT_EQ(std::vector<std::string>{kNote16}, capture.lines());

    EXPECT_EQ(256u, fromFiles.glyphImage.width);
    EXPECT_EQ(textureBytes(fromSheet.glyphImage.textureName, 256),
              textureBytes(fromFiles.glyphImage.textureName, 256));
    const std::vector<uint8_t> expected = printEverything(fromSheet);
    ASSERT_TRUE(anyInk(expected));
    EXPECT_TRUE(expected == printEverything(fromFiles));
}

TEST_F(TrueTypeFonts, WithoutABoldFaceTheSecondSetRepeatsTheFirst)
{
    CStdoutCapture quiet;
    quiet.start();
    CFont font;
    ASSERT_TRUE(font.buildTrueTypeFont(kRegular.c_str(), nullptr, 16));
    CFont twice;
    ASSERT_TRUE(twice.buildFont(toolSheet(kRegular, kRegular).c_str()));
    quiet.lines();
    EXPECT_EQ(textureBytes(twice.glyphImage.textureName, 256), textureBytes(font.glyphImage.textureName, 256));

    glClear(GL_COLOR_BUFFER_BIT);
    font.print(10, 10, 0, "Regular");
    const std::vector<uint8_t> set0 = windowPixels(10, 10, 100, 16);
    glClear(GL_COLOR_BUFFER_BIT);
    font.print(10, 10, 1, "Regular");
    EXPECT_TRUE(anyInk(set0));
    EXPECT_TRUE(set0 == windowPixels(10, 10, 100, 16));
}

TEST_F(TrueTypeFonts, OtherCellSizesScaleTheQuadsTheStepAndTheMeasure)
{
    CStdoutCapture quiet;
    quiet.start();
    std::unique_ptr<CFont> font(g_pFontManager->loadTrueTypeFont(kRegular.c_str(), kBold.c_str(), 24));
    CFont small;
    ASSERT_TRUE(small.buildTrueTypeFont(kRegular.c_str(), kBold.c_str(), 8));
    // An all-white sheet makes every glyph light its whole quad.
    const std::string opaquePath = makeTempDir() + "/opaque.tga";
    {
        std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 32, 8};
        file.resize(file.size() + 256 * 256 * 4, 255);
        std::ofstream(opaquePath, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    CFont opaque;
    ASSERT_TRUE(opaque.buildFont(opaquePath.c_str()));
    quiet.lines();
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(font.get(), g_pFontManager->getFont(g_pFontManager->getFontCount()));

    EXPECT_EQ(384u, font->glyphImage.width);
    EXPECT_EQ(128u, small.glyphImage.width);
    for (CFont* f : {font.get(), &small}) {
        SCOPED_TRACE(f->cellSize);
        const GLuint ownSheet = f->glyphImage.textureName;
        f->glyphImage.textureName = opaque.glyphImage.textureName;
        for (signed char style : {0, 3}) {
            glClear(GL_COLOR_BUFFER_BIT);
            f->print(100, 100, style, "Cells");
            const std::vector<uint8_t> pixels = windowPixels(90, 90, 300, 60);
            int right = -1, bottom = -1;
            for (int row = 0; row < 60; ++row)
                for (int col = 0; col < 300; ++col)
                    if (pixels[(std::size_t(row) * 300 + col) * 4] > 128) {
                        right = std::max(right, 90 + col);
                        bottom = std::max(bottom, 90 + 59 - row);
                    }
            const CVector2 size = f->measureText("Cells", style);
            EXPECT_FLOAT_EQ(float(f->penAdvance * 4 + f->cellSize + (style > 1 ? 1 : 0)), size.x);
            EXPECT_FLOAT_EQ(float(right - 100 + 1), size.x);
            EXPECT_FLOAT_EQ(float(bottom - 100 + 1), size.y);
        }
        f->glyphImage.textureName = ownSheet;
    }
    EXPECT_EQ(18, font->penAdvance);
    EXPECT_EQ(6, small.penAdvance);
    // The real glyphs stay inside the measured box.
    glClear(GL_COLOR_BUFFER_BIT);
    font->print(100, 100, 0, "Cells");
    const std::vector<uint8_t> outside = windowPixels(100 + 18 * 4 + 24, 100, 40, 24);
    EXPECT_FALSE(anyInk(outside));
    EXPECT_TRUE(anyInk(windowPixels(100, 100, 18 * 4 + 24, 24)));
    font.release();  // the font manager owns it
}

TEST_F(TrueTypeFonts, AFileThatCannotBeUsedIsALogLineAndNoFont)
{
    const std::string dir = makeTempDir();
    const std::string garbage = dir + "/garbage.ttf";
    std::ofstream(garbage) << "this is no font at all";
    const unsigned count = g_pFontManager->getFontCount();

    struct Case {
        std::string regular;
        const char* bold;
        int cell;
        std::vector<std::string> lines;
    };
    const std::string missing = dir + "/missing.ttf";
    const std::vector<Case> cases = {
        {missing, nullptr, 16,
         {"Loading Font: " + missing + " at 16 px",
          "Failed to load the font: " + missing + ", Error: FreeType error 0x01 (cannot open resource)"}},
        {garbage, nullptr, 16,
         {"Loading Font: " + garbage + " at 16 px",
          "Failed to load the font: " + garbage + ", Error: FreeType error 0x02 (unknown file format)"}},
        {dir, nullptr, 16,
         {"Loading Font: " + dir + " at 16 px",
          "Failed to load the font: " + dir + ", Error: FreeType error 0x02 (unknown file format)"}},
        // A good regular face does not hide a bad bold one.
        {kRegular, missing.c_str(), 16,
         {"Loading Font: " + kRegular + ", " + missing + " at 16 px",
          "Failed to load the font: " + missing + ", Error: FreeType error 0x01 (cannot open resource)"}},
        {kRegular, nullptr, 5,
         {"Loading Font: " + kRegular + " at 5 px",
          "Failed to load the font: " + kRegular +
              ", Error: no sheet for 5 px cells at 5 px with a 4 px advance (cells are 6 to 64 px)"}},
        {kRegular, nullptr, 65,
         {"Loading Font: " + kRegular + " at 65 px",
          "Failed to load the font: " + kRegular +
              ", Error: no sheet for 65 px cells at 65 px with a 49 px advance (cells are 6 to 64 px)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines[0]);
        CStdoutCapture capture;
        capture.start();
        EXPECT_EQ(nullptr, g_pFontManager->loadTrueTypeFont(c.regular.c_str(), c.bold, c.cell));
        EXPECT_EQ(c.lines, capture.lines());
        EXPECT_EQ(count, g_pFontManager->getFontCount());
    }
    CStdoutCapture capture;
    capture.start();
    EXPECT_EQ(nullptr, g_pFontManager->loadTrueTypeFont(nullptr, nullptr, 16));
    EXPECT_EQ(2u, capture.lines().size());
}

TEST_F(TrueTypeFonts, AFailedRebuildLeavesTheFontAsItWas)
{
    CStdoutCapture quiet;
    quiet.start();
    CFont font;
    ASSERT_TRUE(font.buildTrueTypeFont(kRegular.c_str(), kBold.c_str(), 16));
    const GLuint lists = font.listBase;
    const GLuint sheet = font.glyphImage.textureName;
    const std::vector<uint8_t> before = printEverything(font);
    EXPECT_FALSE(font.buildTrueTypeFont("/nonexistent/font.ttf", nullptr, 24));
    EXPECT_FALSE(font.buildTrueTypeFont(kRegular.c_str(), nullptr, 200));
    quiet.lines();
    EXPECT_EQ(lists, font.listBase);
    EXPECT_EQ(16, font.cellSize);
    EXPECT_TRUE(before == printEverything(font));

    // A successful rebuild gives its old lists and glyph texture back.
    quiet.start();
    ASSERT_TRUE(font.buildTrueTypeFont(kRegular.c_str(), nullptr, 20));
    quiet.lines();
    // Given back, or handed out again to the new ones (Mesa 25 reuses deleted names at once): names
    // still held by the old lists and texture could not be the new ones'.
    EXPECT_TRUE(!glIsList(lists) || lists == font.listBase);
    EXPECT_TRUE(!glIsTexture(sheet) || sheet == font.glyphImage.textureName);
    EXPECT_EQ(20, font.cellSize);
}

TEST_F(TrueTypeFonts, ABatchPrintsFontsOfOtherCellSizesAsPrintDoes)
{
    CStdoutCapture quiet;
    quiet.start();
    CFont large, small;
    ASSERT_TRUE(large.buildTrueTypeFont(kRegular.c_str(), kBold.c_str(), 24));
    ASSERT_TRUE(small.buildTrueTypeFont(kRegular.c_str(), nullptr, 10));
    quiet.lines();
    auto scene = [&](CSpriteBatch* batch) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        const char* text = "Batched gjpq {|} 0123";
        if (batch) {
            batch->begin();
            batch->addText(large, 10, 10, 0, text);
            batch->addText(large, 10, 40, 3, text);
            batch->addText(small, 10, 80, 2, text);
            batch->end();
        } else {
            large.printAt(10, 10, 0, "%s", text);
            large.printAt(10, 40, 3, "%s", text);
            small.printAt(10, 80, 2, "%s", text);
        }
        return windowPixels(0, 0, 600, 100);
    };
    const std::vector<uint8_t> printed = scene(nullptr);
    CSpriteBatch batch;
    const std::vector<uint8_t> batched = scene(&batch);
    ASSERT_TRUE(anyInk(printed));
    EXPECT_TRUE(withinAStep(printed, batched));
}
