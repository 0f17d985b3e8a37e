#ifndef ENGINE_GUI_BUTTON_H
#define ENGINE_GUI_BUTTON_H

#include "engine/math/Vector2.h"

#include <string>

class CSprite;
class CTexture;

// A clickable picture for GUI windows. While the pointer is over it its sprite plays once and holds
// the last frame; when the pointer leaves, the sprite goes back to its first frame. A left press
// polled while the pointer is over an enabled button posts the button's id to the event manager for
// that frame. Hit tests happen while drawing, against the mouse the event manager read this frame.
// Owns its sprite and hover text; the window that holds it owns the button. A button without a
// sprite (default constructor, no setSprite) has size 0 and is not drawn.
class CButton {
public:
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

    // Hit test of the rectangle at the position moved by the offset; posts the id on a left press.
    bool isPointerOver(float offsetX, float offsetY);
    // Draws at (left + x, top + y): the call a window makes every frame.
    void drawInWindow(float left, float top);
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

    void drawWithOffset(float offsetX, float offsetY);
};

#endif
