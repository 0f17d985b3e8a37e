#ifndef ENGINE_GUI_TOGGLEBUTTON_H
#define ENGINE_GUI_TOGGLEBUTTON_H

#include "engine/math/Vector2.h"

#include <string>

class CSprite;

// A two-state button, in a GUI window or on its own: the off sprite shows while the state is off,
// the on sprite while it is on. A left press polled while the pointer is over an enabled toggle
// button posts its id and flips the state; the sprite is chosen when drawn, so a flip shows from
// the next drawing. Hover, and when a press is tested (in a window while drawn, on its own by the
// window manager's next pass, once per press), behave as the push button's (see CButton). The
// position is the one stored in the sprites, which always move together. Owns both sprites and the
// hover text. The window that holds it owns the toggle button; one drawn on its own is its
// creator's, and the window manager only points to it until its next pass. Without sprites
// (default constructor) it has size 0 and is not drawn.
class CToggleButton {
public:
    // The engine's stock switch: 4 frames each, built into the library (found on disk first).
    static constexpr const char* kDefaultOffSprite = "Data/Gui/toggleOff";
    static constexpr const char* kDefaultOnSprite = "Data/Gui/toggleOn";
    static constexpr unsigned kDefaultFrameCount = 4;

    CToggleButton();
    CToggleButton(const std::string& offSpriteBase, unsigned offFrames, const std::string& onSpriteBase,
                  unsigned onFrames, float x, float y, int id);
    ~CToggleButton();

    float getX() const;
    float getY() const;
    // Whole pixels: the value is truncated toward zero (10.7 gives 10, -3.5 gives -3).
    void setX(float x);
    void setY(float y);
    void setPosition(float x, float y);
    void setPosition(CVector2 pos);
    // The size of the off sprite's first frame.
    float getWidth() const;
    float getHeight() const;
    void setSize(int w, int h);
    // Sets the state without posting anything.
    void setChecked(bool value);
    void setEnabled(bool value);
    void setHovered(bool value);
    void setHoverText(const std::string& text, float x, float y);
    void setHoverTextEnabled(bool value);

    // Hit test at the position moved by the offset; flips and posts on a left press polled in the
    // event manager's last update, at once.
    bool isPointerOver(float offsetX, float offsetY);
    // Draws and tests a press at once: the call a window makes every frame.
    void drawInWindow(float left, float top);
    // Draw outside any window; the press is tested by the window manager's next pass.
    void drawAt(float x, float y);
    void draw();

    bool enabled;
    bool hovered;
    bool visible;
    CSprite* offSprite;  // owned
    CSprite* onSprite;   // owned
    bool on;
    std::string hoverText;
    bool hoverTextEnabled;
    CVector2 hoverTextPosition;
    int id;

private:
    CToggleButton(const CToggleButton&) = delete;
    CToggleButton& operator=(const CToggleButton&) = delete;

    // Draws the chosen sprite at its own position moved by the offset; inWindow tests a press now,
    // otherwise the window manager's next pass does.
    void drawWithOffset(float offsetX, float offsetY, bool inWindow);
};

#endif
