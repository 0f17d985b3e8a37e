#ifndef ENGINE_CAMERA_CAMERA_H
#define ENGINE_CAMERA_CAMERA_H

// The first-person 3D camera.
// Not yet: placing, looking and walking arrive with the cameras. Main thread only.
class CCamera {
public:
    CCamera();
    ~CCamera();

};

#endif
