#ifndef ENGINE_CAMERA_CAMERA2D_H
#define ENGINE_CAMERA_CAMERA2D_H

#include "engine/math/Vector2.h"

// A scrolling offset for 2D scenes: the camera manager translates the model-view matrix by the
// current camera's position once per frame. A plain value holder; owns nothing.
//
// Beside the offset, the camera can look at a point of the world: centerOn() and follow() set the
// position so that the point shows at the middle of a view of the size given to setViewSize() (the
// window, or the size the game draws at), so at zoom 1 the position stays minus the view's top-left
// corner. Zoom and rotation turn and scale the world about that middle; the manager applies them
// after the translation, and makes no call for them at zoom 1 without a turn. Bounds keep the view
// inside a rectangle of the world, such as a map. worldToScreen() and screenToWorld() convert
// between the world and the view's pixels (the pointer's, when the view is the window).
class CCamera2D {
public:
    CCamera2D();
    CCamera2D(float x, float y);
    ~CCamera2D();

    void addX(float d);
    void subtractX(float d);
    void addY(float d);
    void subtractY(float d);
    void addXY(float dx, float dy);
    // Points into this camera: valid as long as the camera lives.
    CVector2* getPosition();

    // What the camera shows, in view pixels; 0 by 0 until set. Keeps the middle on the same point.
    void setViewSize(float width, float height);
    float getViewWidth() const;
    float getViewHeight() const;

    // Shows the point at the middle of the view, within the bounds when there are any. The setters
    // below refuse what is not finite (or a negative size, a zoom not above 0) with one line,
    // "Ignored a camera ...", and keep what they had.
    void centerOn(CVector2 point);
    // The world point at the middle of the view.
    CVector2 getCenter() const;
    // One step of following a target over `seconds` of game time: the target may move inside the
    // dead zone without moving the camera; beyond it the camera moves just enough to bring it back
    // to the zone's edge, at once or, with smoothing, part of the way.
    void follow(CVector2 target, float seconds);
    // 0 (the default) keeps up at once; a rate r > 0 closes 1 - e^(-r t) of the gap in t seconds,
    // the same whatever the frame rate.
    void setSmoothing(float rate);
    float getSmoothing() const;
    // A rectangle of that size in view pixels, centred on the view's middle (along the world's axes
    // when turned); 0 by 0, the default, follows every move.
    void setDeadZone(float width, float height);

    // Greater than 1 magnifies. Something not finite and above 0 writes "Ignored a camera zoom of
    // ZOOM: not a finite number above 0" and keeps the last.
    void setZoom(float zoom);
    float getZoom() const;
    // Degrees the world turns clockwise on the screen about the view's middle.
    void setRotation(float degrees);
    float getRotation() const;
    // The view shows nothing outside this rectangle of the world (a map: 0, 0 and its size in
    // pixels); on an axis where the bounds are smaller than the view, the view is centred on them.
    void setBounds(float left, float top, float width, float height);
    void clearBounds();
    bool hasBounds() const;
    // Rounds the position to whole pixels, so that at zoom 1 tiles and sprites land texel for pixel.
    void setPixelSnap(bool snap);

    // Where a world point shows in the view, and back: view pixels from its top-left corner.
    CVector2 worldToScreen(CVector2 world) const;
    CVector2 screenToWorld(CVector2 screen) const;

    // Multiplies the current matrix by the zoom and rotation about the middle; nothing at zoom 1
    // without a turn. The camera manager calls it after its translation.
    void applyZoomAndRotation() const;
    // The whole view on the current matrix, for a camera used without the manager: the translation
    // by the position, then applyZoomAndRotation().
    void apply() const;

    CVector2 position;

private:
    // Places the middle on the point within the bounds and sets the position from it.
    void place(CVector2 point);

    float viewWidth;
    float viewHeight;
    float zoom;
    float rotation;
    float smoothing;
    float deadWidth;
    float deadHeight;
    float boundLeft;
    float boundTop;
    float boundWidth;
    float boundHeight;
    bool bounded;
    bool snap;
    // The middle as last placed, before rounding, and the position it gave: a position moved since
    // (addX and the like) gives the middle instead.
    CVector2 placedCenter;
    CVector2 placedPosition;
};

#endif
