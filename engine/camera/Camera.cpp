#include "engine/camera/Camera.h"

#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/math/VectorMath.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cmath>

namespace {

const float kMouseDivisor = 500.0f;         // pixels of pointer movement per radian of turn
const float kPitchLimit = 1.0f;             // radians the accumulated pitch may reach either way
const float kDefaultWalkingSpeed = 200.0f;  // units walked per second of frame time

// Shared by every camera: one mouse steers one head, however many camera objects exist.
float accumulatedPitch = 0.0f;

}  // namespace

CCamera::CCamera()
    : position(0.0f, 5.0f, -25.0f),
      view(1.0f, 5.0f, 1.0f),
      up(0.0f, 1.0f, 0.0f),
      strafeAxis(0.0f, 0.0f, 0.0f),
      walkingSpeed(kDefaultWalkingSpeed)
{
}

CCamera::~CCamera() = default;

void CCamera::place(float positionX, float positionY, float positionZ, float viewX, float viewY, float viewZ,
                    float upX, float upY, float upZ)
{
    position = CVector3(positionX, positionY, positionZ);
    view = CVector3(viewX, viewY, viewZ);
    up = CVector3(upX, upY, upZ);
}

void CCamera::mouseLook()
{
    const int centreX = int(g_pGraphicsCore->width / 2);
    const int centreY = int(g_pGraphicsCore->height / 2);
    int mouseX = 0;
    int mouseY = 0;
    SDL_GetMouseState(&mouseX, &mouseY);
    const bool resized = (lookedWidth != 0 || lookedHeight != 0) &&
                         (lookedWidth != g_pGraphicsCore->width || lookedHeight != g_pGraphicsCore->height);
    lookedWidth = g_pGraphicsCore->width;
    lookedHeight = g_pGraphicsCore->height;
    if (mouseX == centreX && mouseY == centreY)
        return;
    SDL_WarpMouse(Uint16(centreX), Uint16(centreY));
    // The window changed size since the last look: the pointer is where the old centre was, and
    // reading that as a turn would swing the view by half the change.
    if (resized)
        return;

    const float yaw = float(centreX - mouseX) / kMouseDivisor;
    const float pitch = float(centreY - mouseY) / kMouseDivisor;
    accumulatedPitch -= pitch;
    // A reading that reaches past the limit is dropped whole, its sideways part included.
    if (accumulatedPitch > kPitchLimit) {
        accumulatedPitch = kPitchLimit;
        return;
    }
    if (accumulatedPitch < -kPitchLimit) {
        accumulatedPitch = -kPitchLimit;
        return;
    }
    const CVector3 axis = normalise(crossProduct(view - position, up));
    rotateView(pitch, axis.x, axis.y, axis.z);
    rotateView(yaw, 0.0f, 1.0f, 0.0f);
}

bool CCamera::centrePointer()
{
    if (g_pGraphicsCore == nullptr || !CGLStateScope::hasContext())
        return false;
    const int centreX = int(g_pGraphicsCore->width / 2);
    const int centreY = int(g_pGraphicsCore->height / 2);
    for (int tries = 0; tries < 50; ++tries) {
        SDL_WarpMouse(Uint16(centreX), Uint16(centreY));
        // The pump hands what arrived to the event manager's queue; nothing is lost.
        SDL_PumpEvents();
        int x = 0;
        int y = 0;
        SDL_GetMouseState(&x, &y);
        if (x == centreX && y == centreY)
            return true;
        SDL_Delay(10);
    }
    return false;
}

void CCamera::rotateView(float angle, float x, float y, float z)
{
    const float c = float(std::cos(double(angle)));
    const float s = float(std::sin(double(angle)));
    const float k = 1.0f - c;
    const CVector3 d = view - position;
    CVector3 turned;
    turned.x = (c + k * x * x) * d.x + (k * x * y - z * s) * d.y + (k * x * z + y * s) * d.z;
    turned.y = (k * x * y + z * s) * d.x + (c + k * y * y) * d.y + (k * y * z - x * s) * d.z;
    turned.z = (k * x * z - y * s) * d.x + (k * y * z + x * s) * d.y + (c + k * z * z) * d.z;
    view = position + turned;
}

void CCamera::moveForward(float distance)
{
    position = position + normalise(view - position) * distance;
}

void CCamera::strafe(float distance)
{
    position.x += strafeAxis.x * distance;
    position.z += strafeAxis.z * distance;
    view.x += strafeAxis.x * distance;
    view.z += strafeAxis.z * distance;
}

void CCamera::moveTo(CVector3 newPosition)
{
    view = view + newPosition - position;
    position = newPosition;
}

void CCamera::handleKeys()
{
    const float speed = walkingSpeed * g_pUtils->getFrameTime();
    const Uint8* keys = SDL_GetKeyState(nullptr);
    if (keys[SDLK_UP] || keys[SDLK_w])
        moveForward(speed);
    if (keys[SDLK_DOWN] || keys[SDLK_s])
        moveForward(-speed);
    if (keys[SDLK_LEFT] || keys[SDLK_a])
        strafe(-speed);
    if (keys[SDLK_RIGHT] || keys[SDLK_d])
        strafe(speed);
}

void CCamera::setWalkingSpeed(float unitsPerSecond)
{
    // A step that is not a finite number would leave the eye there for good.
    walkingSpeed = std::isfinite(unitsPerSecond) && unitsPerSecond >= 0.0f ? unitsPerSecond : 0.0f;
}

float CCamera::getWalkingSpeed() const
{
    return walkingSpeed;
}

void CCamera::update()
{
    // Computed before mouseLook() turns the view: this frame's side-steps use the old right.
    strafeAxis = normalise(crossProduct(view - position, up));
    mouseLook();
    handleKeys();
}

void CCamera::look()
{
    gluLookAt(double(position.x), double(position.y), double(position.z), double(view.x), double(view.y),
              double(view.z), double(up.x), double(up.y), double(up.z));
}

float CCamera::getAccumulatedPitch()
{
    return accumulatedPitch;
}

void CCamera::resetAccumulatedPitch()
{
    accumulatedPitch = 0.0f;
}
