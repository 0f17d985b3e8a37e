#ifndef ENGINE_GUI_POINTER_H
#define ENGINE_GUI_POINTER_H

// What the GUI's hit tests ask of the mouse state the event manager read this frame, and the
// engine's stock pointer images.
namespace gui {

// The stock pointer, and the four-way arrow shown on a draggable title strip: hand them to
// CGraphicsCore::loadCursors(). Built into the library (found on disk first).
constexpr const char* kPointerImage = "Data/MousePointer.png";
constexpr const char* kMoveCursorImage = "Data/Gui/moveCursor.png";

// The pointer lies in the rectangle from (x, y) to (x + w, y + h), every edge included.
bool pointerInside(float x, float y, float w, float h);
// A press of the left button was polled in this frame's update.
bool leftPressPolled();
// A release of the left button was polled in this frame's update.
bool leftReleasePolled();

}  // namespace gui

#endif
