#include "engine/camera/CameraManager.h"

#include "engine/camera/Camera2D.h"

#include <GL/glew.h>

CCameraManager::CCameraManager()
    : cameraCount(0),
      current(0)
{
}

CCameraManager::~CCameraManager()
{
    for (CCamera2D* camera : cameras)
        delete camera;
    cameras.clear();
}

void CCameraManager::addCamera(CCamera2D* camera)
{
    cameras.push_back(camera);
    cameraCount = uint32_t(cameras.size());
    current = cameraCount - 1;
}

void CCameraManager::setCurrent(uint32_t index)
{
    if (index < cameraCount)
        current = index;
}

void CCameraManager::apply()
{
    if (CCamera2D* camera = currentCamera()) {
        glTranslatef(camera->position.x, camera->position.y, 0.0f);
        camera->applyZoomAndRotation();  // nothing at zoom 1 without a turn
    }
}

void CCameraManager::addX(float d)
{
    if (CCamera2D* camera = currentCamera())
        camera->addX(d);
}

void CCameraManager::subtractX(float d)
{
    if (CCamera2D* camera = currentCamera())
        camera->subtractX(d);
}

void CCameraManager::addY(float d)
{
    if (CCamera2D* camera = currentCamera())
        camera->addY(d);
}

void CCameraManager::subtractY(float d)
{
    if (CCamera2D* camera = currentCamera())
        camera->subtractY(d);
}

void CCameraManager::addXY(float dx, float dy)
{
    if (CCamera2D* camera = currentCamera())
        camera->addXY(dx, dy);
}

CVector2* CCameraManager::getCurrent()
{
    CCamera2D* camera = currentCamera();
    return camera ? camera->getPosition() : nullptr;
}

CVector2* CCameraManager::getCamera(uint32_t index)
{
    if (index >= cameraCount || cameras[index] == nullptr)
        return nullptr;
    return cameras[index]->getPosition();
}

CCamera2D* CCameraManager::currentCamera()
{
    // Null also when a null pointer was added and made current: it stays listed, applies nothing.
    if (cameraCount == 0)
        return nullptr;
    return cameras[current];
}
