// What a font keeps and what a print leaves: faces and pages within the budget however many sizes
// are printed, retained text laid out again after its font lets go of its pages (a budget, a rebuild,
// a new fallback), the texture units as they were, and positions at the ends of int.
#include "engine/text/FaceCache.h"
#include "engine/text/Font.h"
#include "engine/text/FontFace.h"
#include "engine/text/Text.h"
#include "tests/support/TestHarness.h"
#include "tests/support/TextAccess.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

const char* const kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kSerif = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";
const char* const kMono = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

// A 2048-texel page, what every face from 65 px up makes.
const std::size_t kLargePage = std::size_t(2048) * 2048 * 4;

std::vector<uint8_t> drawn(CText& text)
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    text.draw();
    return readBackRgba(0, 0, 400, 120);
}

bool anyInk(const std::vector<uint8_t>& pixels)
{
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        if (pixels[i] != 0)
            return true;
    return false;
}

class FontBudget : public ::testing::Test {
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

}  // namespace

// Each size from 65 px up once kept a 16 MiB page for the font's life: sizes 65 to 76 added 226 MiB.
TEST_F(FontBudget, PrintingAtManySizesKeepsThePagesWithinTheBudget)
{
    CFont sans;
    ASSERT_TRUE(sans.buildTrueTypeFont(kSans, nullptr, 16));
    std::vector<std::unique_ptr<CText>> texts;
    texts.emplace_back(new CText(&sans, "Budget", 65));
    const std::vector<uint8_t> first = drawn(*texts[0]);
    ASSERT_TRUE(anyInk(first));
    // Counted in live pages, not in the process's peak: what Mesa and the allocator keep of freed
    // pages moves the peak by as much as the budget saves, from one run and test order to the next.
    for (int size = 66; size <= 76; ++size) {
        texts.emplace_back(new CText(&sans, "Budget", size));
        drawn(*texts.back());
        EXPECT_LE(sans.getPageCount() * kLargePage, CFaceCache::kPageBudget) << size << " px";
    }
    EXPECT_EQ(CFaceCache::kPageBudget / kLargePage, sans.getPageCount());

    // The first size's face has gone: its text is laid out again on a new page, as it drew before.
    EXPECT_TRUE(first == drawn(*texts[0]));
    EXPECT_EQ(2, CTextAccess::layoutCount(*texts[0]));
    EXPECT_EQ(1, CTextAccess::layoutCount(*texts.back()));
}

TEST_F(FontBudget, FacesBeyondTheirCountGoLeastRecentlyUsedFirst)
{
    CFaceCache cache(kSans, kSans);
    CFontFace* kept = cache.get(10, false);
    const uint64_t stamp = cache.getStamp();
    for (int size = 11; size < 11 + int(CFaceCache::kMaxFaces) + 4; ++size) {
        cache.get(size, false);
        EXPECT_EQ(kept, cache.get(10, false));  // used each time, so never the oldest
        EXPECT_LE(cache.getFaceCount(), CFaceCache::kMaxFaces);
    }
    EXPECT_EQ(CFaceCache::kMaxFaces, cache.getFaceCount());
    EXPECT_GT(cache.getStamp(), stamp);
    EXPECT_EQ(nullptr, cache.get(300, false));
    EXPECT_EQ(nullptr, CFaceCache("/nonexistent.ttf", kSans).get(16, false));
}

