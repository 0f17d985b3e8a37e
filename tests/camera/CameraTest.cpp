// The first-person camera: its vector steps in plain arithmetic, its steering against the real X
// pointer and real held keys (XTEST key events through xdotool) in the shared window, and its
// gluLookAt read back from OpenGL's model-view matrix.
#include "engine/camera/Camera.h"
#include "engine/core/Registry.h"
#include "engine/core/Utils.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/math/VectorMath.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>
// After gtest: Xlib, pulled in by SDL_syswm.h, defines macros (None, Bool) that collide with it.
#include "tests/support/SdlX11Window.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>

using namespace testing_support;

namespace {

const float kTolerance = 1e-4f;
const double kInitialDistance = std::sqrt(677.0);  // from (0, 5, -25) to (1, 5, 1)

void expectVector(const CVector3& expected, const CVector3& actual, float tolerance = kTolerance)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// Angle of the viewing direction above the horizontal plane, in radians.
double elevation(const CCamera& camera)
{
    const CVector3 d = camera.view - camera.position;
    return std::asin(double(d.y) / double(length(d)));
}

std::string run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof(buffer), pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

// xdotool's "--shell" output (KEY=value lines) as a table.
std::map<std::string, long> shellValues(const std::string& text)
{
    std::map<std::string, long> values;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = std::strtol(line.c_str() + equals + 1, nullptr, 10);
    }
    return values;
}

// The top-level X window of the shared SDL window: the one that takes keyboard focus.
unsigned long windowId()
{
    return static_cast<unsigned long>(sdlTopLevelWindow());
}

struct Point {
    long x, y;
};

// Where the real X pointer is, in window coordinates, as the X server says (not SDL).
Point realPointer()
{
    const std::string id = std::to_string(windowId());
    std::map<std::string, long> window = shellValues(run("xdotool getwindowgeometry --shell " + id));
    std::map<std::string, long> pointer = shellValues(run("xdotool getmouselocation --shell"));
    return Point{pointer["X"] - window["X"], pointer["Y"] - window["Y"]};
}

// Moves the real X pointer behind SDL's back: SDL's mouse state keeps the old place until its
// events are pumped.
void moveRealPointerOnly(int x, int y)
{
    run("xdotool mousemove --window " + std::to_string(windowId()) + " " + std::to_string(x) + " " +
        std::to_string(y));
}

bool waitForKeyState(SDLKey key, bool down)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        SDL_PumpEvents();
        if ((SDL_GetKeyState(nullptr)[key] != 0) == down)
            return true;
        SDL_Delay(10);
    }
    return false;
}

// Window-sized tests: the shared window stays 1024 by 768; a test may pretend another size by
// setting the graphics core's width and height, which the camera reads for the centre.
class CameraSteering : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        savedWidth = g_pGraphicsCore->width;
        savedHeight = g_pGraphicsCore->height;
        savedFrameTime = g_pUtils->getFrameTime();
        CCamera::resetAccumulatedPitch();
        drainEvents();
    }

    void TearDown() override
    {
        run("xdotool keyup Up Down w s Left Right a d");
        for (SDLKey key : {SDLK_UP, SDLK_DOWN, SDLK_w, SDLK_s, SDLK_LEFT, SDLK_RIGHT, SDLK_a, SDLK_d})
            EXPECT_TRUE(waitForKeyState(key, false)) << "key " << key << " still held";
        drainEvents();
        g_pGraphicsCore->width = savedWidth;
        g_pGraphicsCore->height = savedHeight;
        g_pUtils->setFrameTime(savedFrameTime);
        CCamera::resetAccumulatedPitch();
    }

    void pretendWindow(uint32_t width, uint32_t height)
    {
        g_pGraphicsCore->width = width;
        g_pGraphicsCore->height = height;
    }

    // Holds the keys as real key presses in the focused SDL window and waits until SDL sees them.
    void hold(const std::string& xKeys, std::initializer_list<SDLKey> sdlKeys)
    {
        const std::string command =
            "xdotool windowfocus --sync " + std::to_string(windowId()) + " keydown " + xKeys;
        ASSERT_EQ(0, std::system(command.c_str()));
        for (SDLKey key : sdlKeys)
            ASSERT_TRUE(waitForKeyState(key, true)) << "SDL never saw key " << key << " go down";
    }

    // The shared window's real centre, where the pointer must be for the keys alone to act.
    void pointerAtCentre()
    {
        movePointer(int(g_pGraphicsCore->width / 2), int(g_pGraphicsCore->height / 2));
    }

    // The camera looking straight down -z from the origin, 10 units to its view point.
    static CCamera lookingNorth()
    {
        CCamera camera;
        camera.place(0, 0, 0, 0, 0, -10, 0, 1, 0);
        return camera;
    }

    uint32_t savedWidth = 0;
    uint32_t savedHeight = 0;
    float savedFrameTime = 0.0f;
};

}  // namespace

