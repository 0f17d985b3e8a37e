// One measurement of the engine's drawing paths, or of hand-written OpenGL beside them, as a
// process of its own; scripts/bench.sh runs it through bench_runner, interleaved with the peers.
//   engine_bench <mode> <quads or lines per frame> <seconds> [last frame file]
// Quad modes (the shared scene's quads; draw, batch and begin also as "<mode>-general", the quads
// rotated, scaled and off the pixel grid, sampled linearly):
//   draw      CTexture::draw per quad, in the engine's 2D state
//   twin      the calls CTexture::draw makes, written by hand, in the same state
//   batch     CSpriteBatch, one batch per frame
//   begin     one glBegin for all quads, by hand, in a window of its own with plain 2D state
//             (no depth or scissor test, nearest filtering), without the engine
// Text modes (the shared scene's lines, font 1):
//   print     CFont::print per line
//   calllists the calls of a print written by hand: the state once per frame, then per line the
//             matrix, shader 0 with "colors" and one glCallLists
//   textbatch CSpriteBatch::addText per line, one batch per frame
// TrueType text modes (the same lines in DejaVu Sans at 16 pixels, shaped and kerned):
//   ttprint    CFont::print per line
//   ttbatch    CSpriteBatch::addText per line, one batch per frame
//   ttretained a CText per line, laid out once, added to one batch per frame
//   width      prints "WIDTH <pixels>": the ink width of the first line at <count> pixels, no window loop
#include "bench/BenchScene.h"

#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"
#include "engine/text/Text.h"
#include "engine/texture/Texture.h"

#include <GL/glew.h>
#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using bench::Arguments;

float unit(uint8_t byte)
{
    return float(byte) / 255.0f;
}

void swapBuffers()
{
    SDL_GL_SwapBuffers();
    // Keep the X connection drained, as a game's event loop does.
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
}

