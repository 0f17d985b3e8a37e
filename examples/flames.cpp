// A few thousand animated flames drawn through one sprite batch a frame, the frame rate in the
// window caption. Eight flip-book sprites, each at its own speed, share out the flames: every frame
// a sprite's current picture goes to all of its small flames, and the sprite itself adds its big
// flame along the bottom edge, which also steps its animation by the sprite's timing rules.
// The flame pictures are found with CDataFiles::find() (the build copies them beside the program);
// the engine finds its own shaders and font.
//   ./build/examples/flames [flames, default 3000] [seconds to run, default until Escape]
#include <engine/QuarlEngine.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

const int kWidth = 1024;
const int kHeight = 768;
const int kSprites = 8;

struct Flame {
    float x, y;      // where it started
    float rise;      // pixels per second upwards
    float scale;
    float sway;      // phase of the sideways swing
    float red, green, blue, alpha;
};

// A small fixed generator, so every run shows the same field.
float next(unsigned& state)
{
    state = state * 1664525u + 1013904223u;
    return float(state >> 8) / float(1u << 24);
}

class Flames : public CApp {
public:
    Flames(int count, double seconds)
        : count(count),
          seconds(seconds)
    {
    }

    void init() override
    {
        engine->setVideoMode(kWidth, kHeight, 24, false, true);
        engine->setShowFPS(true);
        g_pGraphicsCore->setCaption("Quarl Engine - Flames");
        // CSprite reads base + "1.png" ... base + "8.png"; the lookup finds the first frame.
        std::string base = CDataFiles::find("Data/Flame/flame1.png");
        base = base.empty() ? "Data/Flame/flame" : base.substr(0, base.size() - std::string("1.png").size());
        for (int i = 0; i < kSprites; ++i) {
            sprites.emplace_back(new CSprite(base.c_str(), 8, 0.0f, 0.0f));
            sprites.back()->setSpeed(unsigned(14 + 3 * i));
        }
        unsigned state = 2026;
        for (int i = 0; i < count; ++i) {
            const float scale = 0.1f + 0.15f * next(state);
            flames.push_back(Flame{next(state) * kWidth, next(state) * kHeight, 20.0f + 60.0f * next(state),
                                   scale, 6.2832f * next(state), 1.0f, 0.6f + 0.4f * next(state),
                                   0.3f + 0.5f * next(state), 0.55f + 0.4f * next(state)});
        }
    }

    void run() override
    {
        const Uint32 start = SDL_GetTicks();
        for (;;) {
            const float t = float(SDL_GetTicks() - start) / 1000.0f;
            drawFrame(t);
            engine->update();
            SDL_GL_SwapBuffers();
            if (seconds > 0.0 && t >= seconds)
                return;
            if (g_pEventManager->isEventPolled() &&
                (g_pEventManager->isKeyDown(SDLK_ESCAPE) ||
                 g_pEventManager->isEventCode(CEventManager::CodeQuit)))
                return;
        }
    }

    void cleanUp() override
    {
        sprites.clear();
    }
    void userHook1() override {}
    void userHook2() override {}

private:
    void drawFrame(float t)
    {
        glClearColor(0.05f, 0.02f, 0.08f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        batch.begin();
        for (int s = 0; s < kSprites; ++s) {
            CSprite& sprite = *sprites[std::size_t(s)];
            // The picture the sprite shows now; its own draw below may step it afterwards.
            const CTexture* picture = sprite.getFrame(sprite.getCurrentFrame() - 1);
            for (std::size_t i = std::size_t(s); picture != nullptr && i < flames.size(); i += kSprites) {
                const Flame& f = flames[i];
                const float h = picture->getHeight() * f.scale;
                // Rise, wrapping from the top back to below the bottom edge, and sway a little.
                float y = std::fmod(f.y - f.rise * t, float(kHeight) + h);
                if (y < -h)
                    y += float(kHeight) + h;
                const float x = f.x + 12.0f * std::sin(f.sway + 1.7f * t);
                batch.add(*picture, x, y, f.scale, 0.0f, f.red, f.green, f.blue, f.alpha);
            }
            sprite.draw(batch, CVector2(float(s) * 128.0f, float(kHeight) - 192.0f));
        }
        char line[96];
        std::snprintf(line, sizeof(line), "%d flames in one batch, %u draw calls last frame", count + kSprites,
                      unsigned(lastDrawCalls));
        batch.addText(*g_pFontManager->getFont(1), 20.0f, 20.0f, 2, line);
        batch.end();
        lastDrawCalls = batch.getDrawCallCount();
    }

    int count;
    double seconds;
    std::vector<std::unique_ptr<CSprite>> sprites;  // owned; each owns its eight pictures
    std::vector<Flame> flames;
    CSpriteBatch batch;  // reused every frame, so it stops allocating after the first
    std::size_t lastDrawCalls = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 3000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 0.0;
    if (count < 0 || seconds < 0.0) {
        std::fprintf(stderr, "Usage: %s [flames, default 3000] [seconds, default until Escape]\n", argv[0]);
        return 2;
    }
    Flames app(count, seconds);
    app.init();
    app.run();
    app.cleanUp();
    return 0;
}