// --- Placing and the plain vector steps ---------------------------------------------------------

TEST(Camera, PlaceSetsEyeViewPointAndUp)
{
    CCamera camera;
    camera.place(1, 2, 3, 4, 5, 6, 0, 0, 1);
    expectVector(CVector3(1, 2, 3), camera.position, 0);
    expectVector(CVector3(4, 5, 6), camera.view, 0);
    expectVector(CVector3(0, 0, 1), camera.up, 0);
}

TEST(Camera, MoveForwardMovesOnlyTheEyeAndWalksPastTheViewPoint)
{
    CCamera camera;
    const CVector3 direction = normalise(CVector3(1, 0, 26));
    camera.moveForward(1);
    expectVector(CVector3(0, 5, -25) + direction, camera.position);
    expectVector(CVector3(1, 5, 1), camera.view, 0);
    EXPECT_NEAR(kInitialDistance - 1.0, distanceBetween(camera.position, camera.view), kTolerance);

    // 27 units in all: one past the initial distance of sqrt(677), about 26.02.
    camera.moveForward(26);
    expectVector(CVector3(0, 5, -25) + direction * 27.0f, camera.position, 1e-3f);
    expectVector(direction * -1.0f, normalise(camera.view - camera.position), 1e-3f);
    // Forward now leads back towards where the walk started.
    const CVector3 before = camera.position;
    camera.moveForward(2);
    expectVector(before - direction * 2.0f, camera.position, 1e-3f);
}

TEST(Camera, MoveForwardWithANegativeDistanceWalksBack)
{
    CCamera camera;
    camera.moveForward(-3);
    expectVector(CVector3(0, 5, -25) - normalise(CVector3(1, 0, 26)) * 3.0f, camera.position);
    expectVector(CVector3(1, 5, 1), camera.view, 0);
}

TEST(Camera, StrafeMovesEyeAndViewPointAlongTheAxisInXAndZOnly)
{
    CCamera camera;
    camera.strafeAxis = CVector3(1, 0, 0);
    camera.strafe(2);
    expectVector(CVector3(2, 5, -25), camera.position, 0);
    expectVector(CVector3(3, 5, 1), camera.view, 0);

    camera.strafeAxis = CVector3(0.6f, 0, 0.8f);
    camera.strafe(-5);
    expectVector(CVector3(-1, 5, -29), camera.position);
    expectVector(CVector3(0, 5, -3), camera.view);

    // A y part of the axis is ignored: side-steps never climb.
    camera.strafeAxis = CVector3(0, 1, 0);
    camera.strafe(3);
    expectVector(CVector3(-1, 5, -29), camera.position);
    expectVector(CVector3(0, 5, -3), camera.view);
}

TEST(Camera, MoveToCarriesTheViewPointAlong)
{
    CCamera camera;
    camera.moveTo(CVector3(10, 5, -25));
    expectVector(CVector3(10, 5, -25), camera.position, 0);
    expectVector(CVector3(11, 5, 1), camera.view, 0);
}

