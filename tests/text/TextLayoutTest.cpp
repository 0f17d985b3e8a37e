// Mixed-direction text laid out and drawn: the order of the glyphs on each line against the display
// order written by hand from the bidirectional algorithm, each glyph named by FreeType's own character
// map; and the drawn pixels of a Hebrew word inside a Latin line.
#include "engine/text/TextLayout.h"
#include "engine/text/Font.h"
#include "engine/text/FontFace.h"
#include "engine/text/Text.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

using namespace testing_support;

namespace {

const char* const kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const int kSize = 24;
// Stands for a glyph of no single code point's own: an Arabic letter in a joining form.
const uint32_t kJoined = 0;

class BidiLayout : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sharedEngine();
        CStdoutCapture quiet;
        quiet.start();
        font = new CFont();
        EXPECT_TRUE(font->buildTrueTypeFont(kSans, nullptr, kSize));
        quiet.lines();
        // The same file read by FreeType alone names the glyph of each code point.
        ASSERT_EQ(0, FT_Init_FreeType(&library));
        ASSERT_EQ(0, FT_New_Face(library, kSans, 0, &characterMap));
    }
    static void TearDownTestSuite()
    {
        delete font;
        font = nullptr;
        FT_Done_Face(characterMap);
        FT_Done_FreeType(library);
        characterMap = nullptr;
        library = nullptr;
    }
    void TearDown() override
    {
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    // The code points whose glyphs the layout drew, line by line from the top, each line left to
    // right, named from those the expected lines list; any other glyph reads as kJoined. A quad is
    // known by where it samples its page, which is where the face keeps that glyph.
    static std::vector<std::vector<uint32_t>>
    drawnOrder(const std::string& text, const std::vector<std::vector<uint32_t>>& expected,
               CTextLayout::Alignment alignment = CTextLayout::kLeft, float wrapWidth = 0.0f,
               CTextLayout::Direction direction = CTextLayout::kAutoDirection)
    {
        CFontFace* face = font->getFace(kSize, false);
        std::map<std::tuple<unsigned, float, float>, uint32_t> known;
        for (const std::vector<uint32_t>& line : expected)
            for (uint32_t code : line) {
                if (code == kJoined)
                    continue;
                const CFontFace::Glyph& glyph = face->glyph(FT_Get_Char_Index(characterMap, code));
                known[std::make_tuple(glyph.texture, glyph.s0, glyph.t0)] = code;
            }
        CTextLayout layout;
        layout.lay(*face, nullptr, text, alignment, wrapWidth, direction);
        std::vector<std::vector<std::pair<float, uint32_t>>> lines;
        for (const CTextQuad& quad : layout.getQuads()) {
            const std::size_t line = std::size_t((quad.y0 + quad.y1) * 0.5f / face->getLineHeight());
            lines.resize(std::max(lines.size(), line + 1));
            const auto found = known.find(std::make_tuple(quad.texture, quad.s0, quad.t0));
            lines[line].push_back({quad.x0, found == known.end() ? kJoined : found->second});
        }
        std::vector<std::vector<uint32_t>> order;
        for (auto& line : lines) {
            std::stable_sort(line.begin(), line.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            order.emplace_back();
            for (const auto& glyph : line)
                order.back().push_back(glyph.second);
        }
        return order;
    }

    static CFont* font;
    static FT_Library library;
    static FT_Face characterMap;
};

CFont* BidiLayout::font = nullptr;
FT_Library BidiLayout::library = nullptr;
FT_Face BidiLayout::characterMap = nullptr;

// Hebrew alef to tet; Arabic dal and the Arabic-Indic digits one to three.
const uint32_t kAlef = 0x5D0, kBet = 0x5D1, kGimel = 0x5D2, kDalet = 0x5D3, kHe = 0x5D4, kVav = 0x5D5,
               kZayin = 0x5D6, kHet = 0x5D7, kTet = 0x5D8;
const uint32_t kDal = 0x62F, kArabicOne = 0x661, kArabicTwo = 0x662, kArabicThree = 0x663;

}  // namespace

