#include "engine/math/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;

void expectVector(CVector3 expected, CVector3 actual)
{
    EXPECT_FLOAT_EQ(expected.x, actual.x);
    EXPECT_FLOAT_EQ(expected.y, actual.y);
    EXPECT_FLOAT_EQ(expected.z, actual.z);
}

// A 2 by 2 square in the z = 0 plane, counter-clockwise seen from +z.
const CVector3 kSquare[4] = {CVector3(0, 0, 0), CVector3(2, 0, 0), CVector3(2, 2, 0), CVector3(0, 2, 0)};

}  // namespace

TEST(VectorAlgebra, CrossProductAndTriangleNormalFollowTheirOrder)
{
    expectVector(CVector3(0, 0, 1), crossProduct(CVector3(1, 0, 0), CVector3(0, 1, 0)));
    const CVector3 triangle[3] = {CVector3(0, 0, 0), CVector3(1, 0, 0), CVector3(0, 1, 0)};
    expectVector(CVector3(0, 0, -1), triangleNormal(triangle));
}

TEST(VectorAlgebra, NormaliseGivesUnitLengthAndNaNForZero)
{
    EXPECT_FLOAT_EQ(1.0f, length(normalise(CVector3(3, -4, 12))));
    const CVector3 zero = normalise(CVector3());
    EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

TEST(VectorAlgebra, ClosestPointOnSegmentClampsToTheEnds)
{
    const CVector3 a(0, 0, 0), b(10, 0, 0);
    expectVector(a, closestPointOnSegment(a, b, CVector3(-5, 3, 0)));
    expectVector(b, closestPointOnSegment(a, b, CVector3(12, 1, 0)));
    expectVector(CVector3(4, 0, 0), closestPointOnSegment(a, b, CVector3(4, 7, 0)));
}

TEST(VectorAlgebra, AngleBetweenTurnsNaNIntoZero)
{
    EXPECT_DOUBLE_EQ(kPi / 2, angleBetween(CVector3(1, 0, 0), CVector3(0, 1, 0)));
    EXPECT_EQ(0.0, angleBetween(CVector3(1, 0, 0), CVector3()));
    // Rounding pushes this vector's cosine with itself just past 1, where acos gives NaN.
    const CVector3 v(0.19f, 0.19f, 0.19f);
    ASSERT_GT(double(dotProduct(v, v)) / double(length(v) * length(v)), 1.0);
    EXPECT_EQ(0.0, angleBetween(v, v));
}

TEST(PlaneTests, SegmentCrossesPlaneOnlyWithEndsStrictlyApart)
{
    CVector3 normal;
    float offset = 1.0f;
    const CVector3 crossing[2] = {CVector3(1, 1, 1), CVector3(1, 1, -1)};
    EXPECT_TRUE(segmentCrossesPlane(kSquare, crossing, normal, offset));
    const CVector3 touching[2] = {CVector3(1, 1, 0), CVector3(1, 1, -1)};
    EXPECT_FALSE(segmentCrossesPlane(kSquare, touching, normal, offset));
    expectVector(CVector3(0, 0, -1), normal);  // written even when the answer is false
    EXPECT_FLOAT_EQ(0.0f, offset);
}

TEST(PlaneTests, LinePlaneHitMeetsThePlaneOrReturnsStartWhenParallel)
{
    const CVector3 up(0, 0, 1);
    const CVector3 slanted[2] = {CVector3(0, 0, 4), CVector3(1, 0, 3)};
    expectVector(CVector3(3, 0, 1), linePlaneHit(up, slanted, -1.0));  // plane z = 1
    const CVector3 parallel[2] = {CVector3(5, 6, 7), CVector3(8, 6, 7)};
    expectVector(parallel[0], linePlaneHit(up, parallel, -1.0));
}

TEST(PlaneTests, SphereAgainstPlaneSortsBySignedDistance)
{
    const CVector3 up(0, 1, 0), origin;
    const float distances[4] = {1.0f, 0.5f, -1.0f, -0.5f};
    const int sides[4] = {2, 1, 0, 1};
    for (int i = 0; i < 4; ++i) {
        float distance = 99.0f;
        EXPECT_EQ(sides[i], sphereAgainstPlane(CVector3(3, distances[i], -2), up, origin, 1.0f, distance));
        EXPECT_FLOAT_EQ(distances[i], distance);
    }
}

TEST(PlaneTests, CollisionPushOutMovesAlongTheNormal)
{
    const CVector3 up(0, 1, 0);
    expectVector(CVector3(0, 0.75f, 0), collisionPushOut(up, 1.0f, 0.25f));
    expectVector(CVector3(0, -0.75f, 0), collisionPushOut(up, 1.0f, -0.25f));
}

TEST(PolygonTests, PointInPolygonByAngleSum)
{
    EXPECT_TRUE(pointInPolygon(CVector3(1, 1, 0), kSquare, 4));
    EXPECT_TRUE(pointInPolygon(CVector3(2, 1, 0), kSquare, 4));  // on an edge
    EXPECT_FALSE(pointInPolygon(CVector3(3, 1, 0), kSquare, 4));
    EXPECT_FALSE(pointInPolygon(CVector3(2, 2, 0), kSquare, 4));  // on a vertex
    EXPECT_FALSE(pointInPolygon(CVector3(1, 1, 0), kSquare, 0));
}

TEST(PolygonTests, SegmentHitsPolygonNeedsACrossingInside)
{
    const CVector3 through[2] = {CVector3(1.5f, 0.5f, 2), CVector3(0.5f, 1.5f, -1)};
    EXPECT_TRUE(segmentHitsPolygon(kSquare, through, 4));
    const CVector3 beside[2] = {CVector3(3, 1, 1), CVector3(3, 1, -1)};
    EXPECT_FALSE(segmentHitsPolygon(kSquare, beside, 4));
    const CVector3 above[2] = {CVector3(1, 1, 2), CVector3(1, 1, 0.5f)};
    EXPECT_FALSE(segmentHitsPolygon(kSquare, above, 4));
}

TEST(PolygonTests, SphereHitsPolygonTestsOnlyTheFirstTriangleInside)
{
    EXPECT_TRUE(sphereHitsPolygon(kSquare, CVector3(1.5f, 0.5f, 0.2f), 4, 0.3f));
    EXPECT_FALSE(sphereHitsPolygon(kSquare, CVector3(1.5f, 0.5f, 0.5f), 4, 0.3f));  // clear of the plane
    EXPECT_TRUE(sphereHitsPolygon(kSquare, CVector3(-0.1f, 1.0f, 0.1f), 4, 0.3f));  // near an edge only
    // Over the square but in its second triangle and away from every edge: a miss.
    EXPECT_FALSE(sphereHitsPolygon(kSquare, CVector3(0.5f, 1.5f, 0.1f), 4, 0.3f));
}

TEST(RayTests, RayHitsOnlyTheFrontFaceAndWritesHitOnlyOnThePlane)
{
    const CVector3 a(0, 0, 0), b(1, 0, 0), c(0, 1, 0), down(0, 0, -1);
    const CVector3 untouched(7, 7, 7);
    CVector3 hit = untouched;
    EXPECT_TRUE(rayHitsTriangle(a, b, c, CVector3(0.25f, 0.25f, 1), down, &hit));
    expectVector(CVector3(0.25f, 0.25f, 0), hit);
    hit = untouched;
    EXPECT_FALSE(rayHitsTriangle(a, c, b, CVector3(0.25f, 0.25f, 1), down, &hit));
    expectVector(untouched, hit);
    EXPECT_FALSE(rayHitsTriangle(a, b, c, CVector3(0.25f, 0.25f, -1), down, &hit));  // behind the origin
    expectVector(untouched, hit);
    EXPECT_FALSE(rayHitsTriangle(a, b, c, CVector3(2, 2, 1), down, &hit));  // plane met outside
    expectVector(CVector3(2, 2, 0), hit);
}
