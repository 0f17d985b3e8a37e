// The 2D camera: where it starts and how its steps move it.
#include "engine/camera/Camera2D.h"

#include <gtest/gtest.h>

TEST(Camera2D, StartsAtTheOriginOrWhereToldAndMovesByItsSteps)
{
    CCamera2D origin;
    EXPECT_EQ(0.0f, origin.getPosition()->x);
    EXPECT_EQ(0.0f, origin.getPosition()->y);
    CCamera2D camera(2, 3);
    camera.addX(1);
    camera.subtractY(4);
    camera.addXY(-0.5f, 0.25f);
    camera.subtractX(0.5f);
    camera.addY(1);
    EXPECT_EQ(2.0f, camera.getPosition()->x);
    EXPECT_EQ(0.25f, camera.getPosition()->y);
    EXPECT_EQ(&camera.position, camera.getPosition());
}
