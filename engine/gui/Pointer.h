#ifndef ENGINE_GUI_POINTER_H
#define ENGINE_GUI_POINTER_H

// What the GUI's hit tests ask of the mouse state the event manager read this frame.
namespace gui {

// The pointer lies in the rectangle from (x, y) to (x + w, y + h), every edge included.
bool pointerInside(float x, float y, float w, float h);
// A press of the left button was polled in this frame's update.
bool leftPressPolled();
// A release of the left button was polled in this frame's update.
bool leftReleasePolled();

} // namespace gui

#endif
