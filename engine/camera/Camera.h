#ifndef ENGINE_CAMERA_CAMERA_H
#define ENGINE_CAMERA_CAMERA_H

#include "engine/math/Vector3.h"

// The first-person 3D camera: an eye, the point it looks at and an up vector, turned by the mouse's
// movement away from the window centre and walked by the arrow keys or W, A, S, D. Owns nothing; it
// reads the window size from the graphics core and the frame time from the utilities, both of which
// the engine keeps alive longer than any frame that uses the camera. Main thread only (SDL's mouse
// and keyboard state, OpenGL's model-view matrix).
//
// The fields are public: applications place and read the camera directly.
class CCamera {
public:
    // Eye (0, 5, -25), looking at (1, 5, 1), up (0, 1, 0), strafe axis zero until update(), walking
    // at 200 units per second.
    CCamera();
    ~CCamera();

    // Sets the eye, the point looked at and the up vector; strafeAxis follows at the next update().
    void place(float positionX, float positionY, float positionZ, float viewX, float viewY, float viewZ, float upX,
               float upY, float upZ);

    // Turns the view by the pointer's distance from the window centre (500 pixels per radian) and
    // warps the pointer back there. A reading that would take the accumulated pitch beyond +-1
    // radian clamps the accumulated pitch and turns nothing, not even sideways. A pointer already at
    // the centre changes nothing and is not warped.
    void mouseLook();
    // Rotates the view point about the eye by angle radians around the unit axis (x, y, z).
    void rotateView(float angle, float x, float y, float z);
    // Moves the eye along the viewing direction; the view point stays, so the eye can walk past it,
    // after which the viewing direction is reversed.
    void moveForward(float distance);
    // Moves eye and view point along strafeAxis in x and z only; negative goes left.
    void strafe(float distance);
    // Moves the eye to newPosition and the view point with it, keeping the viewing direction.
    void moveTo(CVector3 newPosition);
    // Walks getWalkingSpeed() units per second of the utilities' frame time for each held pair
    // of keys: Up or W, Down or S, Left or A, Right or D. Opposite keys cancel; both keys of a
    // pair act once.
    void handleKeys();
    // Units walked per second while a key is held; 200 unless set. A negative, infinite or NaN
    // speed is taken as 0 (the keys then move nothing).
    void setWalkingSpeed(float unitsPerSecond);
    float getWalkingSpeed() const;
    // Puts the pointer at the window's centre and waits (up to half a second) until SDL reports it
    // there, so that the first update() turns by nothing: before the window has the pointer, SDL
    // reports it at (0, 0), and mouseLook() would turn the view by that whole distance. Call it once
    // the window is open, before the first update(); true once SDL reports the centre.
    bool centrePointer();
    // Recomputes strafeAxis, then mouseLook(), then handleKeys(): one frame of steering.
    void update();
    // gluLookAt with the eye, view point and up vector, multiplied onto the current matrix.
    void look();

    // The pitch that every camera's mouseLook() adds to, shared by the whole program.
    static float getAccumulatedPitch();
    // Sets the shared pitch back to 0. The engine never calls it; tests do, so that their order does
    // not matter.
    static void resetAccumulatedPitch();

    CVector3 position;    // the eye
    CVector3 view;        // the point looked at
    CVector3 up;          // the up vector
    CVector3 strafeAxis;  // unit vector to the right, normalise((view - position) x up)

private:
    float walkingSpeed;
    // The window size of the last mouseLook(): after a resize the pointer still lies at the old
    // centre, which is no movement of the mouse. 0 by 0 before the first.
    unsigned lookedWidth = 0;
    unsigned lookedHeight = 0;
};

#endif
