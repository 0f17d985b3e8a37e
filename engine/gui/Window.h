#ifndef ENGINE_GUI_WINDOW_H
#define ENGINE_GUI_WINDOW_H

#include "engine/math/Vector2.h"

#include <string>
#include <vector>

class CButton;
class CStaticText;
class CTexture;
class CToggleButton;

// One GUI window: a screen rectangle with images (the background, if it has one, first) and lists
// of push buttons, toggle buttons and static texts, drawn in that order. A draggable window follows
// the pointer while dragged by its title strip (the full width, titleHeight pixels down from the
// top edge) until a left release anywhere, and shows the alternative cursor while the pointer is on
// the strip. All hit tests happen in draw(), against the mouse and the event the event manager read
// in its last update: add the window to the window manager, whose pass inside CEngine::update()
// draws it right after that update (a window drawn by the game before engine->update() tests the
// press of the update before, and the clicked id it posts is reset by the next one). Its look comes
// entirely from its images and widgets. Owns its images and widgets; only points to its hover
// text, which the caller keeps alive. The window manager owns the window. A new window is
// invisible.
class CWindow {
public:
    // The engine's stock background, built into the library (found on disk first).
    static constexpr const char* kDefaultBackground = "Data/Gui/window.png";

    CWindow();
    // The background is loaded with the alpha and never larger than the window; with stretch it
    // fills the window exactly. An empty name is a window without a background, and writes nothing.
    CWindow(int left, int top, int right, int bottom, const std::string& backgroundFile, bool stretch,
            float backgroundAlpha, unsigned titleHeight, int id, bool draggable);
    ~CWindow();

    // Buttons and toggle buttons are moved left or up, when added, so that their right and bottom
    // edges stay inside the window. The window takes what it is given; a null pointer is ignored.
    void addButton(CButton* button);
    void addButton(const std::string& spriteBase, unsigned frameCount, float x, float y, int id);
    void addImage(CTexture* image);
    // The image at (x, y) inside the window, drawn with the given alpha.
    void addImage(const std::string& fileName, unsigned x, unsigned y, float alpha);
    void addToggleButton(CToggleButton* toggle);
    void addToggleButton(const std::string& offSpriteBase, unsigned offFrames, const std::string& onSpriteBase,
                         unsigned onFrames, float x, float y, int id);
    void addStaticText(CStaticText* text);

    // Active also makes the window visible.
    void setActive(bool value);
    // Invisible also makes the window inactive.
    void setVisible(bool value);
    bool isVisible() const;
    int getId() const;
    void setRect(int left, int top, int right, int bottom);
    void setDraggable(bool value);
    void setTitleHeight(unsigned value);
    // Printed with font 1 at the absolute (x, y) while the pointer is on the title strip of a
    // draggable window. The text is kept by pointer and printed as it stands.
    void setHoverText(const char* text, float x, float y);
    void setHoverTextEnabled(bool value);

    // The per-frame operation: strip test, drag, then images and widgets.
    void draw();
    // Draws the contents as if the top-left corner were at (x, y): no strip, drag or cursor.
    void drawAt(float x, float y);
    // Whether the pointer is on the title strip, every edge included; a draggable window also
    // chooses the cursor image by it.
    bool isPointerOverTitleStrip();
    void drawHoverText();
    // Moves the window by the mouse movement of the last event-manager update.
    void followMouse();

    float top;
    float right;
    float bottom;
    float left;
    bool active;
    bool visible;
    bool draggable;
    std::vector<CButton*> buttons;
    std::vector<CTexture*> images;
    std::vector<CToggleButton*> toggleButtons;
    std::vector<CStaticText*> staticTexts;
    int id;
    unsigned titleHeight;
    bool dragging;
    const char* hoverText;  // not owned
    bool hoverTextEnabled;
    CVector2 hoverTextPosition;

private:
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;
};

#endif
