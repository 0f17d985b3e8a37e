// Fonts and texts that outlive their engine. Each test makes its own engines (never the shared
// window), in a child process where the misuse once crashed or read freed memory.
#include "engine/core/Engine.h"
#include "engine/text/Font.h"
#include "engine/text/Text.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using testing_support::CStdoutCapture;

namespace {

const char* const kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kGone = "Could not draw the text (no OpenGL window is open yet, call setVideoMode first)";
const char* const kClosed =
    "Could not draw the text: its font was built for an OpenGL window that has closed, build the font again";

CEngine* openEngine()
{
    CEngine* engine = new CEngine();
    engine->setVideoMode(320, 240, 24, false, true);
    return engine;
}

// Ends the child: status 0 when the lines are the ones expected, 1 after writing what differs.
void exitWith(const std::vector<std::string>& lines, const std::vector<std::string>& expected)
{
    if (lines == expected)
        std::exit(0);
    for (const std::string& line : lines)
        std::fprintf(stderr, "got: %s\n", line.c_str());
    std::exit(1);
}

// Draws with both kinds of font after their engine is gone.
void drawAfterTheEngineIsGone()
{
    CStdoutCapture capture;
    capture.start();
    CEngine* engine = openEngine();
    CFont sheet, trueType;
    sheet.buildFont("Data/Font/font.tga");
    trueType.buildTrueTypeFont(kSans, nullptr, 20);
    CText text(&trueType, "Outlived", 20);
    text.draw();
    trueType.print(0, 0, 0, "Outlived");
    delete engine;
    capture.start();
    for (int frame = 0; frame < 2; ++frame) {
        text.draw();
        trueType.print(0, 0, 2, "Outlived");
        sheet.print(0, 0, 0, "Outlived");
        sheet.printAt(0.0f, 0.0f, 3, "Outlived");
    }
    exitWith(capture.lines(), {kGone, kGone});
}

// Destroys a font under the engine after its own.
void destroyUnderTheNextEngine()
{
    CStdoutCapture capture;
    capture.start();
    CEngine* first = openEngine();
    std::unique_ptr<CFont> trueType(new CFont());
    std::unique_ptr<CFont> sheet(new CFont());
    trueType->buildTrueTypeFont(kSans, nullptr, 20);
    sheet->buildFont("Data/Font/font.tga");
    CText text(trueType.get(), "Outlived", 20);
    text.draw();
    delete first;
    std::unique_ptr<CEngine> second(openEngine());
    GLuint names[8];
    glGenTextures(8, names);
    for (GLuint name : names)
        glBindTexture(GL_TEXTURE_2D, name);
    glBindTexture(GL_TEXTURE_2D, 0);
    const GLuint lists = glGenLists(512);
    for (GLuint list = lists; list < lists + 512; ++list) {
        glNewList(list, GL_COMPILE);
        glEndList();
    }
    capture.start();
    text.draw();
    trueType->print(0, 0, 0, "Outlived");
    trueType.reset();
    bool kept = glGetError() == GL_NO_ERROR;
    for (GLuint name : names)
        kept = kept && glIsTexture(name) == GL_TRUE;
    // The sheet's lists; its image is a CTGAImage, which looks after its own name.
    sheet.reset();
    for (GLuint list = lists; list < lists + 512; ++list)
        kept = kept && glIsList(list) == GL_TRUE;
    std::vector<std::string> lines = capture.lines();
    if (!kept)
        lines.push_back("a name of the second engine was deleted");
    exitWith(lines, {kClosed});
}

}  // namespace

// The text case crashed in one run and hung in another: the font's shader was the old engine's.
TEST(FontLifetime, DrawingAfterTheEngineIsGoneWritesOneLinePerFontAndDrawsNothing)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(drawAfterTheEngineIsGone(), ::testing::ExitedWithCode(0), "");
}

// Destroyed after a new engine started, a font deleted that engine's textures by name.
TEST(FontLifetime, AFontOutlivingItsEngineLeavesTheNextEnginesNamesAlone)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(destroyUnderTheNextEngine(), ::testing::ExitedWithCode(0), "");
}
