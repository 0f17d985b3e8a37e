// gui_basics: a GUI window with a button that counts its clicks and a switch, dragged by its title
// strip. The images are the GUI demo's (Data/Gui/), found beside the program, in QUARL_DATA_DIR or in
// the working directory, else built into the engine. Escape or closing the window ends it.
//
// What to know about the GUI:
// - The window manager owns every window, and a window owns what is added to it: keep plain
//   pointers to the widgets and labels you change, never delete them.
// - Widget and label positions are relative to the window's top-left corner, so they move with it.
// - The GUI is drawn, and hit-tested against the mouse, inside engine->update(). A clicked widget
//   posts its id there; read it with getClickedId() after update() and before the next one.
// - A toggle button flips its state itself when clicked; read it from its `on` field.
#include <engine/QuarlEngine.h>

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <string>

namespace {

// Moves a label to the middle of a box (in its window's coordinates), whole pixels so that the
// glyphs stay sharp.
void centre(CStaticText* label, float x, float y, float width, float height)
{
    const CVector2 size = label->getSize();
    label->position = CVector2(std::floor(x + (width - size.x) / 2), std::floor(y + (height - size.y) / 2));
}

}  // namespace

class GuiBasics : public CApp {
public:
    void init() override
    {
        g_pGraphicsCore->setResizable(true);              // the GUI window stays where it is dragged
        g_pGraphicsCore->setDepthBits(0);                 // 2D only: no depth buffer, faster fills
        engine->setVideoMode(800, 600, 24, false, true);  // windowed, 2D: (0, 0) is the top-left
        g_pGraphicsCore->setCaption("Quarl Engine - GUI basics");
        // The pointer, and the four-way arrow shown while the pointer is on a draggable title strip.
        g_pGraphicsCore->loadCursors("Data/MousePointer.png", "Data/Gui/moveCursor.png");

        // 320 by 240 pixels, centred; the top 24 pixels are the title strip that drags it.
        CWindow* window = new CWindow(240, 180, 560, 420, "Data/Gui/window.png", false, 1.0f, 24, WindowId, true);
        // The title centred in the strip, measured: getSize() is what the label covers when drawn.
        CStaticText* title = new CStaticText("GUI basics", 0.0f, 0.0f);
        centre(title, 0.0f, 0.0f, 320.0f, 24.0f);
        window->addStaticText(title);

        // Row 1: a 112 by 36 button with its label centred on it, and the count beside it.
        window->addButton("Data/Gui/button", 6, 24.0f, 48.0f, CountButtonId);
        CStaticText* caption = new CStaticText("Click", 0.0f, 0.0f);
        centre(caption, 24.0f, 48.0f, 112.0f, 36.0f);
        window->addStaticText(caption);
        countText = new CStaticText("Clicks: 0", 152.0f, 58.0f);
        window->addStaticText(countText);

        // Row 2: a 64 by 32 switch and its state.
        window->addToggleButton("Data/Gui/toggleOff", 4, "Data/Gui/toggleOn", 4, 24.0f, 104.0f, SwitchId);
        toggle = window->toggleButtons.back();
        switchText = new CStaticText("Switch: off", 152.0f, 112.0f);
        // The labels' colours are given red, blue, green, alpha: this is a light green.
        switchText->setColour(0.6f, 0.6f, 1.0f, 1.0f);
        window->addStaticText(switchText);

        CStaticText* hint = new CStaticText("Drag me by my title.", 24.0f, 160.0f);
        hint->setColour(0.7f, 0.7f, 0.7f, 1.0f);
        window->addStaticText(hint);

        g_pWindowManager->addWindow(window);
        g_pWindowManager->activateWindow(WindowId);  // a new window is invisible until activated
    }

    void run() override
    {
        for (;;) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            g_pFontManager->getFont(1)->print(20, int(g_pGraphicsCore->height) - 40, 0, "Escape quits.");
            engine->update();  // input, then the GUI and the pointer on top of what was drawn
            SDL_GL_SwapBuffers();

            const int clicked = g_pEventManager->getClickedId();  // -1 when nothing was clicked
            if (clicked == CountButtonId)
                countText->setText("Clicks: " + std::to_string(++clicks));
            else if (clicked == SwitchId)
                switchText->setText(toggle->on ? "Switch: on" : "Switch: off");

            // update() takes one event per frame and keeps the last one: react only to a new one.
            if (g_pEventManager->isEventPolled() &&
                (g_pEventManager->isKeyDown(SDLK_ESCAPE) || g_pEventManager->isEventCode(CEventManager::CodeQuit)))
                return;
        }
    }

    void cleanUp() override
    {
    }
    void userHook1() override
    {
    }
    void userHook2() override
    {
    }

private:
    enum { WindowId = 1, CountButtonId = 2, SwitchId = 3 };

    // All three belong to the window, which belongs to the window manager.
    CStaticText* countText = nullptr;
    CStaticText* switchText = nullptr;
    CToggleButton* toggle = nullptr;
    int clicks = 0;
};

int main(int, char*[])
{
    GuiBasics app;
    app.init();
    app.run();
    app.cleanUp();
    return 0;
}
