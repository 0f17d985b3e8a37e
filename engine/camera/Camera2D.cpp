#include "engine/camera/Camera2D.h"

CCamera2D::CCamera2D() = default;

CCamera2D::CCamera2D(float x, float y)
    : position(x, y)
{
}

CCamera2D::~CCamera2D() = default;

void CCamera2D::addX(float d)
{
    position.x += d;
}

void CCamera2D::subtractX(float d)
{
    position.x -= d;
}

void CCamera2D::addY(float d)
{
    position.y += d;
}

void CCamera2D::subtractY(float d)
{
    position.y -= d;
}

void CCamera2D::addXY(float dx, float dy)
{
    position.x += dx;
    position.y += dy;
}

CVector2* CCamera2D::getPosition()
{
    return &position;
}
