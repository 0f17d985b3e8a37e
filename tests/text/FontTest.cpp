// Bitmap fonts drawn for real: glyph coordinates through GL feedback, text extents and colours in
// read-back pixels, uniforms read back from shader 0, GL state around every print.
#include "engine/text/Font.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/text/FontManager.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// A glyph sheet whose every cell is opaque white, so each character draws a full 16 by 16 quad
// and extents can be measured exactly.
std::string writeOpaqueSheet()
{
    const std::string path = makeTempDir() + "/opaque.tga";
    std::vector<uint8_t> file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 32, 8};
    file.resize(file.size() + 256 * 256 * 4, 255);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    return path;
}

struct Extent {
    int left, top, right, bottom;  // inclusive; left > right when nothing was drawn
};

// The box of lit pixels inside a search window of the back buffer.
Extent litExtent(int x0, int y0, int x1, int y1)
{
    const int w = x1 - x0, h = y1 - y0;
    const std::vector<uint8_t> pixels = readBackRgba(x0, y0, w, h);
    Extent e = {x1, y1, x0 - 1, y0 - 1};
    for (int row = 0; row < h; ++row) {
        for (int col = 0; col < w; ++col) {
            const uint8_t* p = &pixels[(std::size_t(row) * w + col) * 4];
            if (p[0] + p[1] + p[2] > 60) {
                const int x = x0 + col, y = y1 - 1 - row;
                e.left = std::min(e.left, x);
                e.right = std::max(e.right, x);
                e.top = std::min(e.top, y);
                e.bottom = std::max(e.bottom, y);
            }
        }
    }
    return e;
}

std::vector<float> colorsUniform()
{
    const GLhandleARB program = g_pShaderManager->getShader(0)->getProgram();
    std::vector<float> value(4, -1.0f);
    glGetUniformfvARB(program, glGetUniformLocationARB(program, "colors"), value.data());
    return value;
}

std::vector<float> tposUniform()
{
    const GLhandleARB program = g_pShaderManager->getShader(0)->getProgram();
    std::vector<float> value(3, -1.0f);
    glGetUniformfvARB(program, glGetUniformLocationARB(program, "tpos"), value.data());
    return value;
}

class Fonts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sharedEngine();
        CStdoutCapture quiet;
        quiet.start();
        opaque = new CFont();
        opaque->buildFont(writeOpaqueSheet().c_str());
        quiet.lines();
    }
    static void TearDownTestSuite()
    {
        delete opaque;
        opaque = nullptr;
    }
    void SetUp() override
    {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        opaque->setScale(1.0f, 1.0f);
        opaque->setColour(1.0f, 1.0f, 1.0f, 1.0f);
    }
    void TearDown() override
    {
        EXPECT_EQ(0u, glGetHandleARB(GL_PROGRAM_OBJECT_ARB));
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }

    static CFont* opaque;
};

CFont* Fonts::opaque = nullptr;

// The texture coordinates a glyph's display list sends, captured with GL feedback.
std::vector<std::pair<float, float>> glyphTexCoords(const CFont& font, int glyph)
{
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glPushMatrix();
    glCallList(font.listBase + GLuint(glyph));
    glPopMatrix();
    const GLint count = glRenderMode(GL_RENDER);
    std::vector<std::pair<float, float>> coords;
    // Polygon tokens: token, vertex count, then per vertex x y z w, r g b a, s t r q.
    for (GLint i = 0; i < count;) {
        if (buffer[i] == GL_POLYGON_TOKEN) {
            const int n = int(buffer[i + 1]);
            for (int v = 0; v < n; ++v) {
                const GLfloat* vertex = &buffer[i + 2 + v * 12];
                coords.push_back({vertex[8], vertex[9]});
            }
            i += 2 + n * 12;
        } else {
            ++i;
        }
    }
    return coords;
}

