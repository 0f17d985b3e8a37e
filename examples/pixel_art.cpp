// pixel_art: a game of 320 by 180 pixels, sharp at any size of its resizable window. Keys 1, 2 and 3
// show it by whole-number scaling with bars, fit with bars, or stretched; the pointer and its clicks
// are in game pixels (a click puts the marker there). The tile walker's meadow and walker, arrows
// walk, F11 switches fullscreen, F12 saves pixel_art.png, Escape or closing the window ends it.
#include <engine/QuarlEngine.h>

#include <GL/gl.h>

#include <algorithm>

namespace {

// A rectangle in one colour, for the marker and the panel under the help text.
void fill(float x, float y, float w, float h, float r, float g, float b, float a)
{
    glDisable(GL_TEXTURE_2D);
    glColor4f(r, g, b, a);
    glRecti(int(x), int(y), int(x + w), int(y + h));
    glColor4f(1, 1, 1, 1);
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

int main()
{
    CEngine engine;
    g_pGraphicsCore->setResizable(true);
    g_pGraphicsCore->setDepthBits(0);                // 2D only: no depth buffer, faster fills
    engine.setVideoMode(960, 540, 24, false, true);  // three times the game's size to start with
    g_pGraphicsCore->setCaption("Quarl Engine - Pixel art");
    CLogicalScreen& screen = g_pGraphicsCore->getLogicalScreen();
    screen.start(320, 180, CLogicalScreen::Scaling::Integer);
    CTileMap map("Data/TileWalker/world.tmx");
    CTextureAtlas atlas("Data/TileWalker/walker.json");
    CAtlasAnimation walk;
    walk.setFramesByPrefix(atlas, "down");
    walk.setSpeed(8);
    CVector2 feet(160, 120), marker(-8, -8);
    CSpriteBatch batch;
    const CLogicalScreen::Scaling scalings[3] = {CLogicalScreen::Scaling::Integer, CLogicalScreen::Scaling::Fit,
                                                 CLogicalScreen::Scaling::Stretch};
    const char* const names[3] = {"whole", "fit", "stretch"};
    int scaling = 0;

    CGameLoop(engine).run(
        [&](float step) {
            CEventManager* input = g_pEventManager;
            feet.x = std::clamp(feet.x + 60 * step * (input->isKeyDown(SDLK_RIGHT) - input->isKeyDown(SDLK_LEFT)),
                                16.f, 304.f);
            feet.y = std::clamp(feet.y + 60 * step * (input->isKeyDown(SDLK_DOWN) - input->isKeyDown(SDLK_UP)),
                                48.f, 180.f);
            for (int key = 0; key < 3; ++key)
                if (input->isKeyPressed(SDLK_1 + key))
                    screen.setScaling(scalings[scaling = key]);
            if (input->isButtonPressed(SDL_BUTTON_LEFT))
                marker = CVector2(float(input->getMouseX()), float(input->getMouseY()));
            if (input->isKeyPressed(SDLK_F11))
                g_pGraphicsCore->setFullscreen(!g_pGraphicsCore->isFullscreen());
            if (input->isKeyPressed(SDLK_F12))
                engine.requestScreenshot("pixel_art.png");
        },
        [&](float) {
            batch.begin();
            map.draw(batch);
            walk.draw(batch, CVector2(feet.x - 16, feet.y - 44));  // 32 by 48 frames, feet at 44
            batch.end();
            fill(marker.x - 2, marker.y, 5, 1, 1, 0.2f, 0.2f, 1);
            fill(marker.x, marker.y - 2, 1, 5, 1, 0.2f, 0.2f, 1);
            fill(0, 0, 320, 20, 0, 0, 0, 0.75f);
            g_pFontManager->getFont(1)->printColoured(4, 2, 0, 1, 1, 1, "%s  pointer %d,%d", names[scaling],
                                                      g_pEventManager->getMouseX(), g_pEventManager->getMouseY());
        });
    return 0;
}
