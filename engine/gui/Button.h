#ifndef ENGINE_GUI_BUTTON_H
#define ENGINE_GUI_BUTTON_H

#include "engine/math/Vector2.h"

#include <string>

class CSprite;
class CTexture;

// A clickable picture, in a GUI window or on its own. While the pointer is over it its sprite plays
// once and holds the last frame; when the pointer leaves, the sprite goes back to its first frame.
// A left press polled while the pointer is over an enabled button posts the button's id to the
// event manager, readable with getClickedId() until the next event-manager update. The press is
// tested in the update that polled it, whatever the order of the game's drawing and its
// engine->update():
// - in a window (drawInWindow(), which windows call from the window manager's pass inside
//   CEngine::update()), while the button is drawn;
// - drawn on its own (draw(), drawAt()), by the window manager's next pass, right after the event
//   manager's next update, at the place the button was last drawn. A button that is not drawn
//   between two passes takes no click.
//
// Owns its sprite and hover text. The window that holds it owns the button; a button drawn on its
// own is its creator's, and the window manager only points to it until its next pass (the
// destructor takes it off). A button without a sprite (default constructor, no setSprite) has
// size 0 and is not drawn.
class CButton {
public:
    // The engine's stock button: 6 frames, built into the library (found on disk first).
    static constexpr const char* kDefaultSprite = "Data/Gui/button";
    static constexpr unsigned kDefaultFrameCount = 6;

    CButton();
    // Loads spriteBase + "1.png" ... as the button's frames; the size is that of frame 1.
    CButton(const std::string& spriteBase, unsigned frameCount, float x, float y, int id);
    ~CButton();

    // Replaces the sprite (releasing the earlier one); enabled again and not hovered.
    void setSprite(const std::string& spriteBase, unsigned frameCount);
    void setEnabled(bool value);
    void setVisible(bool value);
    void setHovered(bool value);
    // Printed with font 1 at the absolute (x, y) while hovered; printed as it stands.
    void setHoverText(const std::string& text, float x, float y);
    void setHoverTextEnabled(bool value);
    float getX() const;
    float getY() const;
    void setX(float x);
    void setY(float y);
    void setPosition(CVector2 pos);
    float getWidth() const;
    float getHeight() const;
    // Resizes every frame; the hit rectangle follows.
    void setSize(int w, int h);
    CTexture* getFrame(unsigned index) const;
    void setSpeed(unsigned framesPerSecond);

    // Hit test of the rectangle at the position moved by the offset; posts the id on a left press
    // polled in the event manager's last update, at once.
    bool isPointerOver(float offsetX, float offsetY);
    // Draws at (left + x, top + y) and tests a press at once: the call a window makes every frame.
    void drawInWindow(float left, float top);
    // Draw at (x, y), or at the button's position, outside any window; the press is tested by the
    // window manager's next pass.
    void drawAt(float x, float y);
    void draw();

    CVector2 position;
    bool enabled;
    bool visible;
    bool hovered;
    CSprite* sprite;  // owned; null until a sprite is given
    std::string hoverText;
    bool hoverTextEnabled;
    CVector2 hoverTextPosition;
    float width;
    float height;
    int id;

private:
    CButton(const CButton&) = delete;
    CButton& operator=(const CButton&) = delete;

    // inWindow: test a press now; otherwise leave it to the window manager's next pass.
    void drawWithOffset(float offsetX, float offsetY, bool inWindow);
};

#endif
