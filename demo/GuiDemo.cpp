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

#include <cstring>

namespace {

const int kPageWidth = 1024;
const int kAdvance = 12;  // font 1 moves the pen 12 pixels per character
// Margins inside the window: controls in a column at the left margin, their captions in a second
// column, everything kept clear of the right and bottom edges by the same margin.
const float kMargin = 24.0f, kCaptionColumn = 152.0f;
// Colours are given red, blue, green.
const float kWhite[3] = {1.0f, 1.0f, 1.0f};
const float kGrey[3] = {0.72f, 0.76f, 0.74f};
const float kYellow[3] = {1.0f, 0.2f, 0.85f};
const float kCyan[3] = {0.4f, 1.0f, 0.9f};
const float kOrange[3] = {1.0f, 0.3f, 0.55f};

float textWidth(const char* text, float scale)
{
    return static_cast<float>(std::strlen(text)) * kAdvance * scale;
}

CStaticText* label(const char* text, float x, float y, const float colour[3], int style, float scale)
{
    CStaticText* label = new CStaticText(text, x, y, colour[0], colour[1], colour[2], 1.0f);
    label->setStyle(style);
    label->setScale(scale, scale);
    return label;
}

// Hover texts share one status line at the bottom of the page, above the exit hint.
const float kStatusX = 20.0f, kStatusY = 716.0f;
const char* const kHeading = "Quarl Engine GUI Demo";
const char* const kSubheading = "Drag the window by its title bar; point at a control for a hint.";

}  // namespace

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

    window = new CWindow(WindowLeft, WindowTop, WindowLeft + WindowWidth, WindowTop + WindowHeight,
                         "Data/Gui/window.png", false, 1.0f, TitleHeight, WindowId, true);
    window->setHoverText("Hold the left button on the title bar to drag the window", kStatusX, kStatusY);
    // The title sits as far from the left edge as the grip on the strip sits from the right.
    window->addStaticText(label("Quarl GUI", 12.0f, 4.0f, kWhite, 2, 1.0f));

    // Row 1: the button, its label centred on it (text is 16 pixels high, its ink centred in that).
    const char* play = "Play";
    window->addButton("Data/Gui/button", 6, ButtonX, ButtonY, PlayButtonId);
    window->buttons.back()->setSpeed(30);
    window->buttons.back()->setHoverText("Plays Data/Gui/click.wav", kStatusX, kStatusY);
    const float buttonWidth = window->buttons.back()->getWidth();
    const float buttonHeight = window->buttons.back()->getHeight();
    window->addStaticText(label(play, ButtonX + (buttonWidth - textWidth(play, 1.0f)) / 2.0f,
                                ButtonY + (buttonHeight - 16.0f) / 2.0f, kWhite, 0, 1.0f));
    window->addStaticText(
        label("Click sound", kCaptionColumn, ButtonY + (buttonHeight - 16.0f) / 2.0f, kGrey, 0, 1.0f));

    // Row 2: the switch and its caption, vertically centred on it.
    window->addToggleButton("Data/Gui/toggleOff", 4, "Data/Gui/toggleOn", 4, ToggleX, ToggleY, MusicToggleId);
    window->toggleButtons.back()->setHoverText("Starts and stops Data/Gui/music.wav", kStatusX, kStatusY);
    const float toggleHeight = window->toggleButtons.back()->getHeight();
    window->addStaticText(
        label("Music loop", kCaptionColumn, ToggleY + (toggleHeight - 16.0f) / 2.0f, kGrey, 0, 1.0f));

    // Row 3: the text styles, on the same two columns; row 4: a scaled label. The rows keep the
    // 20-pixel gaps of the controls above and end one margin above the bottom edge.
    const float stylesY = ToggleY + toggleHeight + 20.0f;
    window->addStaticText(label("Regular", kMargin, stylesY, kWhite, 0, 1.0f));
    window->addStaticText(label("Bold", kCaptionColumn, stylesY, kYellow, 1, 1.0f));
    window->addStaticText(
        label("Heavy", kCaptionColumn + textWidth("Bold", 1.0f) + kMargin, stylesY, kCyan, 3, 1.0f));
    window->addStaticText(label("Scaled 1.5x", kMargin, WindowHeight - kMargin - 24.0f, kOrange, 2, 1.5f));

    g_pWindowManager->addWindow(window);
    g_pWindowManager->activateWindow(WindowId);
}

void GuiDemo::renderFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    CFont* font = g_pFontManager->getFont(1);
    font->print(static_cast<int>((kPageWidth - textWidth(kHeading, 1.0f)) / 2.0f), 32, 2, "%s", kHeading);
    font->printColoured(static_cast<int>((kPageWidth - textWidth(kSubheading, 1.0f)) / 2.0f), 60, 0, 0.7f, 0.7f,
                        0.7f, "%s", kSubheading);
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
