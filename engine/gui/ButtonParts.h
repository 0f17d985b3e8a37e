#ifndef ENGINE_GUI_BUTTONPARTS_H
#define ENGINE_GUI_BUTTONPARTS_H

#include "engine/math/Vector2.h"

#include <string>

class CSprite;

// What the push and toggle buttons share: the frame-0 hit test with its click, the hover drawing
// and the hover text, and resizing every frame. Free functions over the buttons' own fields, so
// neither class gains a base. Nothing here owns anything.
namespace gui {

// The hover text as both buttons store it: text, absolute position, and whether it is printed.
void setHoverText(std::string& text, CVector2& position, bool& enabled, const std::string& newText, float x,
                  float y);

// The pointer over the sprite's frame 0 placed at (x, y), every edge included; false without a
// frame 0.
bool pointerOverFrame(const CSprite* sprite, float x, float y);
// pointerOverFrame(), and a left press polled while inside an enabled button posts the id and sets
// pressed.
bool hitTest(const CSprite* sprite, float x, float y, bool enabled, int id, bool& pressed);

// Draws the shown sprite at (x, y): inside, it plays once and holds its last frame, and an enabled
// hover text is printed with font 1; outside, it is rewound and its first frame drawn.
void drawHover(CSprite* shown, float x, float y, bool inside, bool textEnabled, const std::string& text,
               CVector2 textPosition);

// Every frame of the sprite gets the size; a null sprite is left alone.
void resizeFrames(CSprite* sprite, int width, int height);

}  // namespace gui

#endif
