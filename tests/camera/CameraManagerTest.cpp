// The 2D camera manager: its list and current camera, and its translation read back from OpenGL's
// model-view matrix in the shared window.
#include "engine/camera/CameraManager.h"
#include "engine/camera/Camera2D.h"
#include "engine/math/Vector2.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>

using testing_support::sharedEngine;

namespace {

using Matrix = std::array<GLfloat, 16>;

Matrix modelView()
{
    Matrix m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

// Each test starts from a known model-view matrix (a translation that is not the identity, so a
// manager that loaded the identity would show) and puts the caller's matrix back afterwards.
class CameraManagerApply : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glTranslatef(3.0f, 4.0f, 5.0f);
    }
    void TearDown() override
    {
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
};

}  // namespace

// --- The list and the current camera ------------------------------------------------------------

TEST(CameraManager, ANewManagerHasNoCurrentCameraAndIgnoresMoves)
{
    CCameraManager manager;
    EXPECT_EQ(nullptr, manager.getCurrent());
    EXPECT_EQ(nullptr, manager.getCamera(0));
    manager.addX(5);
    manager.subtractX(5);
    manager.addY(5);
    manager.subtractY(5);
    manager.addXY(1, 1);
    manager.setCurrent(0);
    EXPECT_EQ(nullptr, manager.getCurrent());
}

TEST(CameraManager, TheNewestCameraIsCurrentAndSetCurrentIgnoresIndexesPastTheEnd)
{
    CCameraManager manager;
    manager.addCamera(new CCamera2D(1, 2));  // A
    manager.addCamera(new CCamera2D(3, 4));  // B
    ASSERT_NE(nullptr, manager.getCurrent());
    EXPECT_EQ(3.0f, manager.getCurrent()->x);

    manager.setCurrent(0);
    EXPECT_EQ(1.0f, manager.getCurrent()->x);
    manager.setCurrent(2);
    EXPECT_EQ(1.0f, manager.getCurrent()->x);
    EXPECT_EQ(manager.getCamera(0), manager.getCurrent());
}

TEST(CameraManager, GetCameraGivesThePositionAtAnIndexOrNull)
{
    CCameraManager manager;
    CCamera2D* a = new CCamera2D(1, 2);
    CCamera2D* b = new CCamera2D(3, 4);
    manager.addCamera(a);
    manager.addCamera(b);
    EXPECT_EQ(a->getPosition(), manager.getCamera(0));
    EXPECT_EQ(b->getPosition(), manager.getCamera(1));
    EXPECT_EQ(nullptr, manager.getCamera(2));
}

TEST(CameraManager, MovesGoToTheCurrentCameraOnly)
{
    CCameraManager manager;
    manager.addCamera(new CCamera2D(0, 0));
    manager.addCamera(new CCamera2D(10, -5));
    manager.addXY(1, 1);
    EXPECT_EQ(11.0f, manager.getCurrent()->x);
    EXPECT_EQ(-4.0f, manager.getCurrent()->y);
    manager.addX(2);
    manager.subtractY(3);
    EXPECT_EQ(13.0f, manager.getCurrent()->x);
    EXPECT_EQ(-7.0f, manager.getCurrent()->y);
    manager.subtractX(13);
    manager.addY(7);
    EXPECT_EQ(0.0f, manager.getCurrent()->x);
    EXPECT_EQ(0.0f, manager.getCurrent()->y);
    EXPECT_EQ(0.0f, manager.getCamera(0)->x);
    EXPECT_EQ(0.0f, manager.getCamera(0)->y);
}

// --- Applying the current camera ----------------------------------------------------------------

TEST_F(CameraManagerApply, AnEmptyManagerLeavesTheMatrixAlone)
{
    CCameraManager manager;
    const Matrix before = modelView();
    manager.apply();
    EXPECT_EQ(before, modelView());
}

TEST_F(CameraManagerApply, TranslatesByTheCurrentCameraOnTopOfTheCallersMatrix)
{
    CCameraManager manager;
    manager.addCamera(new CCamera2D(100, 200));
    manager.addCamera(new CCamera2D(10, -5));
    manager.apply();
    Matrix m = modelView();
    // Column-major: the translation is elements 12 to 14, the set-up (3, 4, 5) plus the camera.
    EXPECT_FLOAT_EQ(13.0f, m[12]);
    EXPECT_FLOAT_EQ(-1.0f, m[13]);
    EXPECT_FLOAT_EQ(5.0f, m[14]);
    EXPECT_FLOAT_EQ(1.0f, m[0]);
    EXPECT_FLOAT_EQ(1.0f, m[5]);

    glLoadIdentity();
    manager.addXY(1, 1);
    manager.apply();
    m = modelView();
    EXPECT_FLOAT_EQ(11.0f, m[12]);
    EXPECT_FLOAT_EQ(-4.0f, m[13]);
    EXPECT_FLOAT_EQ(0.0f, m[14]);
}

TEST_F(CameraManagerApply, MultipliesWhicheverMatrixIsCurrent)
{
    CCameraManager manager;
    manager.addCamera(new CCamera2D(7, 8));
    const Matrix modelViewBefore = modelView();
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glLoadIdentity();
    manager.apply();
    Matrix texture{};
    glGetFloatv(GL_TEXTURE_MATRIX, texture.data());
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    EXPECT_FLOAT_EQ(7.0f, texture[12]);
    EXPECT_FLOAT_EQ(8.0f, texture[13]);
    EXPECT_EQ(modelViewBefore, modelView());
}
