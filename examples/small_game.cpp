// small_game: a flame walked with the arrow keys at 240 pixels per second, a click on Space, a
// button that counts its clicks, text from the glyph sheet and from a TrueType font, the frame
// rate in the caption and F12 for a screenshot. Escape or closing the window ends it.
#include <engine/QuarlEngine.h>

int main()
{
    CEngine engine;
    engine.setShowFPSInCaption(true);
    g_pGraphicsCore->setDepthBits(0);  // 2D only: no depth buffer, faster fills
    engine.setVideoMode(800, 600, 24, false, true);
    g_pGraphicsCore->setCaption("Quarl Engine - Small game");

    // Files are found beside the program, in its data folder or in the working directory.
    CSprite flame("Data/Flame/flame", 8, 336, 204);
    CSound* click = new CSound("Data/Gui/click.wav");  // the sound manager frees it
    CFont* sans = g_pFontManager->loadTrueTypeFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr, 22);
    CButton button(CButton::kDefaultSprite, CButton::kDefaultFrameCount, 20, 530, 1);
    CVector2 position(336, 204);
    int clicks = 0;

    CGameLoop loop(engine);
    loop.run(
        [&](float step) {
            CEventManager* input = g_pEventManager;
            position.x += 240 * step * (input->isKeyDown(SDLK_RIGHT) - input->isKeyDown(SDLK_LEFT));
            position.y += 240 * step * (input->isKeyDown(SDLK_DOWN) - input->isKeyDown(SDLK_UP));
            if (input->isKeyPressed(SDLK_SPACE))
                click->play(0);
            if (input->isKeyPressed(SDLK_F12))
                engine.requestScreenshot("small_game.png");
            clicks += input->wasClicked(1);
        },
        [&](float) {
            flame.draw(position);
            button.draw();
            g_pFontManager->getFont(1)->print(20, 20, 0, "Arrows walk, Space clicks, F12 saves small_game.png");
            sans->print(150, 536, 0, "Button clicks: %d", clicks);
        });
    return 0;
}
