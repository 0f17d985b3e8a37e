// The 2D camera looking at a point: centring, following with a dead zone and smoothing, bounds,
// zoom and rotation, the pointer's conversions, and the pixels a world point lands on in the shared
// window through the camera manager. Every expected pixel is worked out by hand in the comments.
#include "engine/camera/Camera2D.h"
#include "engine/camera/CameraManager.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>

using testing_support::readPixel;
using testing_support::sharedEngine;

namespace {

const float kWidth = 1024.0f;
const float kHeight = 768.0f;

class CameraPixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        g_pGraphicsCore->set2DState();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    void TearDown() override
    {
        glLoadIdentity();
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
    }
    // A red square of world units at (x, y), drawn under what the manager applied.
    static void square(float x, float y, float size)
    {
        glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
        glBegin(GL_QUADS);
        glVertex2f(x, y);
        glVertex2f(x + size, y);
        glVertex2f(x + size, y + size);
        glVertex2f(x, y + size);
        glEnd();
    }
    static bool red(int x, int y)
    {
        return readPixel(x, y).r > 200;
    }
};

}  // namespace

TEST(Camera2DFollow, CentringKeepsThePositionMinusTheViewsTopLeftCorner)
{
    CCamera2D camera;
    camera.setViewSize(kWidth, kHeight);
    camera.centerOn(CVector2(600, 500));
    // The view's top-left corner is (600 - 512, 500 - 384) = (88, 116).
    EXPECT_EQ(-88.0f, camera.getPosition()->x);
    EXPECT_EQ(-116.0f, camera.getPosition()->y);
    // The old steps still move it, and the middle follows them.
    camera.addX(-10);
    EXPECT_EQ(610.0f, camera.getCenter().x);
    // Snapping rounds the position to whole pixels.
    camera.setPixelSnap(true);
    camera.centerOn(CVector2(600.3f, 499.6f));
    EXPECT_EQ(-88.0f, camera.getPosition()->x);
    EXPECT_EQ(-116.0f, camera.getPosition()->y);
}

TEST(Camera2DFollow, TheTargetMovesFreelyInTheDeadZoneAndSmoothingIsTheSameAtAnyFrameRate)
{
    CCamera2D camera;
    camera.setViewSize(kWidth, kHeight);
    camera.centerOn(CVector2(500, 500));
    camera.setDeadZone(200, 100);  // 100 either side along x, 50 along y
    camera.follow(CVector2(590, 540), 1.0f / 60);
    EXPECT_EQ(500.0f, camera.getCenter().x);
    EXPECT_EQ(500.0f, camera.getCenter().y);
    camera.follow(CVector2(650, 420), 1.0f / 60);  // 50 past the zone's right edge, 30 past its top
    EXPECT_EQ(550.0f, camera.getCenter().x);
    EXPECT_EQ(470.0f, camera.getCenter().y);
    // Twice the zoom halves the zone in the world: 50 either side.
    camera.setZoom(2);
    camera.follow(CVector2(620, 470), 0);
    EXPECT_EQ(570.0f, camera.getCenter().x);

    // A rate of ln 2 per second closes half the gap in a second, in one step or in sixty.
    CCamera2D once, often;
    for (CCamera2D* c : {&once, &often}) {
        c->setViewSize(kWidth, kHeight);
        c->centerOn(CVector2(0, 0));
        c->setSmoothing(std::log(2.0f));
    }
    once.follow(CVector2(100, -40), 1.0f);
    for (int i = 0; i < 60; ++i)
        often.follow(CVector2(100, -40), 1.0f / 60);
    EXPECT_NEAR(50.0f, once.getCenter().x, 1e-3);
    EXPECT_NEAR(-20.0f, once.getCenter().y, 1e-3);
    EXPECT_NEAR(50.0f, often.getCenter().x, 1e-3);
    EXPECT_NEAR(-20.0f, often.getCenter().y, 1e-3);
}

TEST(Camera2DFollow, BoundsKeepTheViewInsideTheMapOrCentredOnASmallOne)
{
    CCamera2D camera;
    camera.setViewSize(kWidth, kHeight);
    camera.setBounds(0, 0, 2560, 1920);  // an 80 by 60 map of 32-pixel tiles
    camera.follow(CVector2(30, 2000), 0);
    EXPECT_EQ(512.0f, camera.getCenter().x);
    EXPECT_EQ(1920.0f - 384.0f, camera.getCenter().y);
    EXPECT_EQ(0.0f, camera.getPosition()->x);  // the view's left edge on the map's
    // At zoom 2 the view covers 512 by 384 of the map: it may go nearer the corner.
    camera.setZoom(2);
    camera.follow(CVector2(30, 30), 0);
    EXPECT_EQ(256.0f, camera.getCenter().x);
    EXPECT_EQ(192.0f, camera.getCenter().y);
    // A map narrower than the view is centred on.
    camera.setZoom(1);
    camera.setBounds(100, 0, 600, 2000);
    camera.centerOn(CVector2(0, 1000));
    EXPECT_EQ(400.0f, camera.getCenter().x);
    EXPECT_EQ(1000.0f, camera.getCenter().y);
}

