#include "demo/SpriteDemo.h"

#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/input/EventManager.h"
#include "engine/sprite/Sprite.h"

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
    // Not yet: the four lines of text and the speed are printed here once fonts exist.
    if (flame != nullptr)
        flame->draw();
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
