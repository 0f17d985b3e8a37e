#include "engine/math/VectorMath.h"

#include <cmath>

namespace {

// 0.99 x 2 pi: an angle sum this large means the point is surrounded by the polygon.
const double kInsideAngleSum = 6.220353454107791;

double dotProductInDouble(CVector3 a, CVector3 b)
{
    return double(a.x) * double(b.x) + double(a.y) * double(b.y) + double(a.z) * double(b.z);
}

}  // namespace

float absolute(float value)
{
    return value < 0 ? -value : value;
}

CVector3 crossProduct(CVector3 a, CVector3 b)
{
    return CVector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float dotProduct(CVector3 a, CVector3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

CVector3 subtract(CVector3 a, CVector3 b)
{
    return a - b;
}

CVector3 add(CVector3 a, CVector3 b)
{
    return a + b;
}

CVector3 divide(CVector3 a, float scale)
{
    return CVector3(a.x / scale, a.y / scale, a.z / scale);
}

float length(CVector3 v)
{
    return float(std::sqrt(double(v.x * v.x + v.y * v.y + v.z * v.z)));
}

float distanceBetween(CVector3 a, CVector3 b)
{
    return length(b - a);
}

CVector3 normalise(CVector3 v)
{
    return divide(v, length(v));
}

CVector3 triangleNormal(const CVector3* polygon)
{
    return normalise(crossProduct(polygon[2] - polygon[0], polygon[1] - polygon[0]));
}

CVector3 closestPointOnSegment(CVector3 a, CVector3 b, CVector3 p)
{
    const CVector3 direction = normalise(b - a);
    const float segmentLength = distanceBetween(a, b);
    const float along = dotProduct(direction, p - a);
    if (along <= 0) {
        return a;
    }
    if (along >= segmentLength) {
        return b;
    }
    return a + direction * along;
}

float planeOffset(CVector3 normal, CVector3 point)
{
    return -dotProduct(normal, point);
}

bool segmentCrossesPlane(const CVector3* polygon, const CVector3* segment, CVector3& normal, float& offset)
{
    normal = triangleNormal(polygon);
    offset = planeOffset(normal, polygon[0]);
    const float startSide = dotProduct(normal, segment[0]) + offset;
    const float endSide = dotProduct(normal, segment[1]) + offset;
    // Written as a negation so that a NaN side counts as crossing.
    return !(startSide * endSide >= 0);
}

double angleBetween(CVector3 a, CVector3 b)
{
    const float dot = dotProduct(a, b);
    const float lengths = length(a) * length(b);
    const double angle = std::acos(double(dot) / double(lengths));
    return std::isnan(angle) ? 0.0 : angle;
}

CVector3 linePlaneHit(CVector3 normal, const CVector3* segment, double offset)
{
    const CVector3 start = segment[0];
    const CVector3 direction = normalise(segment[1] - start);
    const double numerator = -(dotProductInDouble(normal, start) + offset);
    const double denominator = dotProductInDouble(normal, direction);
    if (denominator == 0.0) {
        return start;
    }
    const double along = numerator / denominator;
    return CVector3(float(double(start.x) + double(direction.x) * along),
                    float(double(start.y) + double(direction.y) * along),
                    float(double(start.z) + double(direction.z) * along));
}

bool pointInPolygon(CVector3 point, const CVector3* polygon, int count)
{
    double angleSum = 0.0;
    for (int i = 0; i < count; ++i) {
        angleSum += angleBetween(polygon[i] - point, polygon[(i + 1) % count] - point);
    }
    return angleSum >= kInsideAngleSum;
}

bool segmentHitsPolygon(const CVector3* polygon, const CVector3* segment, int count)
{
    CVector3 normal;
    float offset = 0.0f;
    if (!segmentCrossesPlane(polygon, segment, normal, offset)) {
        return false;
    }
    return pointInPolygon(linePlaneHit(normal, segment, double(offset)), polygon, count);
}

int sphereAgainstPlane(const CVector3& centre, const CVector3& normal, const CVector3& point, float radius,
                       float& distance)
{
    distance = dotProduct(normal, centre) + planeOffset(normal, point);
    if (radius > absolute(distance)) {
        return 1;
    }
    if (distance >= radius) {
        return 2;
    }
    return 0;
}

bool sphereTouchesEdges(const CVector3& centre, const CVector3* polygon, int count, float radius)
{
    for (int i = 0; i < count; ++i) {
        const CVector3 nearest = closestPointOnSegment(polygon[i], polygon[(i + 1) % count], centre);
        if (radius > distanceBetween(nearest, centre)) {
            return true;
        }
    }
    return false;
}

bool sphereHitsPolygon(const CVector3* polygon, const CVector3& centre, int count, float radius)
{
    const CVector3 normal = triangleNormal(polygon);
    float distance = 0.0f;
    if (sphereAgainstPlane(centre, normal, polygon[0], radius, distance) != 1) {
        return false;
    }
    // Only the triangle of the first three vertices is tested for the projected centre; the edge test
    // below still walks the whole polygon.
    const CVector3 projected = centre - normal * distance;
    if (pointInPolygon(projected, polygon, 3)) {
        return true;
    }
    return sphereTouchesEdges(centre, polygon, count, radius);
}

CVector3 collisionPushOut(const CVector3& normal, float radius, float distance)
{
    if (distance > 0) {
        return normal * (radius - distance);
    }
    return normal * (-(radius + distance));
}

bool edgeFacing(CVector3 a, CVector3 b, CVector3 c, CVector3 d)
{
    return !(dotProduct(crossProduct(b - a, c - a), d) < 0);
}

bool rayHitsTriangle(CVector3 a, CVector3 b, CVector3 c, CVector3 origin, CVector3 direction, CVector3* hit)
{
    // Not normalised: only its sign against the ray and the ratio below matter.
    const CVector3 normal = crossProduct(b - a, c - b);
    const float facing = dotProduct(normal, direction);
    // Written as a negation so that a NaN, like a back face or a parallel ray, misses.
    if (!(facing < 0)) {
        return false;
    }
    const float along = -dotProduct(origin - a, normal) / facing;
    if (along < 0) {
        return false;
    }
    *hit = origin + direction * along;
    return edgeFacing(a, b, *hit, normal) && edgeFacing(b, c, *hit, normal) && edgeFacing(c, a, *hit, normal);
}
