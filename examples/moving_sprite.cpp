// A sprite moved with the arrow keys, or the first joystick's stick or hat, at a steady speed in
// pixels per second, text on screen and a sound on Space or the joystick's first button. Escape or
// closing the window ends it.
//
// Its images and its sound are found with CDataFiles::find(): beside the program (the build copies
// them there, as a shipped game folder would hold them), in QUARL_DATA_DIR, or in the working
// directory. The engine's own shaders and font need nothing: the engine finds them itself.
#include <engine/QuarlEngine.h>

#include <GL/gl.h>
#include <SDL.h>

#include <string>

namespace {

const int kWidth = 800;
const int kHeight = 600;
const float kPixelsPerSecond = 240.0f;
// The flame frames are 128 by 192 pixels; the sprite's position is its top-left corner.
const float kSpriteWidth = 128.0f;
const float kSpriteHeight = 192.0f;
// Sticks rarely rest at exactly 0: smaller deflections than this (of 32767) do not move the flame.
const int kStickDeadZone = 8000;

// The path the lookup found, or the name itself so that the engine's failure line names it.
std::string dataFile(const std::string& name)
{
    const std::string found = CDataFiles::find(name);
    return found.empty() ? name : found;
}

float clamp(float value, float low, float high)
{
    return value < low ? low : (value > high ? high : value);
}

} // namespace

class MovingSprite : public CApp {
public:
    ~MovingSprite() override { delete flame; }  // before CApp's destructor shuts the engine down

    void init() override
    {
        engine->setVideoMode(kWidth, kHeight, 24, false, true);
        g_pGraphicsCore->setCaption("Quarl Engine - Moving Sprite");
        // CSprite reads base + "1.png" ... base + "8.png"; the lookup finds the first frame.
        const std::string first = dataFile("Data/Flame/flame1.png");
        const std::string base = first.substr(0, first.size() - std::string("1.png").size());
        flame = new CSprite(base.c_str(), 8, (kWidth - kSpriteWidth) / 2, (kHeight - kSpriteHeight) / 2);
        flame->setSpeed(12);  // animation frames per second, apart from the movement
        click = new CSound(dataFile("Data/Gui/click.wav"));  // the sound manager owns it once loaded
    }

    void run() override
    {
        Uint32 last = SDL_GetTicks();
        for (;;) {
            // Move by speed times the time the last frame took, so the speed does not depend on the
            // frame rate. A long stall (a dragged window) is cut to a tenth of a second.
            const Uint32 now = SDL_GetTicks();
            const float seconds = clamp((now - last) / 1000.0f, 0.0f, 0.1f);
            last = now;
            move(seconds);

            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            flame->draw();
            CFont* font = g_pFontManager->getFont(1);
            font->print(20, 20, 0, "Arrow keys or joystick move the flame at %d pixels per second.",
                        int(kPixelsPerSecond));
            font->print(20, 40, 0, "Space or joystick button 1 plays a sound. Escape ends.");
            font->printColoured(20, 570, 0, 1.0f, 0.8f, 0.3f, "Position: %d, %d", int(flame->getX()),
                                int(flame->getY()));
            engine->update();  // input, GUI, cursor: after the scene, before the swap
            SDL_GL_SwapBuffers();

            // The event manager takes one event per update and keeps the last one afterwards:
            // react to an event only in the frame it arrived.
            if (!g_pEventManager->isEventPolled())
                continue;
            if (g_pEventManager->isEventCode(CEventManager::CodeQuit) ||
                g_pEventManager->isKeyDown(SDLK_ESCAPE))
                return;
            if (g_pEventManager->isEventCode(CEventManager::CodeKeyDown) &&
                g_pEventManager->getEvent().key.keysym.sym == SDLK_SPACE)
                click->play(0);
            if (g_pEventManager->isEventCode(CEventManager::CodeJoyButtonDown) &&
                g_pEventManager->getEvent().jbutton.which == 0 && g_pEventManager->getEvent().jbutton.button == 0)
                click->play(0);
        }
    }

    void cleanUp() override
    {
        // A sound whose file never loaded is still ours to delete.
        if (click != nullptr && click->chunk == nullptr)
            delete click;
        click = nullptr;
    }
    void userHook1() override {}
    void userHook2() override {}

private:
    // The key table and the joystick tables say what is held now, whatever event this frame brought.
    // Without a joystick the joystick queries answer 0, so the keys alone move the flame.
    void move(float seconds)
    {
        const float step = kPixelsPerSecond * seconds;
        const Uint8 hat = g_pEventManager->getJoystickHat(0, 0);
        float dx = stick(0);
        float dy = stick(1);
        if (g_pEventManager->isKeyDown(SDLK_LEFT) || (hat & SDL_HAT_LEFT))
            dx = -1.0f;
        if (g_pEventManager->isKeyDown(SDLK_RIGHT) || (hat & SDL_HAT_RIGHT))
            dx = 1.0f;
        if (g_pEventManager->isKeyDown(SDLK_UP) || (hat & SDL_HAT_UP))
            dy = -1.0f;  // y grows downwards: (0, 0) is the window's top-left corner
        if (g_pEventManager->isKeyDown(SDLK_DOWN) || (hat & SDL_HAT_DOWN))
            dy = 1.0f;
        const float x = flame->getX() + dx * step;
        const float y = flame->getY() + dy * step;
        flame->setPosition(clamp(x, 0.0f, kWidth - kSpriteWidth), clamp(y, 0.0f, kHeight - kSpriteHeight));
    }

    // The first joystick's axis as -1 to 1, 0 inside the dead zone; the stick moves at most at full speed.
    static float stick(int axis)
    {
        const int value = g_pEventManager->getJoystickAxis(0, axis);
        if (value > -kStickDeadZone && value < kStickDeadZone)
            return 0.0f;
        return clamp(value / 32767.0f, -1.0f, 1.0f);
    }

    CSprite* flame = nullptr;  // owned
    CSound* click = nullptr;   // owned by the sound manager once its file loaded
};

int main(int, char*[])
{
    MovingSprite app;
    app.init();
    app.run();
    app.cleanUp();
    return 0;
}
