#ifndef ENGINE_CAMERA_CAMERAMANAGER_H
#define ENGINE_CAMERA_CAMERAMANAGER_H

// Owns the 2D cameras; the current one scrolls the scene every frame.
// Not yet: 2D cameras arrive with the cameras; apply() has nothing to apply. Main thread only.
class CCameraManager {
public:
    CCameraManager();
    ~CCameraManager();

    // Translates the model-view matrix by the current 2D camera, when there is one.
    void apply();
};

#endif
