// small_game: a flame walked with the arrow keys at 240 pixels per second, a click on Space, a
// button that counts its clicks, text from the glyph sheet and from a TrueType font, the frame
// rate in the caption and F12 for a screenshot. The window may be resized: the flame stays between
// the help line and the button row. Escape or closing the window ends it.
#include <engine/QuarlEngine.h>

#include <GL/gl.h>

#include <algorithm>

int main()
{
    CEngine engine;
    engine.setShowFPSInCaption(true);
    g_pGraphicsCore->setResizable(true);
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
            // The flame's 128 by 192 frames stay inside the window, below the help line and above the button.
            const float w = float(g_pGraphicsCore->width), h = float(g_pGraphicsCore->height);
            position.x = std::max(0.0f, std::min(position.x, w - 128));
            position.y = std::max(50.0f, std::min(position.y, h - 80 - 192));
            button.setY(h - 70);
            if (input->isKeyPressed(SDLK_SPACE))
                click->play(0);
            if (input->isKeyPressed(SDLK_F12))
                engine.requestScreenshot("small_game.png");
            clicks += input->wasClicked(1);
        },
        [&](float) {
            flame.draw(position);
            button.draw();
            CFont* font = g_pFontManager->getFont(1);
            const CVector2 size = font->measureText("Click me", 0);  // centred on the 112 by 36 button
            const float x = 76 - size.x / 2, y = button.getY() + 18 - size.y / 2;
            glDisable(GL_TEXTURE_2D);  // a dark plate under the label: white on it reads on every frame
            glColor4f(0, 0, 0, 0.55f);
            glRectf(x - 6, y - 2, x + size.x + 6, y + size.y + 2);
            glColor4f(1, 1, 1, 1);
            glEnable(GL_TEXTURE_2D);
            font->print(int(x), int(y), 0, "Click me");
            font->print(20, 20, 0, "Arrows walk, Space clicks, F12 saves small_game.png");
            sans->print(150, int(button.getY()) + 6, 0, "Button clicks: %d", clicks);
        });
    return 0;
}