TEST(Camera, RotateViewTurnsTheViewPointAboutTheEyeKeepingItsDistance)
{
    CCamera camera;
    camera.place(1, 2, 3, 1, 2, -7, 0, 1, 0);
    // A quarter turn about +y takes a view down -z to -x (counter-clockwise seen from above).
    camera.rotateView(1.5707963f, 0, 1, 0);
    expectVector(CVector3(-9, 2, 3), camera.view);
    expectVector(CVector3(1, 2, 3), camera.position, 0);
    expectVector(CVector3(0, 1, 0), camera.up, 0);

    const CVector3 axis = normalise(CVector3(1, 2, -2));
    camera.rotateView(1.234f, axis.x, axis.y, axis.z);
    EXPECT_NEAR(10.0, distanceBetween(camera.position, camera.view), 1e-4);
    // The part along the axis is what a rotation about it leaves alone.
    EXPECT_NEAR(dotProduct(CVector3(-10, 0, 0), axis), dotProduct(camera.view - camera.position, axis), 1e-4);
}

TEST(Camera, AViewPointOnTheEyeGivesANaNStrafeAxis)
{
    sharedEngine();
    CCamera camera;
    camera.place(1, 1, 1, 1, 1, 1, 0, 1, 0);
    movePointer(int(g_pGraphicsCore->width / 2), int(g_pGraphicsCore->height / 2));
    camera.update();
    EXPECT_TRUE(std::isnan(camera.strafeAxis.x));
}

// --- Looking: gluLookAt on the model-view matrix ------------------------------------------------

TEST(CameraLook, MultipliesTheLookAtMatrixOntoTheModelView)
{
    sharedEngine();
    CCamera camera;  // eye (0, 5, -25), view (1, 5, 1): a direction that is no axis
    expectVector(CVector3(0, 5, -25), camera.position, 0);
    expectVector(CVector3(1, 5, 1), camera.view, 0);
    expectVector(CVector3(0, 1, 0), camera.up, 0);
    expectVector(CVector3(0, 0, 0), camera.strafeAxis, 0);  // until the first update()
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    camera.look();
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());

    // Column-major: the image of a point p is M p.
    auto transform = [&m](const CVector3& p) {
        return CVector3(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                        m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
    };
    // The eye goes to the origin, the view point straight ahead on -z, up to +y and the right of
    // the viewing direction to +x.
    expectVector(CVector3(0, 0, 0), transform(camera.position), 1e-3f);
    expectVector(CVector3(0, 0, -float(kInitialDistance)), transform(camera.view), 1e-3f);
    expectVector(CVector3(0, 1, 0), transform(camera.position + camera.up), 1e-3f);
    const CVector3 right = normalise(crossProduct(camera.view - camera.position, camera.up));
    expectVector(CVector3(1, 0, 0), transform(camera.position + right), 1e-3f);
}

// --- Steering with the mouse --------------------------------------------------------------------

TEST_F(CameraSteering, TheCentreIsTheIntegerHalfOfTheWindowSize)
{
    for (uint32_t extra : {0u, 1u}) {
        pretendWindow(800 + extra, 600 + extra);
        CCamera camera = lookingNorth();
        movePointer(400, 300);
        camera.mouseLook();
        expectVector(CVector3(0, 0, -10), camera.view, 0);

        movePointer(401, 300);
        camera.mouseLook();
        EXPECT_GT(camera.view.x, 0.0f) << "one pixel right of (400, 300) turns right";
    }
}

TEST_F(CameraSteering, WithThePointerAtTheCentreNothingTurnsAndThePointerStays)
{
    pretendWindow(800, 600);
    CCamera camera = lookingNorth();
    movePointer(400, 300);
    // The real pointer leaves; SDL still reports the centre until its events are pumped, so a warp
    // would show as the real pointer coming back.
    moveRealPointerOnly(100, 120);
    camera.mouseLook();
    const Point pointer = realPointer();
    EXPECT_EQ(100, pointer.x);
    EXPECT_EQ(120, pointer.y);
    expectVector(CVector3(0, 0, -10), camera.view, 0);
    EXPECT_EQ(0.0f, CCamera::getAccumulatedPitch());
}