void expectCell(const std::vector<std::pair<float, float>>& coords, float s0, float s1, float tBottom, float tTop)
{
    ASSERT_FALSE(coords.empty());
    float minS = 2, maxS = -2, minT = 2, maxT = -2;
    for (const auto& c : coords) {
        minS = std::min(minS, c.first);
        maxS = std::max(maxS, c.first);
        minT = std::min(minT, c.second);
        maxT = std::max(maxT, c.second);
    }
    EXPECT_NEAR(s0, minS, 1e-6f);
    EXPECT_NEAR(s1, maxS, 1e-6f);
    EXPECT_NEAR(tBottom, minT, 1e-6f);
    EXPECT_NEAR(tTop, maxT, 1e-6f);
}

}  // namespace

TEST_F(Fonts, TheLetterAComesFromItsCellInBothSets)
{
    CFont* font = g_pFontManager->getFont(1);
    // Style 0: code 65 is glyph 33, column 1, row 2.
    expectCell(glyphTexCoords(*font, 65 - 32), 0.0625f, 0.125f, 0.8125f, 0.874f);
    // Style 1: glyph 161, column 1, row 10.
    expectCell(glyphTexCoords(*font, 65 - 32 + 128), 0.0625f, 0.125f, 0.3125f, 0.374f);
}

TEST_F(Fonts, AStringCoversTwelvePixelsPerCharacterPlusOneCell)
{
    opaque->print(100, 100, 0, "%s", "HELLO");
    Extent e = litExtent(80, 80, 300, 200);
    EXPECT_EQ(100, e.left);
    EXPECT_EQ(100, e.top);
    EXPECT_EQ(100 + 12 * 4 + 16 - 1, e.right);
    EXPECT_EQ(100 + 16 - 1, e.bottom);

    glClear(GL_COLOR_BUFFER_BIT);
    opaque->setScale(2.0f, 0.5f);
    opaque->print(100, 100, 0, "HELLO");
    e = litExtent(80, 80, 300, 200);
    EXPECT_EQ(100, e.left);
    EXPECT_EQ(100 + 2 * (12 * 4 + 16) - 1, e.right);
    EXPECT_EQ(100 + 8 - 1, e.bottom);
}

TEST_F(Fonts, BoldStylesDrawASecondPassOnePixelRight)
{
    for (signed char style : {2, 3, 7}) {
        SCOPED_TRACE(int(style));
        glClear(GL_COLOR_BUFFER_BIT);
        opaque->print(100, 100, style, "AB");
        const Extent e = litExtent(80, 80, 300, 200);
        EXPECT_EQ(100, e.left);
        EXPECT_EQ(100 + 12 + 16, e.right);  // one pixel wider than a single pass
    }
    // printAt places its bold pass through "tpos": once, not twice, and nothing later is shifted.
    glClear(GL_COLOR_BUFFER_BIT);
    opaque->printAt(300.0f, 200.0f, 2, "AB");
    const Extent e = litExtent(280, 180, 500, 300);
    EXPECT_EQ(300, e.left);
    EXPECT_EQ(300 + 12 + 16, e.right);
    EXPECT_EQ(200 + 15, e.bottom);
    EXPECT_EQ((std::vector<float>{0.0f, 0.0f, 0.0f}), tposUniform());
}

TEST_F(Fonts, NegativeStylesActAsStyleZero)
{
    opaque->print(100, 100, -5, "AB");
    const Extent e = litExtent(80, 80, 300, 200);
    EXPECT_EQ(100 + 12 + 15, e.right);
    // Set 1 ends at code 159: codes above name no glyph of this font and draw nothing.
    glClear(GL_COLOR_BUFFER_BIT);
    opaque->print(100, 100, 1, "\xA0\xFF");
    EXPECT_GT(litExtent(80, 80, 300, 200).left, litExtent(80, 80, 300, 200).right);
}

