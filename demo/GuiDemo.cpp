#include "demo/GuiDemo.h"

#include "engine/audio/Music.h"
#include "engine/audio/Sound.h"
#include "engine/audio/SoundManager.h"
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/gui/Button.h"
#include "engine/gui/StaticText.h"
#include "engine/gui/ToggleButton.h"
#include "engine/gui/Window.h"
#include "engine/gui/WindowManager.h"
#include "engine/input/EventManager.h"
#include "engine/text/Font.h"
#include "engine/text/FontManager.h"

#include <GL/glew.h>
#include <SDL.h>

namespace {

// Where the window starts; its title bar is the top 24 pixels of the background image.
const int kLeft = 352, kTop = 200, kRight = 672, kBottom = 440;

CStaticText* label(const char* text, float x, float y, float red, float blue, float green, int style,
                   float scale)
{
    CStaticText* label = new CStaticText(text, x, y, red, blue, green, 1.0f);
    label->setStyle(style);
    label->setScale(scale, scale);
    return label;
}

} // namespace

GuiDemo::GuiDemo()
    : window(nullptr),
      click(nullptr),
      music(nullptr),
      musicOn(false)
{
}

GuiDemo::~GuiDemo()
{
    // Loaded items belong to the sound manager; only what failed to load is still ours.
    if (click != nullptr && click->chunk == nullptr)
        delete click;
    if (music != nullptr && music->music == nullptr)
        delete music;
    click = nullptr;
    music = nullptr;
}

void GuiDemo::init()
{
    engine->setVideoMode(1024, 768, 24, false, true);
    g_pGraphicsCore->loadCursors("Data/MousePointer.png", "Data/Gui/moveCursor.png");
    engine->setShowFPS(true);
    g_pGraphicsCore->setCaption("Quarl Engine - GUI Demo");

    click = new CSound("Data/Gui/click.wav");
    music = new CMusic("Data/Gui/music.wav");

    window = new CWindow(kLeft, kTop, kRight, kBottom, "Data/Gui/window.png", false, 1.0f, 24, WindowId, true);
    window->setHoverText("Hold the left button on the title bar to drag the window", 20.0f, 60.0f);
    window->addStaticText(label("Quarl GUI", 10.0f, 4.0f, 1.0f, 1.0f, 1.0f, 2, 1.0f));

    window->addButton("Data/Gui/button", 6, 24.0f, 48.0f, PlayButtonId);
    window->buttons.back()->setSpeed(30);
    window->buttons.back()->setHoverText("Plays Data/Gui/click.wav", 20.0f, 80.0f);
    window->addStaticText(label("Click me", 34.0f, 58.0f, 1.0f, 1.0f, 1.0f, 0, 1.0f));

    window->addToggleButton("Data/Gui/toggleOff", 4, "Data/Gui/toggleOn", 4, 24.0f, 104.0f, MusicToggleId);
    window->toggleButtons.back()->setHoverText("Starts and stops Data/Gui/music.wav", 20.0f, 80.0f);
    window->addStaticText(label("Music", 100.0f, 112.0f, 1.0f, 1.0f, 1.0f, 0, 1.0f));

    // Colours are given red, blue, green: (1, 0, 1) is yellow.
    window->addStaticText(label("Regular", 24.0f, 152.0f, 1.0f, 1.0f, 1.0f, 0, 1.0f));
    window->addStaticText(label("Bold", 124.0f, 152.0f, 1.0f, 0.2f, 0.85f, 2, 1.0f));
    window->addStaticText(label("Second set", 184.0f, 152.0f, 0.4f, 1.0f, 0.9f, 1, 1.0f));
    window->addStaticText(label("Twice the size", 24.0f, 176.0f, 1.0f, 0.3f, 0.55f, 3, 1.5f));
    window->addStaticText(label("100% literal, even %s and %n", 24.0f, 212.0f, 0.7f, 0.7f, 0.7f, 0, 0.8f));

    g_pWindowManager->addWindow(window);
    g_pWindowManager->activateWindow(WindowId);
}

void GuiDemo::renderFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    CFont* font = g_pFontManager->getFont(1);
    font->print(300, 30, 2, "Quarl Engine GUI Demo");
    font->printColoured(20, 740, 0, 0.7f, 0.7f, 0.7f, "Press ESC to Exit.");
    engine->update();
    SDL_GL_SwapBuffers();
    handleClick(g_pEventManager->getClickedId());
}

void GuiDemo::handleClick(int id)
{
    if (id == PlayButtonId && click != nullptr) {
        click->play(0);
    } else if (id == MusicToggleId && music != nullptr) {
        musicOn = !musicOn;
        if (musicOn)
            music->play(-1);
        else
            g_pSoundManager->haltMusic();
    }
}

void GuiDemo::run()
{
    for (;;) {
        renderFrame();
        if (!g_pEventManager->isEventPolled())
            continue;
        if (g_pEventManager->isKeyDown(SDLK_ESCAPE))
            return;
        if (g_pEventManager->isEventCode(CEventManager::CodeQuit))
            return;
    }
}

void GuiDemo::cleanUp()
{
}

void GuiDemo::userHook1()
{
}

void GuiDemo::userHook2()
{
}