// After a resize the pointer still lay at the old centre, and the next look swung the view by half
// the change in size.
TEST_F(CameraSteering, AResizeIsNoTurnAndTheNextMoveTurnsFromTheNewCentre)
{
    pretendWindow(800, 600);
    CCamera camera = lookingNorth();
    movePointer(400, 300);
    camera.mouseLook();
    pretendWindow(1000, 700);
    camera.mouseLook();
    expectVector(CVector3(0, 0, -10), camera.view, 0);
    const Point pointer = realPointer();
    EXPECT_EQ(500, pointer.x);
    EXPECT_EQ(350, pointer.y);
    movePointer(550, 350);
    camera.mouseLook();
    expectVector(CVector3(10 * std::sin(0.1f), 0, -10 * std::cos(0.1f)), camera.view);
}

TEST_F(CameraSteering, FiftyPixelsRightTurnsMinusATenthOfARadianAboutWorldYAndWarpsBack)
{
    pretendWindow(800, 600);
    CCamera camera = lookingNorth();
    movePointer(450, 300);
    camera.mouseLook();
    expectVector(CVector3(10 * std::sin(0.1f), 0, -10 * std::cos(0.1f)), camera.view);
    EXPECT_EQ(0.0f, CCamera::getAccumulatedPitch());

    const Point pointer = realPointer();
    EXPECT_EQ(400, pointer.x);
    EXPECT_EQ(300, pointer.y);
    SDL_PumpEvents();
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    EXPECT_EQ(400, x);
    EXPECT_EQ(300, y);
}

TEST_F(CameraSteering, APitchPastTheLimitIsCutAndThatReadingTurnsNothing)
{
    pretendWindow(800, 600);
    CCamera camera = lookingNorth();

    movePointer(400, 600);  // 300 pixels below the centre: 0.6 radian down
    camera.mouseLook();
    EXPECT_NEAR(0.6f, CCamera::getAccumulatedPitch(), 1e-6);
    EXPECT_NEAR(-0.6, elevation(camera), 1e-4);
    expectVector(CVector3(0, -10 * std::sin(0.6f), -10 * std::cos(0.6f)), camera.view);

    // Another 0.6 down would make 1.2: cut to 1.0, and neither this reading's pitch nor its yaw
    // (50 pixels right) is applied.
    const CVector3 before = camera.view;
    movePointer(450, 600);
    camera.mouseLook();
    EXPECT_EQ(1.0f, CCamera::getAccumulatedPitch());
    expectVector(before, camera.view, 0);
    EXPECT_EQ(400, realPointer().x) << "the pointer is still put back";

    // Back inside the limits: 100 pixels up turns 0.2 radian up again.
    movePointer(400, 200);
    camera.mouseLook();
    EXPECT_NEAR(0.8f, CCamera::getAccumulatedPitch(), 1e-6);
    EXPECT_NEAR(-0.4, elevation(camera), 1e-4);
}

TEST_F(CameraSteering, ThePitchIsSharedByEveryCamera)
{
    pretendWindow(800, 600);
    CCamera first = lookingNorth();
    CCamera second = lookingNorth();
    movePointer(400, 600);
    first.mouseLook();
    movePointer(400, 600);
    second.mouseLook();  // 0.6 + 0.6 is past the limit although this camera has not tilted yet
    EXPECT_EQ(1.0f, CCamera::getAccumulatedPitch());
    expectVector(CVector3(0, 0, -10), second.view, 0);
}

// --- Walking with held keys ---------------------------------------------------------------------

TEST_F(CameraSteering, UpHeldForAFrameOfFiftyMillisecondsWalksTenUnits)
{
    g_pUtils->setFrameTime(0.05f);
    pointerAtCentre();
    ASSERT_NO_FATAL_FAILURE(hold("Up", {SDLK_UP}));
    CCamera camera;
    camera.update();
    expectVector(CVector3(0, 5, -25) + normalise(CVector3(1, 0, 26)) * 10.0f, camera.position);
    expectVector(CVector3(1, 5, 1), camera.view, 0);
}