// A rebuilt font deleted the pages a CText still drew from: black boxes, or another page's texels
// once the name came back.
TEST_F(FontBudget, RetainedTextDrawsTheNewGlyphsAfterItsFontChanges)
{
    CFont font;
    ASSERT_TRUE(font.buildTrueTypeFont(kSans, nullptr, 24));
    CText text(&font, "Rebuilt \xC7\x84", 40);
    const std::vector<uint8_t> sans = drawn(text);
    ASSERT_TRUE(anyInk(sans));

    ASSERT_TRUE(font.buildTrueTypeFont(kSerif, nullptr, 24));
    CFont serif;
    ASSERT_TRUE(serif.buildTrueTypeFont(kSerif, nullptr, 24));
    CText fresh(&serif, "Rebuilt \xC7\x84", 40);
    const std::vector<uint8_t> expected = drawn(fresh);
    EXPECT_FALSE(expected == sans);
    EXPECT_TRUE(expected == drawn(text));

    // U+01C4 is not in Sans Mono: its box, then the fallback's glyph once one is named.
    CFont mono;
    ASSERT_TRUE(mono.buildTrueTypeFont(kMono, nullptr, 24));
    text.setFont(&mono);
    const std::vector<uint8_t> box = drawn(text);
    mono.setFallback(&font);
    CText withFallback(&mono, "Rebuilt \xC7\x84", 40);
    const std::vector<uint8_t> fallen = drawn(withFallback);
    EXPECT_FALSE(fallen == box);
    EXPECT_TRUE(fallen == drawn(text));
    // The fallback built again lets go of its pages too.
    const int layouts = CTextAccess::layoutCount(text);
    ASSERT_TRUE(font.buildTrueTypeFont(kSans, nullptr, 24));
    CText again(&mono, "Rebuilt \xC7\x84", 40);
    EXPECT_TRUE(drawn(again) == drawn(text));
    EXPECT_EQ(layouts + 1, CTextAccess::layoutCount(text));
}

namespace {

bool enabledOnUnit(int unit)
{
    glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
    const bool on = glIsEnabled(GL_TEXTURE_2D) == GL_TRUE;
    return on;
}

GLint activeUnit()
{
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    return unit - GL_TEXTURE0_ARB;
}

}  // namespace

// With unit 1 active a print turned unit 0's texturing on and left unit 0 active.
TEST_F(FontBudget, APrintWithUnitOneActiveLeavesBothUnitsAsTheyWere)
{
    CFont sheet, trueType;
    ASSERT_TRUE(sheet.buildFont("Data/Font/font.tga"));
    ASSERT_TRUE(trueType.buildTrueTypeFont(kSans, nullptr, 20));
    CText text(&trueType, "Unit", 20);
    const auto each = [&](int pass) {
        switch (pass) {
        case 0:
            sheet.print(0, 0, 2, "Unit");
            break;
        case 1:
            trueType.print(0, 0, 0, "Unit");
            break;
        default:
            text.draw();
        }
    };
    for (const bool unitOneOn : {false, true}) {
        for (int pass = 0; pass < 3; ++pass) {
            glActiveTextureARB(GL_TEXTURE1_ARB);
            if (unitOneOn)
                glEnable(GL_TEXTURE_2D);
            glActiveTextureARB(GL_TEXTURE0_ARB);
            glDisable(GL_TEXTURE_2D);
            glActiveTextureARB(GL_TEXTURE1_ARB);
            glClear(GL_COLOR_BUFFER_BIT);
            each(pass);
            EXPECT_EQ(1, activeUnit()) << pass;
            EXPECT_TRUE(anyInk(readBackRgba(0, 0, 100, 40))) << pass;
            EXPECT_FALSE(enabledOnUnit(0)) << pass;
            EXPECT_EQ(unitOneOn, enabledOnUnit(1)) << pass;
            glDisable(GL_TEXTURE_2D);
            glActiveTextureARB(GL_TEXTURE0_ARB);
        }
    }
}

// print at x = INT_MAX computed x + 1 in int: a signed overflow.
TEST_F(FontBudget, PrintsAtTheEndsOfIntDrawNothingInTheWindow)
{
    CFont sheet, trueType;
    ASSERT_TRUE(sheet.buildFont("Data/Font/font.tga"));
    ASSERT_TRUE(trueType.buildTrueTypeFont(kSans, nullptr, 20));
    glClear(GL_COLOR_BUFFER_BIT);
    for (CFont* font : {&sheet, &trueType}) {
        for (const int at : {INT_MAX, INT_MIN}) {
            for (signed char style = 0; style < 4; ++style) {
                font->print(at, at, style, "Edge");
                font->printColoured(at, 0, style, 1.0f, 1.0f, 1.0f, "Edge");
                font->printStyled(at, 0, style, 1.0f, 1.0f, 1.0f, 1.0f, 2.0f, 2.0f, "Edge");
            }
        }
    }
    EXPECT_FALSE(anyInk(readBackRgba(0, 0, 1024, 768)));
}
