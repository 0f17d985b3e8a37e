#ifndef ENGINE_CAMERA_CAMERAMANAGER_H
#define ENGINE_CAMERA_CAMERAMANAGER_H

#include <cstdint>
#include <vector>

class CCamera2D;
class CVector2;

// Owns every 2D camera added to it, in the order added, and deletes them when it is destroyed; one
// of them is current and scrolls the scene every frame through apply(). An empty manager does
// nothing at all. Main thread only (apply() issues OpenGL calls).
class CCameraManager {
public:
    CCameraManager();
    ~CCameraManager();

    // Takes ownership of a camera made with new, appends it and makes it current.
    void addCamera(CCamera2D* camera);
    // Selects the camera at index (from 0); an index past the end changes nothing.
    void setCurrent(uint32_t index);
    // Multiplies the current matrix by a translation of the current camera's (x, y, 0), then by its
    // zoom and rotation when it has any. It neither loads the identity nor pushes: the offset adds to
    // whatever the caller has set up.
    void apply();

    // Adds d to the current camera's x.
    void addX(float d);
    // Subtracts d from the current camera's x.
    void subtractX(float d);
    // Adds d to the current camera's y.
    void addY(float d);
    // Subtracts d from the current camera's y.
    void subtractY(float d);
    // Adds dx to the current camera's x and dy to its y.
    void addXY(float dx, float dy);

    // The current camera's position, or null when there is none. Points into a camera this manager
    // owns: valid until the manager is destroyed.
    CVector2* getCurrent();
    // The position of the camera at index (from 0), or null past the end.
    CVector2* getCamera(uint32_t index);

private:
    CCameraManager(const CCameraManager&) = delete;
    CCameraManager& operator=(const CCameraManager&) = delete;

    CCamera2D* currentCamera();

    std::vector<CCamera2D*> cameras;  // owned
    uint32_t cameraCount;
    uint32_t current;
};

#endif
