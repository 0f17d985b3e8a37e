#include "demo/SpriteDemo.h"

#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/input/EventManager.h"

#include <GL/glew.h>
#include <SDL.h>

SpriteDemo::SpriteDemo()
    : flame(nullptr),
      colour{1.0f, 1.0f, 1.0f, 0.7f}
{
}

SpriteDemo::~SpriteDemo()
{
    // Not yet: the flame is deleted here once sprites exist; init() cannot create one before.
    flame = nullptr;
}

void SpriteDemo::init()
{
    engine->setVideoMode(1024, 768, 24, false, true);
    g_pGraphicsCore->showCursor(true);
    // Not yet: the custom pointer "Data/MousePointer.png" is loaded here once textures exist.
    engine->setShowFPS(true);
    g_pGraphicsCore->setCaption("Quarl Engine - Sprite Animation Demo");
    // Not yet: the eight-frame flame from "Data/Flame/flame" at (500, 250), 25 frames per second.
}

void SpriteDemo::renderFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    // Not yet: the four lines of text, the speed and the flame take their places here once fonts
    // and sprites exist.
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
        // Not yet: Up and Down raise and lower the flame's speed once sprites exist.
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
