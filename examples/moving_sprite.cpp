// A sprite moved with the arrow keys at a steady speed in pixels per second, text on screen and a
// sound on Space. Escape or closing the window ends it.
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
            font->print(20, 20, 0, "Arrow keys move the flame at %d pixels per second.",
                        int(kPixelsPerSecond));
            font->print(20, 40, 0, "Space plays a sound. Escape ends.");
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
    // The key table says which keys are held now, whatever event this frame brought.
    void move(float seconds)
    {
        const float step = kPixelsPerSecond * seconds;
        float x = flame->getX();
        float y = flame->getY();
        if (g_pEventManager->isKeyDown(SDLK_LEFT))
            x -= step;
        if (g_pEventManager->isKeyDown(SDLK_RIGHT))
            x += step;
        if (g_pEventManager->isKeyDown(SDLK_UP))
            y -= step;  // y grows downwards: (0, 0) is the window's top-left corner
        if (g_pEventManager->isKeyDown(SDLK_DOWN))
            y += step;
        flame->setPosition(clamp(x, 0.0f, kWidth - kSpriteWidth), clamp(y, 0.0f, kHeight - kSpriteHeight));
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