TEST_F(Fonts, EachOperationSendsItsColour)
{
    opaque->print(10, 10, 0, "x");
    EXPECT_EQ((std::vector<float>{1, 1, 1, 1}), colorsUniform());
    opaque->setColour(1.0f, 0.0f, 0.0f, 1.0f);
    opaque->print(10, 10, 0, "x");
    EXPECT_EQ((std::vector<float>{1, 0, 0, 1}), colorsUniform());
    EXPECT_EQ(255, readPixel(12, 12).r);
    EXPECT_EQ(0, readPixel(12, 12).g);

    opaque->setColourFields(1.0f, 0.0f, 0.5f, 1.0f);
    opaque->print(10, 10, 0, "x");
    EXPECT_EQ((std::vector<float>{1, 0.5f, 0, 1}), colorsUniform());
    opaque->printAt(10.0f, 10.0f, 0, "x");
    EXPECT_EQ((std::vector<float>{1, 0.5f, 0, 1}), colorsUniform());

    opaque->setColour(1.0f, 1.0f, 1.0f, 0.25f);
    opaque->printColoured(10, 10, 0, 0.0f, 1.0f, 0.0f, "x");
    EXPECT_EQ((std::vector<float>{0, 1, 0, 1}), colorsUniform());

    opaque->printStyled(10, 10, 2, 0.2f, 0.4f, 0.6f, 0.8f, 3.0f, 3.0f, "x");
    EXPECT_EQ((std::vector<float>{0.2f, 0.4f, 0.6f, 0.8f}), colorsUniform());
    // printStyled's scale is its own: the stored scale is neither used nor changed.
    EXPECT_FLOAT_EQ(1.0f, opaque->scaleX);
    glClear(GL_COLOR_BUFFER_BIT);
    opaque->printStyled(100, 100, 0, 1, 1, 1, 1, 3.0f, 1.0f, "x");
    EXPECT_EQ(100 + 48 - 1, litExtent(80, 80, 300, 200).right);
}

TEST_F(Fonts, EveryPrintPutsTheStateBack)
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_ONE, GL_ZERO);
    glMatrixMode(GL_TEXTURE);
    GLint projectionDepth = 0, modelViewDepth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelViewDepth);

    opaque->print(10, 10, 2, "state");
    opaque->printColoured(10, 10, 3, 1, 1, 1, "state");
    opaque->printAt(10.0f, 10.0f, 2, "state");
    opaque->printStyled(10, 10, 1, 1, 1, 1, 1, 1, 1, "state");

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(GL_ONE, value);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(GL_ZERO, value);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(GL_TEXTURE, value);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(0, value);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &value);
    EXPECT_EQ(projectionDepth, value);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &value);
    EXPECT_EQ(modelViewDepth, value);

    // Back to the engine's 2D state for the tests that follow.
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    g_pGraphicsCore->set2DState();
}

TEST_F(Fonts, TextIsCutAtItsFieldAndANullFormatDrawsNothing)
{
    const std::string longText(300, 'w');
    EXPECT_TRUE(opaque->print(0, 0, 0, "%s", longText.c_str()));
    EXPECT_EQ(std::string(151, 'w'), opaque->getText());
    opaque->print(0, 0, 0, "kept");
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(opaque->print(100, 100, 0, nullptr));
    EXPECT_STREQ("kept", opaque->getText());
    EXPECT_GT(litExtent(80, 80, 300, 200).left, litExtent(80, 80, 300, 200).right);
}

