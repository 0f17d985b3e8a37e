#include "demo/SpriteDemo.h"

#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/input/EventManager.h"
#include "engine/sprite/Sprite.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"

#include <GL/glew.h>
#include <SDL.h>

SpriteDemo::SpriteDemo()
    : flame(nullptr),
      colour{1.0f, 1.0f, 1.0f, 0.7f}
{
}

SpriteDemo::~SpriteDemo()
{
    if (flame != nullptr) {
        delete flame;
        flame = nullptr;
    }
}

void SpriteDemo::init()
{
    engine->setVideoMode(1024, 768, 24, false, true);
    g_pGraphicsCore->showCursor(true);
    // Hides the system cursor again: from here on the engine draws the pointer image.
    g_pGraphicsCore->loadCursor("Data/MousePointer.png");
    engine->setShowFPS(true);
    g_pGraphicsCore->setCaption("Quarl Engine - Sprite Animation Demo");
    flame = new CSprite("Data/Flame/flame", 8, 500.0f, 250.0f);
    flame->setSpeed(25);
}

void SpriteDemo::renderFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    // Font 1 is fetched anew for each line, as any application would.
    g_pFontManager->getFont(1)->print(360, 30, 0, "Simple Sprite Demo!");
    g_pFontManager->getFont(1)->print(360, 180, 0, "Change animation speed with button UP/Down.");
    const unsigned speed = flame != nullptr ? flame->getSpeed() : 0;
    g_pFontManager->getFont(1)->print(430, 230, 0, "Animation speed: %d", int(speed));
    if (flame != nullptr)
        flame->draw();
    g_pFontManager->getFont(1)->print(20, 740, 0, "Press ESC to Exit.");
    engine->update();
    SDL_GL_SwapBuffers();
}

void SpriteDemo::run()
{
    for (;;) {
        renderFrame();
        if (!g_pEventManager->isEventPolled())
            continue;
        if (g_pEventManager->isKeyDown(SDLK_ESCAPE))
            return;
        if (g_pEventManager->isEventCode(CEventManager::CodeQuit))
            return;
        if (flame == nullptr)
            continue;
        if (g_pEventManager->isKeyDown(SDLK_UP))
            flame->setSpeed(flame->getSpeed() + 1);
        if (g_pEventManager->isKeyDown(SDLK_DOWN) && flame->getSpeed() != 0)
            flame->setSpeed(flame->getSpeed() - 1);
    }
}

void SpriteDemo::cleanUp()
{
}

void SpriteDemo::userHook1()
{
}

void SpriteDemo::userHook2()
{
}
