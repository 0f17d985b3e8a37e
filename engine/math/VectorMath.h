#ifndef ENGINE_MATH_VECTORMATH_H
#define ENGINE_MATH_VECTORMATH_H

#include "engine/math/Vector3.h"

// Vector algebra and simple collision geometry over CVector3. Every function is pure apart from its
// declared outputs, so any thread may call them.
//
// A polygon is a pointer to its first vertex in an array of CVector3; its plane normal comes from the
// first three vertices. A segment is a pointer to an array of two CVector3, start then end.
// Arithmetic is single precision except where a comment below says double.

float absolute(float value);
CVector3 crossProduct(CVector3 a, CVector3 b);
float dotProduct(CVector3 a, CVector3 b);
CVector3 subtract(CVector3 a, CVector3 b);
CVector3 add(CVector3 a, CVector3 b);
CVector3 divide(CVector3 a, float scale);

// The square root is taken in double precision.
float length(CVector3 v);
float distanceBetween(CVector3 a, CVector3 b);

// Divides by length(v) without a guard: a zero vector gives NaN components.
CVector3 normalise(CVector3 v);

// normalise((p2 - p0) x (p1 - p0)): for counter-clockwise vertices seen from +z the normal points to -z.
CVector3 triangleNormal(const CVector3* polygon);

// The point of segment a-b nearest to p; a or b when p projects outside the segment.
CVector3 closestPointOnSegment(CVector3 a, CVector3 b, CVector3 p);

// -(normal . point): the constant term of the plane normal . x + offset = 0.
float planeOffset(CVector3 normal, CVector3 point);

// True when the segment's ends lie strictly on opposite sides of the polygon's plane; an end exactly on
// the plane gives false. Writes the plane's normal and offset whatever the result.
bool segmentCrossesPlane(const CVector3* polygon, const CVector3* segment, CVector3& normal, float& offset);

// The angle in radians, in double precision. Returns 0 instead of NaN, which a zero-length vector or a
// cosine rounded past +-1 would otherwise give.
double angleBetween(CVector3 a, CVector3 b);

// Where the segment's line meets the plane normal . x + offset = 0, worked in double precision. A line
// parallel to the plane returns the segment's start.
CVector3 linePlaneHit(CVector3 normal, const CVector3* segment, double offset);

// Sums the angles the edges subtend at p and calls p inside when the sum reaches 99% of 2 pi
// (6.220353454107791), which leaves room for rounding; a point on an edge counts as inside, a point on a
// vertex does not, and a count of 0 or less gives false.
bool pointInPolygon(CVector3 point, const CVector3* polygon, int count);

// True when the segment crosses the polygon's plane at a point inside the polygon.
bool segmentHitsPolygon(const CVector3* polygon, const CVector3* segment, int count);

// Writes the signed distance of the centre from the plane through point, then returns 1 when the sphere
// cuts the plane, 2 when it lies wholly on the side the normal points to, 0 when wholly behind.
int sphereAgainstPlane(const CVector3& centre, const CVector3& normal, const CVector3& point, float radius,
                       float& distance);

// True when some edge of the polygon comes closer to the centre than the radius.
bool sphereTouchesEdges(const CVector3& centre, const CVector3* polygon, int count, float radius);

// True when the sphere cuts the polygon's plane and either the centre projects into the triangle of the
// first three vertices or an edge of the whole polygon is within the radius.
bool sphereHitsPolygon(const CVector3* polygon, const CVector3& centre, int count, float radius);

// How far to move a sphere, at the given signed distance from a plane, so it no longer cuts the plane.
CVector3 collisionPushOut(const CVector3& normal, float radius, float distance);

// True unless ((b - a) x (c - a)) . d < 0, so a NaN counts as facing.
bool edgeFacing(CVector3 a, CVector3 b, CVector3 c, CVector3 d);

// Only the front face counts: the one from which a, b, c run counter-clockwise. The hit point is written
// once the ray is known to meet the triangle's plane ahead of the origin, even if it then lands outside;
// otherwise it is left alone.
bool rayHitsTriangle(CVector3 a, CVector3 b, CVector3 c, CVector3 origin, CVector3 direction, CVector3* hit);

#endif
