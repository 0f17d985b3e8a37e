// flames: a few thousand animated flames from a trimmed texture atlas, all in one draw call a
// frame, the frame rate in the window caption. Eight atlas animations, each at its own speed, share
// out the flames: every frame an animation's current picture goes to all of its small flames, and
// the animation itself adds its big flame along the bottom edge, which also steps it.
// The atlas (Data/FlameAtlas, made by make_atlas from Data/Flame) is found through the data lookup.
//   ./build/examples/flames [flames, default 3000] [seconds to run, default until Escape]
#include <engine/QuarlEngine.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const int kWidth = 1024;
const int kHeight = 768;
const int kAnimations = 8;

struct Flame {
    float x, y;  // where it started, as shares of the window's width and height
    float rise;  // pixels per second upwards
    float scale;
    float sway;  // phase of the sideways swing
    float red, green, blue, alpha;
};

// A small fixed generator, so every run shows the same field.
float next(unsigned& state)
{
    state = state * 1664525u + 1013904223u;
    return float(state >> 8) / float(1u << 24);
}

}  // namespace

int main(int argc, char* argv[])
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 3000;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 0.0;
    if (count < 0 || seconds < 0.0) {
        std::fprintf(stderr, "Usage: %s [flames, default 3000] [seconds, default until Escape]\n", argv[0]);
        return 2;
    }
    CEngine engine;
    g_pGraphicsCore->setResizable(true);  // the field is spread over whatever size the window has
    g_pGraphicsCore->setDepthBits(0);     // 2D only: no depth buffer, faster fills
    engine.setVideoMode(kWidth, kHeight, 24, false, true);
    engine.setShowFPSInCaption(true);
    g_pGraphicsCore->setCaption("Quarl Engine - Flames");
    CTextureAtlas atlas("Data/FlameAtlas/flames.json");
    std::vector<CAtlasAnimation> animations(kAnimations);
    for (int i = 0; i < kAnimations; ++i) {
        animations[std::size_t(i)].setFramesByPrefix(atlas, "flame");  // flame1 ... flame8
        animations[std::size_t(i)].setSpeed(unsigned(14 + 3 * i));
    }
    std::vector<Flame> flames;
    unsigned state = 2026;
    for (int i = 0; i < count; ++i) {
        const float scale = 0.1f + 0.15f * next(state);
        flames.push_back(Flame{next(state), next(state), 20.0f + 60.0f * next(state), scale, 6.2832f * next(state),
                               1.0f, 0.6f + 0.4f * next(state), 0.3f + 0.5f * next(state),
                               0.55f + 0.4f * next(state)});
    }
    CSpriteBatch batch;  // reused every frame, so it stops allocating after the first
    CGameLoop loop(engine);
    loop.setClearColour(0.05f, 0.02f, 0.08f);
    float t = 0.0f;
    loop.run(
        [&](float step) {
            t += step;
            if (seconds > 0.0 && t >= float(seconds))
                loop.stop();
        },
        [&](float) {
            const float width = float(g_pGraphicsCore->width), height = float(g_pGraphicsCore->height);
            batch.begin();
            for (int s = 0; s < kAnimations; ++s) {
                CAtlasAnimation& animation = animations[std::size_t(s)];
                // The picture the animation shows now; its own draw below may step it afterwards.
                const CAtlasRegion* picture = animation.getFrame(animation.getCurrentFrame() - 1);
                for (std::size_t i = std::size_t(s); picture != nullptr && i < flames.size(); i += kAnimations) {
                    const Flame& f = flames[i];
                    const float h = 192.0f * f.scale;  // the flames' untrimmed height
                    // Rise, wrapping from the top back to below the bottom edge, and sway a little.
                    float y = std::fmod(f.y * height - f.rise * t, height + h);
                    y += y < -h ? height + h : 0.0f;
                    const float x = f.x * width + 12.0f * std::sin(f.sway + 1.7f * t);
                    CTextureAtlas::add(batch, *picture, x, y, f.scale, 0.0f, f.red, f.green, f.blue, f.alpha);
                }
                animation.draw(batch, CVector2(float(s) * width / kAnimations, height - 192.0f));
            }
            batch.end();
            char caption[64];
            std::snprintf(caption, sizeof caption, "%d flames, %u draw call(s) a frame", count + kAnimations,
                          unsigned(batch.getDrawCallCount()));
            CFont* font = g_pFontManager->getFont(1);
            const CVector2 size = font->measureText(caption, 2);
            glDisable(GL_TEXTURE_2D);  // a dark panel under the caption, which reads over the flames
            glColor4f(0, 0, 0, 0.75f);
            glRectf(12, 14, 28 + size.x, 26 + size.y);
            glColor4f(1, 1, 1, 1);
            glEnable(GL_TEXTURE_2D);
            font->print(20, 20, 2, "%s", caption);
        });
    return 0;
}
