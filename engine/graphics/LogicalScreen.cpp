#include "engine/graphics/LogicalScreen.h"

#include "engine/core/Log.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/texture/RenderTarget.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace {

// Rounds towards minus infinity, where C++ division rounds towards zero: a pointer left of the
// picture must map to a negative game pixel, not to 0.
int64_t floorDivide(int64_t numerator, int64_t denominator)
{
    const int64_t quotient = numerator / denominator;
    return (numerator % denominator != 0 && (numerator < 0) != (denominator < 0)) ? quotient - 1 : quotient;
}

// The game pixel whose span of window pixels holds the centre of window pixel `at`.
int toGameAxis(int at, int start, int span, int gameSpan)
{
    if (span <= 0)
        return at;
    return int(floorDivide((int64_t(at - start) * 2 + 1) * gameSpan, int64_t(span) * 2));
}

}  // namespace

CLogicalScreen::CLogicalScreen(const CGraphicsCore& owner)
    : core(&owner),
      scaling(Scaling::Integer),
      on(false),
      smooth(false)
{
}

CLogicalScreen::~CLogicalScreen() = default;

bool CLogicalScreen::start(int width, int height, Scaling chosen)
{
    stop();
    if (!CGLStateScope::hasContext()) {
        CLog::line("Failed to start the logical screen: " + std::to_string(width) + " by " +
                   std::to_string(height) + " pixels, Error: " + CGLStateScope::noContextText());
        return false;
    }
    std::unique_ptr<CRenderTarget> made(new CRenderTarget());
    if (!made->create(width, height))
        return false;
    target = std::move(made);
    scaling = chosen;
    on = true;
    resume();
    return true;
}

void CLogicalScreen::stop()
{
    suspend();
    on = false;
    target.reset();
}

bool CLogicalScreen::isOn() const
{
    return on;
}

int CLogicalScreen::getWidth() const
{
    return on ? target->getWidth() : 0;
}

int CLogicalScreen::getHeight() const
{
    return on ? target->getHeight() : 0;
}

void CLogicalScreen::setScaling(Scaling chosen)
{
    scaling = chosen;
}

CLogicalScreen::Scaling CLogicalScreen::getScaling() const
{
    return scaling;
}

void CLogicalScreen::setSmooth(bool value)
{
    smooth = value;
}

void CLogicalScreen::setBarColour(float red, float green, float blue)
{
    bar[0] = red;
    bar[1] = green;
    bar[2] = blue;
}

CLogicalScreen::Placement CLogicalScreen::place(int gameWidth, int gameHeight, int windowWidth, int windowHeight,
                                                Scaling chosen)
{
    if (gameWidth < 1 || gameHeight < 1 || windowWidth < 1 || windowHeight < 1)
        return Placement{0, 0, std::max(windowWidth, 0), std::max(windowHeight, 0)};
    if (chosen == Scaling::Stretch)
        return Placement{0, 0, windowWidth, windowHeight};
    int width = 0;
    int height = 0;
    const int whole = std::min(windowWidth / gameWidth, windowHeight / gameHeight);
    if (chosen == Scaling::Integer && whole >= 1) {
        width = gameWidth * whole;
        height = gameHeight * whole;
    } else if (int64_t(windowWidth) * gameHeight <= int64_t(windowHeight) * gameWidth) {
        // The width is the limit; the height follows the game's proportions, rounded.
        width = windowWidth;
        height = int((int64_t(gameHeight) * windowWidth * 2 + gameWidth) / (int64_t(gameWidth) * 2));
    } else {
        height = windowHeight;
        width = int((int64_t(gameWidth) * windowHeight * 2 + gameHeight) / (int64_t(gameHeight) * 2));
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    return Placement{(windowWidth - width) / 2, (windowHeight - height) / 2, width, height};
}

CLogicalScreen::Placement CLogicalScreen::getPlacement() const
{
    if (!on)
        return Placement{0, 0, int(core->width), int(core->height)};
    return place(target->getWidth(), target->getHeight(), int(core->width), int(core->height), scaling);
}

void CLogicalScreen::toGame(int& x, int& y) const
{
    if (!on)
        return;
    const Placement placed = getPlacement();
    x = toGameAxis(x, placed.x, placed.width, target->getWidth());
    y = toGameAxis(y, placed.y, placed.height, target->getHeight());
}

bool CLogicalScreen::suspend()
{
    if (!on || !target->isDrawing())
        return false;
    target->end();
    return true;
}

void CLogicalScreen::resume()
{
    if (!on || target->isDrawing())
        return;
    // The model-view matrix carries over: the engine applies the 2D camera's scroll at the end of
    // its update, for the next frame, and the target's begin() would load the identity over it.
    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    if (!target->begin())
        return;
    if (core->is3D()) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60.0, GLdouble(target->getWidth()) / GLdouble(target->getHeight()), 1.0, 4000.0);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(modelView);
    glMatrixMode(GLenum(mode));
}

void CLogicalScreen::present()
{
    if (!suspend())
        return;
    const int windowWidth = int(core->width);
    const int windowHeight = int(core->height);
    const Placement placed = getPlacement();

    CGLStateScope drawing;
    drawing.bindFramebuffer(0);
    drawing.viewport(0, 0, windowWidth, windowHeight);
    drawing.scissorBox(0, 0, windowWidth, windowHeight);
    drawing.enable(GL_SCISSOR_TEST, false);
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glClearColor(bar[0], bar[1], bar[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);

    // The fixed-function pipeline copies the picture as it is: no blending with the bars, no tint.
    const GLhandleARB program = GLEW_ARB_shader_objects ? glGetHandleARB(GL_PROGRAM_OBJECT_ARB) : 0;
    if (program != 0)
        glUseProgramObjectARB(0);
    drawing.enable(GL_BLEND, false);
    drawing.enable(GL_DEPTH_TEST, false);
    drawing.enable(GL_ALPHA_TEST, false);
    drawing.enable(GL_LIGHTING, false);
    drawing.enable(GL_CULL_FACE, false);
    drawing.enableOnUnit(0, GL_TEXTURE_2D, true);
    drawing.bindTexture(target->getTexture().id);
    drawing.texEnvMode(GL_REPLACE);
    const GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    drawing.loadIdentity(GL_PROJECTION);
    glOrtho(0.0, windowWidth, windowHeight, 0.0, -1.0, 1.0);
    drawing.loadIdentity(GL_MODELVIEW);

    // The target keeps GL's bottom-up rows: its top row is at t = 1.
    const float left = float(placed.x);
    const float top = float(placed.y);
    const float right = float(placed.x + placed.width);
    const float bottom = float(placed.y + placed.height);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(left, bottom);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(right, bottom);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(right, top);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(left, top);
    glEnd();

    if (program != 0)
        glUseProgramObjectARB(program);
}
