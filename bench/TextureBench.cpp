// Textured quads per second drawn through CTexture::draw, beside a hand-written loop that issues the
// same OpenGL calls directly. Run it with scripts/bench.sh (or under any X server from the
// repository root). Frames end with glFinish so that the rasterisation is counted as well; the two
// paths alternate in short rounds so that both see the same machine load.
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/shader/Shader.h"
#include "engine/shader/ShaderManager.h"
#include "engine/texture/Texture.h"

#include <GL/glew.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The calls CTexture::draw makes for an untransformed, untinted quad.
void drawByHand(GLuint id, GLhandleARB program, float x, float y, float w, float h)
{
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, id);
    glTranslatef(x, y, 0.0f);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    glUseProgramObjectARB(program);
    glUniform4fARB(glGetUniformLocationARB(program, "colors"), 1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(w, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(w, h);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, h);
    glEnd();
    glUseProgramObjectARB(0);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPopMatrix();
}

template <typename DrawQuad>
double secondsForFrames(int frames, int quads, DrawQuad drawQuad)
{
    const Clock::time_point start = Clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < quads; ++i)
            drawQuad(float((i * 37) % 992), float((i * 53) % 736));
        glFinish();
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[])
{
    const double budget = argc > 1 ? std::atof(argv[1]) : 1.0;  // seconds per path and size
    if (access("shaders/simpleTexture.vert", R_OK) != 0) {
        std::fprintf(stderr, "Run from the repository root (shaders/ is read from there).\n");
        return 2;
    }
    std::unique_ptr<CEngine> engine(new CEngine());
    engine->setVideoMode(1024, 768, 24, false, true);

    SDL_Surface* image = SDL_CreateRGBSurface(SDL_SWSURFACE, 32, 32, 32, 0x000000FF, 0x0000FF00,
                                              0x00FF0000, 0xFF000000);
    SDL_FillRect(image, nullptr, 0x80FFC040);
    CTexture texture;
    texture.upload(image);
    texture.shader = g_pShaderManager->getShader(0);
    const GLhandleARB program = texture.shader->getProgram();

    std::printf("\n%8s %18s %18s %8s\n", "quads", "engine quads/s", "by hand quads/s", "ratio");
    for (int quads : {1, 100, 1000, 10000}) {
        // Size the rounds so that each takes about a tenth of the budget.
        int frames = 1;
        while (secondsForFrames(frames, quads, [&](float x, float y) {
                   texture.draw(x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
               }) < budget / 10.0)
            frames *= 2;
        double engineSeconds = 0.0, handSeconds = 0.0;
        long engineQuads = 0, handQuads = 0;
        for (int round = 0; round < 10; ++round) {
            engineSeconds += secondsForFrames(frames, quads, [&](float x, float y) {
                texture.draw(x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
            });
            engineQuads += long(frames) * quads;
            handSeconds += secondsForFrames(frames, quads, [&](float x, float y) {
                drawByHand(texture.id, program, x, y, 32.0f, 32.0f);
            });
            handQuads += long(frames) * quads;
        }
        const double engineRate = engineQuads / engineSeconds;
        const double handRate = handQuads / handSeconds;
        std::printf("%8d %18.0f %18.0f %8.3f\n", quads, engineRate, handRate, engineRate / handRate);
    }
    std::printf("\nratio = engine / by hand; 1.000 means the engine adds nothing.\n");
    return glGetError() == GL_NO_ERROR ? 0 : 1;
}
