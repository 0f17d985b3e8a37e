#include "engine/camera/CameraManager.h"

CCameraManager::CCameraManager() = default;

CCameraManager::~CCameraManager() = default;

void CCameraManager::apply()
{
    // Not yet: no 2D camera can be registered before the cameras land.
}
