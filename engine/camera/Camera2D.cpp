#include "engine/camera/Camera2D.h"

#include "engine/core/Log.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace {

const double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

bool finite(float a, float b)
{
    return std::isfinite(a) && std::isfinite(b);
}

void ignored(const char* what, float a, float b)
{
    std::ostringstream line;
    line << "Ignored a camera " << what << " of " << a << ", " << b << ": not finite numbers of at least 0";
    CLog::line(line.str());
}

}  // namespace

CCamera2D::CCamera2D()
    : CCamera2D(0.0f, 0.0f)
{
}

CCamera2D::CCamera2D(float x, float y)
    : position(x, y),
      viewWidth(0.0f),
      viewHeight(0.0f),
      zoom(1.0f),
      rotation(0.0f),
      smoothing(0.0f),
      deadWidth(0.0f),
      deadHeight(0.0f),
      boundLeft(0.0f),
      boundTop(0.0f),
      boundWidth(0.0f),
      boundHeight(0.0f),
      bounded(false),
      snap(false),
      placedCenter(-x, -y),
      placedPosition(x, y)
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

void CCamera2D::setViewSize(float width, float height)
{
    if (!finite(width, height) || width < 0.0f || height < 0.0f) {
        ignored("view size", width, height);
        return;
    }
    const CVector2 middle = getCenter();
    viewWidth = width;
    viewHeight = height;
    place(middle);
}

float CCamera2D::getViewWidth() const
{
    return viewWidth;
}

float CCamera2D::getViewHeight() const
{
    return viewHeight;
}

CVector2 CCamera2D::getCenter() const
{
    if (position.x == placedPosition.x && position.y == placedPosition.y)
        return placedCenter;
    return CVector2(viewWidth / 2 - position.x, viewHeight / 2 - position.y);
}

void CCamera2D::place(CVector2 point)
{
    if (bounded) {
        // Half of what the view shows along each world axis: its turned box, shrunk by the zoom.
        const double turn = double(rotation) * kRadiansPerDegree;
        const double c = std::fabs(std::cos(turn)), s = std::fabs(std::sin(turn));
        const double halfX = (c * viewWidth + s * viewHeight) / (2.0 * zoom);
        const double halfY = (s * viewWidth + c * viewHeight) / (2.0 * zoom);
        const auto keep = [](double value, double low, double size, double half) {
            if (size <= 2.0 * half)
                return float(low + size / 2.0);
            return float(std::min(std::max(value, low + half), low + size - half));
        };
        point.x = keep(point.x, boundLeft, boundWidth, halfX);
        point.y = keep(point.y, boundTop, boundHeight, halfY);
    }
    placedCenter = point;
    position = CVector2(viewWidth / 2 - point.x, viewHeight / 2 - point.y);
    if (snap)
        position = CVector2(std::round(position.x), std::round(position.y));
    placedPosition = position;
}

void CCamera2D::centerOn(CVector2 point)
{
    if (!finite(point.x, point.y)) {
        CLog::line("Ignored a camera centre that is not finite");
        return;
    }
    place(point);
}

void CCamera2D::follow(CVector2 target, float seconds)
{
    if (!finite(target.x, target.y) || !std::isfinite(seconds) || seconds < 0.0f) {
        CLog::line(
            "Ignored a camera follow step: the target and the seconds must be finite, the seconds at least 0");
        return;
    }
    const CVector2 middle = getCenter();
    const auto within = [](float centre, float goal, float half) {
        if (goal - centre > half)
            return goal - half;
        if (centre - goal > half)
            return goal + half;
        return centre;
    };
    const CVector2 wanted(within(middle.x, target.x, deadWidth / (2 * zoom)),
                          within(middle.y, target.y, deadHeight / (2 * zoom)));
    const float share = smoothing > 0.0f ? float(1.0 - std::exp(-double(smoothing) * seconds)) : 1.0f;
    place(CVector2(middle.x + (wanted.x - middle.x) * share, middle.y + (wanted.y - middle.y) * share));
}

