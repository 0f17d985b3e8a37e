// The graphics core against the real window: projection, render modes, caption, extensions.
#include "engine/graphics/GraphicsCore.h"
#include "engine/core/Registry.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using testing_support::readPixel;
using testing_support::sharedEngine;

namespace {

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

class GraphicsCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        sharedEngine();
        core = g_pGraphicsCore;
        core->set2DState();
        glLoadIdentity();
        glDisable(GL_TEXTURE_2D);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    void TearDown() override
    {
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
        core->setWireframe(false);
        glViewport(0, 0, 1024, 768);
        core->set2DState();
    }

    static void fillRect(float x, float y, float w, float h)
    {
        glBegin(GL_QUADS);
        glVertex2f(x, y);
        glVertex2f(x + w, y);
        glVertex2f(x + w, y + h);
        glVertex2f(x, y + h);
        glEnd();
    }

    CGraphicsCore* core = nullptr;
};

}  // namespace

TEST_F(GraphicsCore, TwoDProjectionPutsTheOriginAtTheTopLeftPixel)
{
    fillRect(0, 0, 1, 1);
    fillRect(1023, 767, 1, 1);
    EXPECT_EQ(255, readPixel(0, 0).r);
    EXPECT_EQ(0, readPixel(1, 0).r);
    EXPECT_EQ(0, readPixel(0, 1).r);
    EXPECT_EQ(255, readPixel(1023, 767).r);
    EXPECT_EQ(0, readPixel(1022, 767).r);
    EXPECT_EQ(0, readPixel(1023, 766).r);
    // y grows downwards: a point low in the window lands low in the picture.
    glBegin(GL_POINTS);
    glVertex2f(100.5f, 700.5f);
    glEnd();
    EXPECT_EQ(255, readPixel(100, 700).r);
}

TEST_F(GraphicsCore, TwoDStateRepeatedEveryFrameKeepsTheProjectionStackDepth)
{
    const GLint depth = integer(GL_PROJECTION_STACK_DEPTH);
    for (int frame = 0; frame < 100; ++frame)
        core->set2DState();
    EXPECT_EQ(depth, integer(GL_PROJECTION_STACK_DEPTH));
    EXPECT_EQ(GL_MODELVIEW, integer(GL_MATRIX_MODE));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(GL_ALWAYS, integer(GL_DEPTH_FUNC));
}

TEST_F(GraphicsCore, ThreeDStateTreatsAZeroHeightAsOne)
{
    core->set3DState(800, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(800, viewport[2]);
    EXPECT_EQ(1, viewport[3]);
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (float value : projection)
        EXPECT_TRUE(std::isfinite(value));
    // 60 degrees vertically at aspect 800: m[0] = cot(30 degrees) / 800.
    EXPECT_NEAR(1.7320508f / 800.0f, projection[0], 1e-6f);
    EXPECT_EQ(GL_ALWAYS, integer(GL_DEPTH_FUNC));
}

TEST_F(GraphicsCore, Begin2DAndEnd2DDrawOrthographicallyAndRestoreBothStacks)
{
    core->set3DState(1024, 768);
    const GLint projectionDepth = integer(GL_PROJECTION_STACK_DEPTH);
    const GLint modelViewDepth = integer(GL_MODELVIEW_STACK_DEPTH);
    GLfloat before[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);

    core->begin2D();
    fillRect(10, 20, 4, 4);
    EXPECT_EQ(255, readPixel(11, 21).r);
    EXPECT_EQ(0, readPixel(15, 21).r);
    core->end2D();

    EXPECT_EQ(projectionDepth, integer(GL_PROJECTION_STACK_DEPTH));
    EXPECT_EQ(modelViewDepth, integer(GL_MODELVIEW_STACK_DEPTH));
    GLfloat after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(0, std::memcmp(before, after, sizeof(before)));
    EXPECT_EQ(GL_LEQUAL, integer(GL_DEPTH_FUNC));
}

TEST_F(GraphicsCore, WireframeOutlinesEveryPolygonUntilSwitchedOff)
{
    core->setWireframe(true);
    EXPECT_TRUE(core->wireframe);
    fillRect(100.5f, 100.5f, 50, 50);  // edges through pixel centres
    EXPECT_EQ(0, readPixel(125, 125).r);
    EXPECT_EQ(255, readPixel(100, 125).r);

    core->setWireframe(false);
    fillRect(200, 100, 50, 50);
    EXPECT_EQ(255, readPixel(225, 125).r);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(GL_FILL, modes[0]);
}

// A window whose program never chose keeps a depth buffer as deep as its colour (24 bits here), and
// a frame clears it.
TEST_F(GraphicsCore, AWindowWithoutAChoiceHasADepthBufferAsDeepAsTheColour)
{
    EXPECT_EQ(CGraphicsCore::kDepthAsColour, g_pGraphicsCore->getDepthBits());
    GLint depth = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    EXPECT_GE(depth, 24);
    EXPECT_TRUE(g_pGraphicsCore->hasDepthBuffer());
    EXPECT_EQ(unsigned(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), g_pGraphicsCore->getClearMask());
}

TEST_F(GraphicsCore, CaptionIsExactlyTheTextGiven)
{
    core->setCaption("Quarl Engine - Sprite Animation Demo");
    char* title = nullptr;
    char* icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    ASSERT_NE(nullptr, title);
    EXPECT_STREQ("Quarl Engine - Sprite Animation Demo", title);
    EXPECT_EQ("Quarl Engine - Sprite Animation Demo", core->getCaption());
}

TEST_F(GraphicsCore, ExtensionsAreCopiedAndTheScissorTestIsLeftOff)
{
    core->readExtensions();
    core->readExtensions();  // the second copy replaces the first
    ASSERT_NE(nullptr, core->extensions);
    EXPECT_STREQ(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), core->extensions);
    EXPECT_NE(nullptr, std::strstr(core->extensions, "GL_ARB_shader_objects"));
    EXPECT_NE(nullptr, glCreateShaderObjectARB);  // and GLEW found its entry points
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}
