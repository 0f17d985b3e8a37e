// Labels: where and how they print, and their size against the pixels they light.
#include "engine/gui/StaticText.h"
#include "engine/core/Registry.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "tests/gui/GuiTestSupport.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

using namespace testing_support;
using gui_test::beginFrame;

namespace {

using StaticTexts = gui_test::GuiTest;

// The pixels of a screen area, for comparing two ways of drawing the same thing.
std::vector<unsigned char> area(int x, int y, int w, int h)
{
    return testing_support::readBackRgba(x, y, w, h);
}

int litColumns(int x, int y, int w, int h)
{
    const std::vector<unsigned char> pixels = area(x, y, w, h);
    int last = -1;
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col)
            if (pixels[(std::size_t(row) * w + col) * 4] > 60)
                last = std::max(last, col);
    return last + 1;
}

}  // namespace

TEST(StaticText, ALabelsSizeIsTheBoxItDrawsSoItCanBeCentred)
{
    sharedEngine();
    const std::string path = makeTempDir() + "/opaque.tga";
    {
        std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 32, 8};
        file.resize(file.size() + 256 * 256 * 4, 255);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    CStdoutCapture quiet;
    quiet.start();
    CFont opaque;
    opaque.buildFont(path.c_str());
    quiet.lines();
    CFont* font = g_pFontManager->getFont(1);
    const unsigned sheet = font->glyphImage.textureName;
    font->glyphImage.textureName = opaque.glyphImage.textureName;

    CStaticText label("100% centred");
    label.setStyle(3);
    label.setScale(1.5f, 2.0f);
    const CVector2 size = label.getSize();
    // Centred on x = 512: 1.5 * (12 * 11 + 16) + 1 = 223 pixels, 111 of them left of the centre.
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    label.drawAt(512.0f - float(int(size.x / 2)), 300.0f);
    font->glyphImage.textureName = sheet;

    const std::vector<uint8_t> pixels = readBackRgba(0, 300, 1024, 100);
    int left = 1024, right = -1, top = 400, bottom = -1;
    for (int row = 0; row < 100; ++row)
        for (int col = 0; col < 1024; ++col)
            if (pixels[(std::size_t(row) * 1024 + col) * 4] > 128) {
                left = std::min(left, col);
                right = std::max(right, col);
                top = std::min(top, 399 - row);
                bottom = std::max(bottom, 399 - row);
            }
    EXPECT_FLOAT_EQ(float(right - left + 1), size.x);
    EXPECT_FLOAT_EQ(float(bottom - top + 1), size.y);
    EXPECT_EQ(512 - int(size.x / 2), left);
    EXPECT_EQ(300, top);
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

TEST_F(StaticTexts, PrintAtWholePixelsInTheirColourAndScale)
{
    // The label drawn in a window at (0, 0) lights what font 1 prints at whole pixels (x, y).
    const auto printsAt = [](CStaticText& label, float windowX, float windowY, int x, int y) {
        beginFrame();
        label.drawInWindow(windowX, windowY);
        EXPECT_EQ(label.getText(), g_pFontManager->getFont(1)->getText());
        const std::vector<unsigned char> asLabel = area(0, 0, 200, 60);
        beginFrame();
        g_pFontManager->getFont(1)->printStyled(x, y, 0, 1, 1, 1, 1, 1, 1, label.getText().c_str());
        return asLabel == area(0, 0, 200, 60);
    };
    CStaticText label;
    EXPECT_EQ("Static Text", label.getText());
    EXPECT_TRUE(printsAt(label, 10.0f, 20.0f, 10, 20));
    CStaticText fractional("Mixed", 5.9f, 7.9f);
    EXPECT_TRUE(printsAt(fractional, 0.0f, 0.0f, 5, 7)) << "the position is cut to whole pixels";

    CStaticText wide("WWWW", 0.0f, 100.0f);
    beginFrame();
    wide.draw();
    const int normal = litColumns(0, 100, 200, 16);
    wide.setScale(2.0f, 1.0f);
    beginFrame();
    wide.draw();
    EXPECT_NEAR(2 * normal, litColumns(0, 100, 200, 16), 2);

    CStaticText coloured("HHHH", 0.0f, 200.0f);
    coloured.setColour(1.0f, 0.0f, 0.0f, 1.0f);
    beginFrame();
    coloured.draw();
    const std::vector<unsigned char> red = area(0, 200, 60, 16);
    coloured.setColour(0.0f, 1.0f, 0.0f, 1.0f);  // red, blue, green, alpha: blue
    beginFrame();
    coloured.draw();
    const std::vector<unsigned char> blue = area(0, 200, 60, 16);
    int redInk = 0, blueInk = 0, wrongInk = 0;
    for (std::size_t i = 0; i < red.size(); i += 4) {
        redInk += red[i] > 200;
        blueInk += blue[i + 2] > 200;
        wrongInk += red[i + 1] > 60 || red[i + 2] > 60 || blue[i] > 60 || blue[i + 1] > 60;
    }
    EXPECT_GT(redInk, 20);
    EXPECT_GT(blueInk, 20);
    EXPECT_EQ(0, wrongInk);

    CStaticText percent("100%");
    percent.draw();
    EXPECT_STREQ("100%", g_pFontManager->getFont(1)->getText());
    // Conversions that would read or write through missing arguments are printed as they stand.
    CStaticText conversions("100% literal, even %s and %n");
    conversions.draw();
    EXPECT_STREQ("100% literal, even %s and %n", g_pFontManager->getFont(1)->getText());
}
