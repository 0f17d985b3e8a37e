#ifndef ENGINE_CAMERA_CAMERA2D_H
#define ENGINE_CAMERA_CAMERA2D_H

#include "engine/math/Vector2.h"

// A scrolling offset for 2D scenes: the camera manager translates the model-view matrix by the
// current camera's position once per frame. A plain value holder; owns nothing.
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

    CVector2 position;
};

#endif