// The field is cut before a UTF-8 character it cannot hold whole, never inside it, so no stray byte of
// a cut character draws as a glyph of its own; text that fits to the byte keeps all 151.
TEST_F(Fonts, TheFieldCutsUtf8TextBetweenCharacters)
{
    struct Case {
        std::string text;
        std::size_t kept;
    };
    const auto copies = [](const std::string& character, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += character;
        return text;
    };
    const Case cases[] = {
        {copies("\xC3\xA9", 80), 150},          // e acute: 75 whole
        {copies("\xE0\xA4\x95", 60), 150},      // Devanagari ka: 50 whole
        {copies("\xF0\x9F\x98\x80", 40), 148},  // four bytes each: 37 whole
        {"a" + copies("\xC3\xA9", 80), 151},    // the 75th e acute ends at the 151st byte
    };
    // At a quarter scale every cell edge is a whole pixel; each byte is a cell of the opaque sheet.
    opaque->setScale(0.25f, 1.0f);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kept);
        glClear(GL_COLOR_BUFFER_BIT);
        opaque->print(100, 100, 0, "%s", c.text.c_str());
        EXPECT_EQ(c.text.substr(0, c.kept), opaque->getText());
        const Extent e = litExtent(80, 80, 700, 200);
        const float width = 0.25f * float(12 * (int(c.kept) - 1) + 16);
        EXPECT_FLOAT_EQ(width, float(e.right - e.left + 1));
        EXPECT_FLOAT_EQ(width, opaque->measureText(c.text.c_str(), 0).x);
    }
}

TEST_F(Fonts, TheRealSheetPrintsLegibleText)
{
    CFont* font = g_pFontManager->getFont(1);
    font->print(100, 100, 0, "Simple Sprite Demo!");
    const Extent e = litExtent(90, 90, 400, 130);
    // Inked pixels stay inside the cells of the 19 characters.
    EXPECT_GE(e.left, 100);
    EXPECT_LE(e.right, 100 + 12 * 18 + 15);
    EXPECT_GE(e.top, 100);
    EXPECT_LE(e.bottom, 115);
    EXPECT_GT(e.right - e.left, 12 * 15);
}

// Faults around the font's GL use

TEST_F(Fonts, ABoldPassThroughAProgramWithoutTposIsTranslatedInstead)
{
    // A program of its own whose vertex shader has no "tpos" uniform (location -1).
    const std::string dir = makeTempDir();
    {
        std::ofstream vert(dir + "/plain.vert");
        vert << "#version 110\nvoid main() { gl_TexCoord[0] = gl_MultiTexCoord0; gl_Position = ftransform(); }\n";
    }
    CStdoutCapture quiet;
    quiet.start();
    CShader plain;
    plain.load("shaders/simpleTexture.frag", (dir + "/plain.vert").c_str());
    quiet.lines();
    ASSERT_NE(0u, plain.getProgram());
    ASSERT_EQ(-1, glGetUniformLocationARB(plain.getProgram(), "tpos"));

    CShader* own = opaque->shader;
    opaque->shader = &plain;
    glClear(GL_COLOR_BUFFER_BIT);
    opaque->printAt(300.0f, 200.0f, 2, "AB");
    opaque->shader = own;
    const Extent e = litExtent(280, 180, 500, 300);
    EXPECT_EQ(300, e.left);
    EXPECT_EQ(300 + 12 + 16, e.right);
    const Extent origin = litExtent(0, 0, 100, 60);
    EXPECT_GT(origin.left, origin.right) << "the bold copy landed at the origin";
}

TEST_F(Fonts, TextDrawsFromUnitZeroWhateverUnitABindLeftActive)
{
    std::unique_ptr<CTexture> other(new CTexture());
    SDL_Surface* black =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    SDL_FillRect(black, nullptr, SDL_MapRGBA(black->format, 0, 0, 0, 255));
    other->upload(black);
    other->bindToUnit(0);  // black where the shader samples, unless the print binds there
    other->bindToUnit(1);
    glDisable(GL_TEXTURE_2D);  // unit 1's switch; unit 1 stays the active one
    glClear(GL_COLOR_BUFFER_BIT);
    opaque->print(100, 100, 0, "AB");
    glActiveTextureARB(GL_TEXTURE0_ARB);
    const Extent e = litExtent(80, 80, 300, 200);
    EXPECT_EQ(100, e.left) << "the glyphs were drawn with another texture";
    EXPECT_EQ(100 + 12 + 15, e.right);
}