TEST_F(CameraSteering, AtASetWalkingSpeedUpHeldForHalfASecondWalksHalfOfIt)
{
    g_pUtils->setFrameTime(0.5f);
    pointerAtCentre();
    ASSERT_NO_FATAL_FAILURE(hold("Up", {SDLK_UP}));
    CCamera camera = lookingNorth();
    EXPECT_FLOAT_EQ(200.0f, camera.getWalkingSpeed());
    camera.setWalkingSpeed(30.0f);
    camera.update();
    expectVector(CVector3(0, 0, -15), camera.position);
    camera.setWalkingSpeed(-30.0f);  // not backwards: standing still
    EXPECT_FLOAT_EQ(0.0f, camera.getWalkingSpeed());
    camera.update();
    expectVector(CVector3(0, 0, -15), camera.position);
}

TEST_F(CameraSteering, UpAndWTogetherStillWalkTenUnits)
{
    g_pUtils->setFrameTime(0.05f);
    pointerAtCentre();
    ASSERT_NO_FATAL_FAILURE(hold("Up w", {SDLK_UP, SDLK_w}));
    CCamera camera;
    camera.update();
    EXPECT_NEAR(10.0, distanceBetween(CVector3(0, 5, -25), camera.position), 1e-4);
}

TEST_F(CameraSteering, UpAndDownTogetherCancel)
{
    g_pUtils->setFrameTime(0.05f);
    pointerAtCentre();
    ASSERT_NO_FATAL_FAILURE(hold("Up Down", {SDLK_UP, SDLK_DOWN}));
    CCamera camera;
    camera.update();
    expectVector(CVector3(0, 5, -25), camera.position);
}

TEST_F(CameraSteering, WithNoFrameTimeTheKeysMoveNothing)
{
    g_pUtils->setFrameTime(0.0f);
    pointerAtCentre();
    ASSERT_NO_FATAL_FAILURE(hold("Up Right", {SDLK_UP, SDLK_RIGHT}));
    CCamera camera;
    camera.update();
    expectVector(CVector3(0, 5, -25), camera.position, 0);
    expectVector(CVector3(1, 5, 1), camera.view, 0);
}

TEST_F(CameraSteering, DSideStepsAlongTheAxisFromBeforeThatFramesTurn)
{
    g_pUtils->setFrameTime(0.05f);
    pointerAtCentre();
    ASSERT_NO_FATAL_FAILURE(hold("d", {SDLK_d}));
    CCamera camera = lookingNorth();
    // 50 pixels right turns the view in the same update; the step still goes along the old right.
    movePointer(int(g_pGraphicsCore->width / 2) + 50, int(g_pGraphicsCore->height / 2));
    camera.update();
    expectVector(CVector3(1, 0, 0), camera.strafeAxis);
    expectVector(CVector3(10, 0, 0), camera.position);
}

TEST_F(CameraSteering, LeftAndAStepLeftOnceTogether)
{
    g_pUtils->setFrameTime(0.05f);
    pointerAtCentre();
    ASSERT_NO_FATAL_FAILURE(hold("Left a", {SDLK_LEFT, SDLK_a}));
    CCamera camera = lookingNorth();
    camera.update();
    expectVector(CVector3(-10, 0, 0), camera.position);
    expectVector(CVector3(-10, 0, -10), camera.view);
}

TEST_F(CameraSteering, CentringThePointerFirstLeavesTheFirstUpdateLookingWhereItWasPlaced)
{
    movePointer(5, 5);  // far from the centre, as a pointer is when the window opens
    CCamera camera = lookingNorth();
    ASSERT_TRUE(camera.centrePointer());
    camera.update();
    expectVector(CVector3(0, 0, -10), camera.view, 1e-4f);
}
