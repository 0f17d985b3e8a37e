// Characters per second printed through CFont::print (font 1, a 100-character string, style 0),
// beside a hand-written loop that issues the drawing calls of a print directly: the same projection
// and state, shader 0 with "colors", glListBase and one glCallLists per string. The difference is
// what a print adds: formatting, saving and restoring the state, its own matrices. Run it with
// scripts/bench.sh (or under any X server from the repository root). Frames end with glFinish so
// that the rasterisation is counted as well; the two paths alternate in short rounds so that both
// see the same machine load.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/shader/Shader.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"

#include <GL/glew.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const char kText[] = "The quick brown fox jumps over the lazy dog; PACK MY BOX WITH FIVE DOZEN "
                     "LIQUOR JUGS! 0123456789 ~@#";
static_assert(sizeof(kText) - 1 == 100, "the benchmark prints strings of 100 characters");

// The state a print sets up around its passes, set once per frame on the hand-written path.
void beginByHand(const CFont& font)
{
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, viewport[2], viewport[3], 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, font.glyphImage.textureName);
}

void endByHand()
{
    glBindTexture(GL_TEXTURE_2D, 0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

// One pass of a style-0 print at (x, y): set 0 starts at glyph 0 for the space character.
void printByHand(const CFont& font, GLhandleARB program, float x, float y)
{
    glLoadIdentity();
    glTranslatef(x, y, 0.0f);
    glListBase(font.listBase - 32u);
    glScalef(1.0f, 1.0f, 1.0f);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glUseProgramObjectARB(program);
    glUniform4fARB(glGetUniformLocationARB(program, "colors"), 1.0f, 1.0f, 1.0f, 1.0f);
    glCallLists(GLsizei(sizeof(kText) - 1), GL_UNSIGNED_BYTE, kText);
    glUseProgramObjectARB(0);
}

template <typename Begin, typename Print, typename End>
double secondsForFrames(int frames, int strings, Begin begin, Print print, End end)
{
    const Clock::time_point start = Clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        glClear(GL_COLOR_BUFFER_BIT);
        begin();
        for (int i = 0; i < strings; ++i)
            print(float((i * 37) % 24), float((i * 53) % 752));
        end();
        glFinish();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[])
{
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;  // seconds per path and size
    if (access("Data/Font/font.tga", R_OK) != 0 ||
        access("shaders/simpleTexture.vert", R_OK) != 0) {
        std::fprintf(stderr, "Run from the repository root (Data/ and shaders/ are read there).\n");
        return 2;
    }
    std::unique_ptr<CEngine> engine(new CEngine());
    engine->setVideoMode(1024, 768, 24, false, true);
    CFont* font = g_pFontManager->getFont(1);
    if (font == nullptr || font->shader == nullptr || font->shader->getProgram() == 0) {
        std::fprintf(stderr, "Font 1 or its shader did not load.\n");
        return 1;
    }
    const GLhandleARB program = font->shader->getProgram();
    auto nothing = [] {};
    auto byEngine = [&](float x, float y) { font->print(int(x), int(y), 0, "%s", kText); };
    auto byHand = [&](float x, float y) { printByHand(*font, program, x, y); };
    auto begin = [&] { beginByHand(*font); };

    std::printf("\n%8s %18s %18s %8s\n", "strings", "engine chars/s", "by hand chars/s", "ratio");
    for (int strings : {1, 10, 100, 1000}) {
        // Size the rounds so that each takes about a tenth of the budget.
        int frames = 1;
        while (secondsForFrames(frames, strings, nothing, byEngine, nothing) < budget / 10.0)
            frames *= 2;
        double engineSeconds = 0.0, handSeconds = 0.0;
        long engineChars = 0, handChars = 0;
        for (int round = 0; round < 10; ++round) {
            engineSeconds += secondsForFrames(frames, strings, nothing, byEngine, nothing);
            engineChars += long(frames) * strings * long(sizeof(kText) - 1);
            handSeconds += secondsForFrames(frames, strings, begin, byHand, endByHand);
            handChars += long(frames) * strings * long(sizeof(kText) - 1);
        }
        const double engineRate = engineChars / engineSeconds;
        const double handRate = handChars / handSeconds;
        std::printf("%8d %18.0f %18.0f %8.3f\n", strings, engineRate, handRate,
                    engineRate / handRate);
    }
    std::printf("\nratio = engine / by hand; 1.000 means print adds nothing to its glCallLists.\n");
    return glGetError() == GL_NO_ERROR ? 0 : 1;
}