// Each line as the eye reads the screen, left to right, written out by hand from the algorithm's
// rules (spaces have no ink and are left out).
TEST_F(BidiLayout, EachLineIsInDisplayOrder)
{
    struct Case {
        const char* text;
        std::vector<uint32_t> shown;
    };
    const Case cases[] = {
        // A Hebrew word in a Latin line reads right to left between its neighbours.
        {u8"abc \u05D0\u05D1\u05D2 def", {'a', 'b', 'c', kGimel, kBet, kAlef, 'd', 'e', 'f'}},
        // A Hebrew paragraph (its first strong letter): the Latin word keeps its own order inside it.
        {u8"\u05D0\u05D1\u05D2 abc \u05D3\u05D4\u05D5", {kVav, kHe, kDalet, 'a', 'b', 'c', kGimel, kBet, kAlef}},
        // Numbers run left to right inside right-to-left text (I1, I2), here inside a Latin line.
        {u8"abc \u05D0\u05D1\u05D2 123 \u05D3\u05D4\u05D5 def",
         {'a', 'b', 'c', kVav, kHe, kDalet, '1', '2', '3', kGimel, kBet, kAlef, 'd', 'e', 'f'}},
        // Digits do not decide the direction: the first strong character, Hebrew, does (P2).
        {u8"123 \u05D0\u05D1\u05D2", {kGimel, kBet, kAlef, '1', '2', '3'}},
        // Without any strong character the paragraph is left to right.
        {"123 -456.", {'1', '2', '3', '-', '4', '5', '6', '.'}},
        // A bracket pair takes the paragraph's direction around a Latin word (N0) and is mirrored.
        {u8"\u05D0\u05D1\u05D2 (abc)", {'(', 'a', 'b', 'c', ')', kGimel, kBet, kAlef}},
        // Arabic-Indic digits inside Arabic read left to right; the letters right to left around
        // them, in their joining forms but for the last dal, which dal before it does not join.
        {u8"\u0639\u062F\u062F \u0661\u0662\u0663 \u0643\u062A\u0628",
         {kJoined, kJoined, kJoined, kArabicOne, kArabicTwo, kArabicThree, kDal, kJoined, kJoined}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(std::vector<std::vector<uint32_t>>{c.shown}, drawnOrder(c.text, {c.shown}));
    }
}

TEST_F(BidiLayout, AWrappedRightToLeftParagraphStartsOnTheTopLine)
{
    const std::string text = u8"\u05D0\u05D1\u05D2 \u05D3\u05D4\u05D5 \u05D6\u05D7\u05D8";
    const std::vector<std::vector<uint32_t>> expected = {{kGimel, kBet, kAlef},
                                                         {kVav, kHe, kDalet},
                                                         {kTet, kHet, kZayin}};
    // Each word fits the width alone, never two.
    for (CTextLayout::Alignment alignment : {CTextLayout::kLeft, CTextLayout::kRight}) {
        SCOPED_TRACE(alignment);
        EXPECT_EQ(expected, drawnOrder(text, expected, alignment, 60.0f));
    }
    // A Latin paragraph wraps the same way, top line first, with its Hebrew word in the middle line.
    const std::vector<std::vector<uint32_t>> mixed = {{'a', 'b', 'c'}, {kGimel, kBet, kAlef}, {'d', 'e', 'f'}};
    EXPECT_EQ(mixed, drawnOrder(u8"abc \u05D0\u05D1\u05D2 def", mixed, CTextLayout::kLeft, 50.0f));
}

// The alignment is what was asked whatever the direction: a right-to-left line set kLeft starts at
// the left edge, kRight ends at the position.
TEST_F(BidiLayout, AlignmentDoesNotFollowTheDirection)
{
    CFontFace* face = font->getFace(kSize, false);
    CTextLayout layout;
    layout.lay(*face, nullptr, u8"\u05D0\u05D1\u05D2 \u05D3\u05D4\u05D5", CTextLayout::kLeft, 0.0f);
    EXPECT_NEAR(0.0f, layout.left, 3.0f);
    layout.lay(*face, nullptr, u8"\u05D0\u05D1\u05D2 \u05D3\u05D4\u05D5", CTextLayout::kRight, 0.0f);
    EXPECT_NEAR(0.0f, layout.right, 3.0f);
}

TEST_F(BidiLayout, AGivenBaseDirectionOverridesTheFirstStrongCharacter)
{
    const std::vector<std::vector<uint32_t>> hebrewLeft = {{kGimel, kBet, kAlef, 'a', 'b', 'c'}};
    const std::vector<std::vector<uint32_t>> latinLeft = {{'a', 'b', 'c', kGimel, kBet, kAlef}};
    const char* const latinFirst = u8"abc \u05D0\u05D1\u05D2";
    const char* const hebrewFirst = u8"\u05D0\u05D1\u05D2 abc";
    EXPECT_EQ(latinLeft, drawnOrder(latinFirst, latinLeft));
    EXPECT_EQ(hebrewLeft, drawnOrder(latinFirst, hebrewLeft, CTextLayout::kLeft, 0.0f, CTextLayout::kRightToLeft));
    EXPECT_EQ(latinLeft, drawnOrder(hebrewFirst, latinLeft));
    EXPECT_EQ(hebrewLeft,
              drawnOrder(hebrewFirst, hebrewLeft, CTextLayout::kLeft, 0.0f, CTextLayout::kLeftToRight));
}

namespace {

// The window's pixels in a box given from the top-left corner, top row first, red channel only.
std::vector<uint8_t> redRows(int x, int y, int w, int h)
{
    const std::vector<uint8_t> rgba = readBackRgba(x, y, w, h);
    std::vector<uint8_t> red(std::size_t(w) * std::size_t(h));
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            red[std::size_t(row) * std::size_t(w) + std::size_t(col)] =
                rgba[(std::size_t(h - 1 - row) * std::size_t(w) + std::size_t(col)) * 4];
    return red;
}

// Where a letter drawn alone at (x, y) shows up in the line drawn there: the left edge of the column
// box that repeats the letter's inked pixels exactly, or -1.
int whereDrawn(CFont& font, const std::string& letter, const std::string& line, int x, int y, int h)
{
    const int w = 400;
    glClear(GL_COLOR_BUFFER_BIT);
    CText alone(&font, letter, kSize);
    alone.setPosition(float(x), float(y));
    alone.draw();
    const std::vector<uint8_t> mark = redRows(x, y, w, h);
    int markLeft = w, markRight = -1;
    for (std::size_t i = 0; i < mark.size(); ++i)
        if (mark[i] != 0) {
            markLeft = std::min(markLeft, int(i % std::size_t(w)));
            markRight = std::max(markRight, int(i % std::size_t(w)));
        }
    if (markRight < 0)
        return -1;
    glClear(GL_COLOR_BUFFER_BIT);
    CText whole(&font, line, kSize);
    whole.setPosition(float(x), float(y));
    whole.draw();
    const std::vector<uint8_t> drawn = redRows(x, y, w, h);
    for (int shift = -markLeft; shift + markRight < w; ++shift) {
        bool same = true;
        for (int row = 0; row < h && same; ++row)
            for (int col = markLeft; col <= markRight && same; ++col) {
                const uint8_t want = mark[std::size_t(row) * std::size_t(w) + std::size_t(col)];
                same = want == 0 || want == drawn[std::size_t(row) * std::size_t(w) + std::size_t(col + shift)];
            }
        if (same)
            return markLeft + shift;
    }
    return -1;
}

}  // namespace

TEST_F(BidiLayout, TheHebrewWordIsDrawnRightToLeft)
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    const std::string line = u8"abc \u05D0\u05D1\u05D2 def";
    const int alef = whereDrawn(*font, u8"\u05D0", line, 50, 50, 40);
    const int gimel = whereDrawn(*font, u8"\u05D2", line, 50, 50, 40);
    const int c = whereDrawn(*font, "c", line, 50, 50, 40);
    const int d = whereDrawn(*font, "d", line, 50, 50, 40);
    for (int found : {alef, gimel, c, d})
        ASSERT_GE(found, 0);
    // c, then gimel, bet, alef, then d.
    EXPECT_LT(c, gimel);
    EXPECT_LT(gimel, alef);
    EXPECT_LT(alef, d);
}