void CCamera2D::setSmoothing(float rate)
{
    if (!std::isfinite(rate) || rate < 0.0f) {
        std::ostringstream line;
        line << "Ignored a camera smoothing rate of " << rate << ": not a finite number of at least 0";
        CLog::line(line.str());
        return;
    }
    smoothing = rate;
}

float CCamera2D::getSmoothing() const
{
    return smoothing;
}

void CCamera2D::setDeadZone(float width, float height)
{
    if (!finite(width, height) || width < 0.0f || height < 0.0f) {
        ignored("dead zone", width, height);
        return;
    }
    deadWidth = width;
    deadHeight = height;
}

void CCamera2D::setZoom(float newZoom)
{
    if (!std::isfinite(newZoom) || !(newZoom > 0.0f)) {
        std::ostringstream line;
        line << "Ignored a camera zoom of " << newZoom << ": not a finite number above 0";
        CLog::line(line.str());
        return;
    }
    const CVector2 middle = getCenter();
    zoom = newZoom;
    place(middle);
}

float CCamera2D::getZoom() const
{
    return zoom;
}

void CCamera2D::setRotation(float degrees)
{
    if (!std::isfinite(degrees)) {
        CLog::line("Ignored a camera rotation that is not finite");
        return;
    }
    const CVector2 middle = getCenter();
    rotation = degrees;
    place(middle);
}

float CCamera2D::getRotation() const
{
    return rotation;
}

void CCamera2D::setBounds(float left, float top, float width, float height)
{
    if (!finite(left, top) || !finite(width, height) || width < 0.0f || height < 0.0f) {
        ignored("bounds size", width, height);
        return;
    }
    const CVector2 middle = getCenter();
    boundLeft = left;
    boundTop = top;
    boundWidth = width;
    boundHeight = height;
    bounded = true;
    place(middle);
}

void CCamera2D::clearBounds()
{
    bounded = false;
}

bool CCamera2D::hasBounds() const
{
    return bounded;
}

void CCamera2D::setPixelSnap(bool on)
{
    snap = on;
    place(getCenter());
}

CVector2 CCamera2D::worldToScreen(CVector2 world) const
{
    // The middle the matrices use: the one the position gives, rounded or moved as it may be.
    const double cx = viewWidth / 2.0 - position.x, cy = viewHeight / 2.0 - position.y;
    const double turn = double(rotation) * kRadiansPerDegree;
    const double c = std::cos(turn), s = std::sin(turn);
    const double dx = (world.x - cx) * zoom, dy = (world.y - cy) * zoom;
    return CVector2(float(viewWidth / 2.0 + c * dx - s * dy), float(viewHeight / 2.0 + s * dx + c * dy));
}

CVector2 CCamera2D::screenToWorld(CVector2 screen) const
{
    const double cx = viewWidth / 2.0 - position.x, cy = viewHeight / 2.0 - position.y;
    const double turn = double(rotation) * kRadiansPerDegree;
    const double c = std::cos(turn), s = std::sin(turn);
    const double dx = (screen.x - viewWidth / 2.0) / zoom, dy = (screen.y - viewHeight / 2.0) / zoom;
    return CVector2(float(cx + c * dx + s * dy), float(cy - s * dx + c * dy));
}

void CCamera2D::applyZoomAndRotation() const
{
    if (zoom == 1.0f && rotation == 0.0f)
        return;
    // After the translation by the position, the view's middle is at the world's middle point.
    const float cx = viewWidth / 2 - position.x, cy = viewHeight / 2 - position.y;
    glTranslatef(cx, cy, 0.0f);
    glRotatef(rotation, 0.0f, 0.0f, 1.0f);
    glScalef(zoom, zoom, 1.0f);
    glTranslatef(-cx, -cy, 0.0f);
}

void CCamera2D::apply() const
{
    glTranslatef(position.x, position.y, 0.0f);
    applyZoomAndRotation();
}