bool readBack(const Arguments& args)
{
    std::vector<uint8_t> rgba(std::size_t(bench::kWindowWidth) * bench::kWindowHeight * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, bench::kWindowWidth, bench::kWindowHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    if (!bench::writeFrame(args.framePath, rgba)) {
        std::fprintf(stderr, "Cannot write %s\n", args.framePath.c_str());
        return false;
    }
    return true;
}

// The calls CTexture::draw makes for an untransformed quad of the whole image, the uniform's
// look-up included.
void drawLikeTheEngine(GLuint id, GLhandleARB program, float x, float y, const uint8_t* tint)
{
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, id);
    glTranslatef(x, y, 0.0f);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glUseProgramObjectARB(program);
    glUniform4fARB(glGetUniformLocationARB(program, "colors"), unit(tint[0]), unit(tint[1]),
                   unit(tint[2]), unit(tint[3]));
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(32.0f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(32.0f, 32.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, 32.0f);
    glEnd();
    glUseProgramObjectARB(0);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopMatrix();
}

// The single-glBegin program: its own window and the plainest state that draws the scene.
int runSingleBegin(const Arguments& args, bool general)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return 1;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (SDL_SetVideoMode(bench::kWindowWidth, bench::kWindowHeight, 24, SDL_OPENGL) == nullptr) {
        std::fprintf(stderr, "No window: %s\n", SDL_GetError());
        return 1;
    }
    glViewport(0, 0, bench::kWindowWidth, bench::kWindowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, bench::kWindowWidth, bench::kWindowHeight, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    const GLint filter = general ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    const std::vector<uint8_t> pixels = bench::texturePixels();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, bench::kTextureSize, bench::kTextureSize, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels.data());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    std::vector<bench::Quad> quads;
    std::vector<bench::Placement> places;
    for (int i = 0; i < args.count; ++i) {
        quads.push_back(bench::quad(i));
        places.push_back(bench::placement(i, general));
    }
    static const float texels[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    bool wrote = true;
    bench::measure(
        args, args.count,
        [&] {
            glClear(GL_COLOR_BUFFER_BIT);
            glBegin(GL_QUADS);
            for (std::size_t i = 0; i < quads.size(); ++i) {
                float at[4][2];
                bench::corners(places[i], at);
                glColor4ubv(quads[i].tint);
                for (int c = 0; c < 4; ++c) {
                    glTexCoord2fv(texels[c]);
                    glVertex2fv(at[c]);
                }
            }
            glEnd();
        },
        swapBuffers, [&] { wrote = readBack(args); });
    SDL_Quit();
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

int runEngine(const Arguments& args, bool general)
{
    if (access("shaders/simpleTexture.vert", R_OK) != 0 || access("Data/Font/font.tga", R_OK) != 0) {
        std::fprintf(stderr, "Run from the repository root (Data/ and shaders/ are read there).\n");
        return 2;
    }
    std::unique_ptr<CEngine> engine(new CEngine());
    engine->setVideoMode(bench::kWindowWidth, bench::kWindowHeight, 24, false, true);

    std::vector<uint8_t> pixels = bench::texturePixels();
    SDL_Surface* image = SDL_CreateRGBSurfaceFrom(pixels.data(), bench::kTextureSize,
                                                  bench::kTextureSize, 32, bench::kTextureSize * 4,
                                                  0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    CTexture texture;
    texture.upload(image);
    texture.shader = g_pShaderManager->getShader(0);
    const GLhandleARB program = texture.shader->getProgram();
    CFont* font = g_pFontManager->getFont(1);
    if (program == 0 || font == nullptr) {
        std::fprintf(stderr, "Shader 0 or font 1 did not load.\n");
        return 1;
    }
    const GLint colors = glGetUniformLocationARB(program, "colors");
    font->setColour(unit(bench::kTextColour[0]), unit(bench::kTextColour[1]),
                    unit(bench::kTextColour[2]), unit(bench::kTextColour[3]));

    std::vector<bench::Quad> quads;
    std::vector<bench::Placement> places;
    for (int i = 0; i < args.count; ++i) {
        quads.push_back(bench::quad(i));
        places.push_back(bench::placement(i, general));
    }
    CSpriteBatch batch;
    const std::string& mode = args.mode;
    const bool trueType = mode == "ttprint" || mode == "ttbatch" || mode == "ttretained" || mode == "width";
    const bool text = trueType || mode == "print" || mode == "calllists" || mode == "textbatch";
    CFont* sans = nullptr;
    std::vector<CText> retained;
    if (trueType) {
        sans = g_pFontManager->loadTrueTypeFont(bench::kSansPath, nullptr, mode == "width" ? args.count : 16);
        if (sans == nullptr)
            return 1;
        if (mode == "width") {
            std::printf("WIDTH %.1f\n", sans->measureText(bench::line(0), 0).x);
            return 0;
        }
        sans->setColour(unit(bench::kTextColour[0]), unit(bench::kTextColour[1]), unit(bench::kTextColour[2]),
                        unit(bench::kTextColour[3]));
        for (int i = 0; i < args.count; ++i) {
            retained.emplace_back(sans, bench::line(i), 16);
            retained.back().setPosition(float(bench::lineX(i)), float(bench::lineY(i)));
            retained.back().setColour(unit(bench::kTextColour[0]), unit(bench::kTextColour[1]),
                                      unit(bench::kTextColour[2]), unit(bench::kTextColour[3]));
        }
    }
    auto drawFrame = [&] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (mode == "draw") {
            for (std::size_t i = 0; i < quads.size(); ++i) {
                const bench::Quad& q = quads[i];
                const bench::Placement& p = places[i];
                texture.draw(p.x, p.y, p.scale, p.angle, unit(q.tint[0]), unit(q.tint[1]), unit(q.tint[2]),
                             unit(q.tint[3]));
            }
        } else if (mode == "twin") {
            for (const bench::Quad& q : quads)
                drawLikeTheEngine(texture.id, program, float(q.x), float(q.y), q.tint);
        } else if (mode == "batch") {
            batch.begin();
            for (std::size_t i = 0; i < quads.size(); ++i) {
                const bench::Quad& q = quads[i];
                const bench::Placement& p = places[i];
                batch.add(texture, p.x, p.y, p.scale, p.angle, unit(q.tint[0]), unit(q.tint[1]), unit(q.tint[2]),
                          unit(q.tint[3]));
            }
            batch.end();
        } else if (mode == "print") {
            for (int i = 0; i < args.count; ++i)
                font->print(bench::lineX(i), bench::lineY(i), 0, "%s", bench::line(i));
        } else if (mode == "textbatch") {
            batch.begin();
            for (int i = 0; i < args.count; ++i)
                batch.addText(*font, float(bench::lineX(i)), float(bench::lineY(i)), 0, bench::line(i));
            batch.end();
        } else if (mode == "ttprint") {
            for (int i = 0; i < args.count; ++i)
                sans->print(bench::lineX(i), bench::lineY(i), 0, "%s", bench::line(i));
        } else if (mode == "ttbatch") {
            batch.begin();
            for (int i = 0; i < args.count; ++i)
                batch.addText(*sans, float(bench::lineX(i)), float(bench::lineY(i)), 0, bench::line(i));
            batch.end();
        } else if (mode == "ttretained") {
            batch.begin();
            for (CText& line : retained)
                line.addTo(batch);
            batch.end();
        } else if (mode == "calllists") {
            GLint viewport[4];
            glGetIntegerv(GL_VIEWPORT, viewport);
            glDisable(GL_DEPTH_TEST);
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glLoadIdentity();
            glOrtho(0.0, viewport[2], viewport[3], 0.0, -1.0, 1.0);
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glBindTexture(GL_TEXTURE_2D, font->glyphImage.textureName);
            glListBase(font->listBase - 32u);
            for (int i = 0; i < args.count; ++i) {
                glLoadIdentity();
                glTranslatef(float(bench::lineX(i)), float(bench::lineY(i)), 0.0f);
                glActiveTextureARB(GL_TEXTURE0_ARB);
                glUseProgramObjectARB(program);
                glUniform4fARB(colors, font->colourRed, font->colourGreen, font->colourBlue,
                               font->colourAlpha);
                glCallLists(bench::kLineLength, GL_UNSIGNED_BYTE, bench::line(i));
                glUseProgramObjectARB(0);
            }
            glBindTexture(GL_TEXTURE_2D, 0);
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glEnable(GL_DEPTH_TEST);
        }
    };
    if (!(text || mode == "draw" || mode == "twin" || mode == "batch") || (general && (text || mode == "twin"))) {
        std::fprintf(stderr, "Unknown mode %s\n", mode.c_str());
        return 2;
    }
    bool wrote = true;
    bench::measure(args, text ? long(args.count) * bench::kLineLength : args.count, drawFrame,
                   swapBuffers, [&] { wrote = readBack(args); });
    return wrote && glGetError() == GL_NO_ERROR ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    Arguments args;
    if (!bench::parseArguments(argc, argv, args)) {
        std::fprintf(stderr, "Usage: %s <mode> <count> <seconds> [frame file]\n", argv[0]);
        return 2;
    }
    const bool general = bench::takeGeneral(args.mode);
    if (args.mode == "begin")
        return runSingleBegin(args, general);
    return runEngine(args, general);
}
