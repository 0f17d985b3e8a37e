// moving_sprite: a flame moved with the arrow keys, or the first joystick's stick or hat, at 240
// pixels per second, text on screen and a sound on Space or the joystick's first button. Escape
// or closing the window ends it.
//
// An application class on the engine's game loop: the movement runs in fixed update steps, so its
// speed never depends on the frame rate. Its images and sound are found through the data lookup:
// beside the program (the build copies them there), in QUARL_DATA_DIR, or in the working directory.
#include <engine/QuarlEngine.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

const float kWidth = 800.0f;
const float kHeight = 600.0f;
const float kPixelsPerSecond = 240.0f;
const CVector2 kFlameSize(128.0f, 192.0f);  // the position is the flame's top-left corner
const int kStickDeadZone = 8000;            // of 32767: sticks rarely rest at exactly 0

// -1, 0 or 1 from two keys or two hat directions, or the stick's deflection in between.
float direction(int lessKey, int moreKey, Uint8 lessHat, Uint8 moreHat, int axis)
{
    CEventManager* input = g_pEventManager;
    const Uint8 hat = input->getJoystickHat(0, 0);
    if (input->isKeyDown(lessKey) || (hat & lessHat))
        return -1.0f;
    if (input->isKeyDown(moreKey) || (hat & moreHat))
        return 1.0f;
    const int stick = input->getJoystickAxis(0, axis);
    return std::abs(stick) < kStickDeadZone ? 0.0f : std::max(-1.0f, stick / 32767.0f);
}

}  // namespace

class MovingSprite : public CApp {
public:
    void init() override
    {
        g_pGraphicsCore->setResizable(true);  // the flame's room and the bottom line follow the window
        g_pGraphicsCore->setDepthBits(0);     // 2D only: no depth buffer, faster fills
        engine->setVideoMode(int(kWidth), int(kHeight), 24, false, true);
        g_pGraphicsCore->setCaption("Quarl Engine - Moving Sprite");
        flame.reset(new CSprite("Data/Flame/flame", 8, (kWidth - kFlameSize.x) / 2, (kHeight - kFlameSize.y) / 2));
        flame->setSpeed(12);                       // animation frames per second, apart from the movement
        click = new CSound("Data/Gui/click.wav");  // the sound manager frees it
    }

    void run() override
    {
        CGameLoop(*engine).run([this](float step) { update(step); }, [this](float) { draw(); });
    }

    void cleanUp() override
    {
        flame.reset();
    }  // before CApp's destructor shuts the engine down
    void userHook1() override
    {
    }
    void userHook2() override
    {
    }

private:
    void update(float step)
    {
        const float reach = kPixelsPerSecond * step;  // y grows downwards: (0, 0) is the top-left
        const float x = flame->getX() + reach * direction(SDLK_LEFT, SDLK_RIGHT, SDL_HAT_LEFT, SDL_HAT_RIGHT, 0);
        const float y = flame->getY() + reach * direction(SDLK_UP, SDLK_DOWN, SDL_HAT_UP, SDL_HAT_DOWN, 1);
        // Below the help lines and above the position line, inside the window whatever its size.
        const float width = float(g_pGraphicsCore->width), height = float(g_pGraphicsCore->height);
        flame->setPosition(std::max(0.0f, std::min(x, width - kFlameSize.x)),
                           std::max(60.0f, std::min(y, height - 40 - kFlameSize.y)));
        // Every event of the frame, once: a joystick button has no held-key table of its own.
        SDL_Event event;
        while (g_pEventManager->pollEvent(event))
            if ((event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_SPACE) ||
                (event.type == SDL_JOYBUTTONDOWN && event.jbutton.which == 0 && event.jbutton.button == 0))
                click->play(0);
    }

    void draw()
    {
        flame->draw();
        CFont* font = g_pFontManager->getFont(1);
        font->print(20, 20, 0, "Arrow keys or joystick move the flame at %d pixels per second.",
                    int(kPixelsPerSecond));
        font->print(20, 40, 0, "Space or joystick button 1 plays a sound. Escape ends.");
        font->printColoured(20, int(g_pGraphicsCore->height) - 30, 0, 1.0f, 0.8f, 0.3f, "Position: %d, %d",
                            int(flame->getX()), int(flame->getY()));
    }

    std::unique_ptr<CSprite> flame;
    CSound* click = nullptr;  // the sound manager's
};

int main(int, char*[])
{
    MovingSprite app;
    app.init();
    app.run();
    app.cleanUp();
    return 0;
}