TEST(Camera2DFollow, BadValuesWriteALineAndChangeNothing)
{
    CCamera2D camera;
    camera.setViewSize(kWidth, kHeight);
    camera.centerOn(CVector2(10, 20));
    testing_support::CStdoutCapture capture;
    capture.start();
    camera.setZoom(0);
    camera.setZoom(NAN);
    camera.follow(CVector2(INFINITY, 0), 0.1f);
    camera.follow(CVector2(0, 0), -1);
    camera.setViewSize(-1, 5);
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("Ignored a camera zoom of 0: not a finite number above 0", lines[0]);
    EXPECT_EQ("Ignored a camera zoom of nan: not a finite number above 0", lines[1]);
    EXPECT_EQ(1.0f, camera.getZoom());
    EXPECT_EQ(10.0f, camera.getCenter().x);
    EXPECT_EQ(20.0f, camera.getCenter().y);
    EXPECT_EQ(kWidth, camera.getViewWidth());
}

// Follow, zoom 2, a quarter turn and the map's bounds, through the camera manager as the engine's
// frame applies it. By hand: turned a quarter, the view covers 768 / 2 = 384 of the world across
// and 1024 / 2 = 512 down, so within the 2000 by 1500 bounds the middle stays in x 192..1808 and y
// 256..1244; following (1950, 100) puts it at (1808, 256). The world point (1800, 300) is (-8, 44)
// from it, (-16, 88) zoomed, (-88, -16) turned clockwise ((x, y) to (-y, x)), so it shows at
// (512 - 88, 384 - 16) = (424, 368); a 2-unit square from there covers pixels 420..423 by 368..371.
TEST_F(CameraPixels, AWorldPointLandsOnThePixelWorkedOutByHandAfterFollowZoomTurnAndBounds)
{
    CCamera2D* camera = new CCamera2D();
    camera->setViewSize(kWidth, kHeight);
    camera->setBounds(0, 0, 2000, 1500);
    camera->setZoom(2);
    camera->setRotation(90);
    camera->follow(CVector2(1950, 100), 1.0f / 60);
    EXPECT_EQ(1808.0f, camera->getCenter().x);
    EXPECT_EQ(256.0f, camera->getCenter().y);
    CCameraManager manager;
    manager.addCamera(camera);  // the manager owns it
    manager.apply();
    square(1800, 300, 2);
    for (int y = 368; y <= 371; ++y)
        for (int x = 420; x <= 423; ++x)
            EXPECT_TRUE(red(x, y)) << x << ", " << y;
    EXPECT_FALSE(red(419, 369));
    EXPECT_FALSE(red(424, 369));
    EXPECT_FALSE(red(421, 367));
    EXPECT_FALSE(red(421, 372));
    // The pointer's conversion agrees with the pixels, both ways.
    const CVector2 world = camera->screenToWorld(CVector2(424, 368));
    EXPECT_NEAR(1800.0f, world.x, 1e-3);
    EXPECT_NEAR(300.0f, world.y, 1e-3);
    const CVector2 screen = camera->worldToScreen(CVector2(1801, 301));
    EXPECT_NEAR(422.0f, screen.x, 1e-3);  // the square's middle
    EXPECT_NEAR(370.0f, screen.y, 1e-3);
}

// Zoom 1 without a turn: the manager makes only its translation, and a world point lands at itself
// plus the position. Following (100, 5000) on a 2560 by 1920 map puts the middle at (512, 1536),
// the view's corner at (0, 1152): the world point (300, 1200) shows at (300, 48).
TEST_F(CameraPixels, WithoutZoomOrTurnTheCornerOfTheViewIsMinusThePosition)
{
    CCamera2D* camera = new CCamera2D();
    camera->setViewSize(kWidth, kHeight);
    camera->setBounds(0, 0, 2560, 1920);
    camera->follow(CVector2(100, 5000), 0);
    CCameraManager manager;
    manager.addCamera(camera);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    manager.apply();
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(0.0f, after[12] - before[12]);
    EXPECT_EQ(-1152.0f, after[13] - before[13]);
    EXPECT_EQ(1.0f, after[0]);
    EXPECT_EQ(0.0f, after[1]);
    square(300, 1200, 1);
    EXPECT_TRUE(red(300, 48));
    EXPECT_FALSE(red(301, 48));
    EXPECT_FALSE(red(300, 47));
    EXPECT_EQ(300.0f, camera->screenToWorld(CVector2(300, 48)).x);
    EXPECT_EQ(1200.0f, camera->screenToWorld(CVector2(300, 48)).y);
}
