// A label's size against the pixels it lights when font 1 draws every glyph as its whole cell.
#include "engine/gui/StaticText.h"
#include "engine/core/Registry.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

using namespace testing_support;

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
