// The font list: numbering from 1, the last font for numbers out of range, the default font.
#include "engine/text/FontManager.h"
#include "engine/core/Registry.h"
#include "engine/text/Font.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

using namespace testing_support;

TEST(FontManager, NumbersCountFromOneAndOutOfRangeGivesTheLastFont)
{
    CFontManager manager;
    EXPECT_EQ(nullptr, manager.getFont(1));
    EXPECT_EQ(nullptr, manager.getFont(0));
    CFont a, b, c;
    manager.addFont(&a);
    EXPECT_EQ(&a, manager.getFont(0));
    EXPECT_EQ(&a, manager.getFont(1));
    EXPECT_EQ(&a, manager.getFont(99));
    manager.addFont(&b);
    manager.addFont(&c);
    EXPECT_EQ(&b, manager.getFont(2));
    EXPECT_EQ(&c, manager.getFont(3));
    EXPECT_EQ(&c, manager.getFont(4));
    EXPECT_EQ(&c, manager.getFont(0));
    EXPECT_EQ(3u, manager.getFontCount());
}

TEST(FontManager, LoadFontLogsItsLineAndBuildsTheLists)
{
    sharedEngine();
    CFontManager manager;
    CStdoutCapture capture;
    capture.start();
    manager.loadFont("Data/Font/font.tga");
    EXPECT_EQ(std::vector<std::string>{"Loading Font: Data/Font/font.tga"}, capture.lines());
    CFont* font = manager.getFont(1);
    ASSERT_NE(nullptr, font);
    EXPECT_NE(0u, font->listBase);
    EXPECT_TRUE(glIsList(font->listBase + 255));
    EXPECT_EQ(256u, font->glyphImage.width);
    EXPECT_EQ(256u, font->glyphImage.height);
    EXPECT_EQ(32u, font->glyphImage.bitsPerPixel);
}

TEST(FontManager, TheEngineLoadedTheDefaultSheetAsFontOne)
{
    sharedEngine();
    CFont* font = g_pFontManager->getFont(1);
    ASSERT_NE(nullptr, font);
    EXPECT_NE(0u, font->glyphImage.textureName);
    EXPECT_NE(nullptr, font->shader);
}