TEST(FontOutOfLists, NoFreeDisplayListsEndTheProgramLikeAnUnreadableSheet)
{
    // glGenLists answers 0 between glBegin and glEnd, as it does when no range of 256 is free.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            sharedEngine();
            glBegin(GL_POINTS);
            CFont font;
            font.buildFont("Data/Font/font.tga");
            glEnd();
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "");
}

// measureText against the pixels print lights with the opaque sheet, where every glyph draws its
// whole quad: the measured size is exactly the lit box.
TEST_F(Fonts, MeasuringGivesTheBoxPrintCovers)
{
    struct Case {
        const char* text;
        signed char style;
        float sx, sy;
    };
    const Case cases[] = {
        {"HELLO", 0, 1.0f, 1.0f},     {"HELLO", 2, 1.0f, 1.0f},  // bold: one pixel wider
        {"HELLO", 7, 1.0f, 1.0f},                                // clamped to style 3
        {"HELLO", -4, 1.0f, 1.0f},                               // clamped to style 0
        {"HELLO", 0, 2.0f, 0.5f},     {"HELLO", 3, 2.0f, 0.5f},  // the bold pixel is not scaled
        {"A\nB\tC", 0, 1.0f, 1.0f},    // control codes draw nothing and move the pen by nothing
        {"A\xA0\xFF", 1, 1.0f, 1.0f},  // set 1 ends at code 159
        {"x", 0, 3.0f, 2.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " style " + std::to_string(int(c.style)));
        glClear(GL_COLOR_BUFFER_BIT);
        opaque->setScale(c.sx, c.sy);
        opaque->print(100, 100, c.style, "%s", c.text);
        const Extent e = litExtent(80, 80, 400, 200);
        const CVector2 size = opaque->measureText(c.text, c.style);
        EXPECT_EQ(100, e.left);
        EXPECT_EQ(100, e.top);
        EXPECT_FLOAT_EQ(float(e.right - e.left + 1), size.x);
        EXPECT_FLOAT_EQ(float(e.bottom - e.top + 1), size.y);
        const CVector2 given = opaque->measureText(c.text, c.style, c.sx, c.sy);
        EXPECT_FLOAT_EQ(size.x, given.x);
        EXPECT_FLOAT_EQ(size.y, given.y);
    }
}

TEST_F(Fonts, MeasuringWhatDrawsNothingGivesNoSize)
{
    for (const char* text : {"", "\n\n", "\x01"}) {
        const CVector2 size = opaque->measureText(text, 2);
        EXPECT_EQ(0.0f, size.x);
        EXPECT_EQ(0.0f, size.y);
    }
    EXPECT_EQ(0.0f, opaque->measureText(nullptr, 0).x);
    // At scale 0 not even the bold pass's pixel shows.
    EXPECT_EQ(0.0f, opaque->measureText("AB", 2, 0.0f, 1.0f).x);
}

TEST_F(Fonts, MeasuringCutsLongTextAsPrintDoesAndIgnoresTheScaleSign)
{
    // 300 characters print as 151; at a quarter scale every cell edge is a whole pixel.
    const std::string longText(300, 'w');
    opaque->setScale(0.25f, 1.0f);
    opaque->print(100, 100, 0, "%s", longText.c_str());
    Extent e = litExtent(80, 80, 700, 200);
    EXPECT_FLOAT_EQ(0.25f * (12 * 150 + 16), opaque->measureText(longText.c_str(), 0).x);
    EXPECT_FLOAT_EQ(float(e.right - e.left + 1), opaque->measureText(longText.c_str(), 0).x);

    // A mirrored text extends left of its position; its size is still positive.
    glClear(GL_COLOR_BUFFER_BIT);
    opaque->setScale(-1.0f, 1.0f);
    opaque->print(300, 100, 0, "ABC");
    e = litExtent(200, 80, 400, 200);
    EXPECT_EQ(299, e.right);
    EXPECT_FLOAT_EQ(float(e.right - e.left + 1), opaque->measureText("ABC", 0).x);
    EXPECT_FLOAT_EQ(16.0f, opaque->measureText("ABC", 0).y);
}
