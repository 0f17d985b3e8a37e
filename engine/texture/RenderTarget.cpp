#include "engine/texture/RenderTarget.h"

#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/shader/ShaderManager.h"
#include "engine/texture/PixelUpload.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

std::string hex(GLenum value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(value));
    return text;
}

}  // namespace

CRenderTarget::CRenderTarget()
    : framebuffer(0),
      depthBuffer(0),
      width(0),
      height(0),
      drawing(false),
      generation(0),
      state(new CGLStateScope())
{
    texture.rowsBottomUp = true;
}

CRenderTarget::CRenderTarget(int w, int h)
    : CRenderTarget()
{
    create(w, h);
}

CRenderTarget::~CRenderTarget()
{
    if (drawing)
        end();
    release();
}

bool CRenderTarget::isCurrent() const
{
    return generation == CGLStateScope::contextGeneration() && CGLStateScope::hasContext();
}

void CRenderTarget::release()
{
    // Once the window is gone its context took every GL name with it, and under a later window
    // the same numbers name that engine's objects.
    if (isCurrent()) {
        if (framebuffer != 0)
            glDeleteFramebuffersEXT(1, &framebuffer);
        if (depthBuffer != 0)
            glDeleteRenderbuffersEXT(1, &depthBuffer);
        if (texture.id != 0)
            glDeleteTextures(1, &texture.id);
    }
    framebuffer = 0;
    depthBuffer = 0;
    texture.id = 0;
    texture.shader = nullptr;
    texture.width = 0.0f;
    texture.height = 0.0f;
    width = 0;
    height = 0;
}

bool CRenderTarget::fail(int w, int h, const std::string& reason)
{
    CLog::line("Failed to create the render target: " + std::to_string(w) + " by " + std::to_string(h) +
               " pixels, Error: " + reason);
    return false;
}

bool CRenderTarget::create(int w, int h)
{
    if (drawing)
        end();
    release();
    if (!CGLStateScope::hasContext())
        return fail(w, h, CGLStateScope::noContextText());
    if (!GLEW_EXT_framebuffer_object) {
        CLog::line("Render targets need GL_EXT_framebuffer_object, which this OpenGL driver lacks");
        return false;
    }
    GLint largestTexture = 0;
    GLint largestBuffer = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largestTexture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largestBuffer);
    const int largest = std::min(largestTexture, largestBuffer);
    if (w < 1 || h < 1 || w > largest || h > largest)
        return fail(w, h, "sizes run from 1 to " + std::to_string(largest) + " pixels");

    // The bindings the application had come back when this scope ends, below.
    GLenum status = GL_FRAMEBUFFER_COMPLETE_EXT;
    generation = CGLStateScope::contextGeneration();
    texture.idGeneration = generation;
    {
        CGLStateScope making;
        making.bindTexture(0);
        // Storage without pixels (the target is cleared below). Clamped: repeating would wrap the far
        // edge's texels into the near one under linear filtering.
        const GLuint colour =
            CPixelUpload::upload(CPixelUpload::Pixels{nullptr, w, h, 4, 4},
                                 CPixelUpload::Settings{GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE, false});
        texture.id = colour;

        glGenRenderbuffersEXT(1, &depthBuffer);
        making.bindRenderbuffer(depthBuffer);
        glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, w, h);

        glGenFramebuffersEXT(1, &framebuffer);
        making.bindFramebuffer(framebuffer);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
        glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                     depthBuffer);
        status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    }
    width = w;
    height = h;
    if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
        release();
        return fail(w, h, "the framebuffer is incomplete (status " + hex(status) + ")");
    }
    texture.width = float(w);
    texture.height = float(h);
    texture.shader = g_pShaderManager ? g_pShaderManager->getShader(0) : nullptr;
    // A new texture holds whatever the driver left in its memory.
    clear(0.0f, 0.0f, 0.0f, 0.0f);
    return true;
}

bool CRenderTarget::isCreated() const
{
    return framebuffer != 0;
}

int CRenderTarget::getWidth() const
{
    return width;
}

int CRenderTarget::getHeight() const
{
    return height;
}

bool CRenderTarget::begin()
{
    if (framebuffer == 0 || drawing)
        return false;
    if (!isCurrent()) {
        CLog::line("Failed to draw into the render target, Error: " +
                   std::string(generation != CGLStateScope::contextGeneration()
                                   ? "the OpenGL window it was made in has closed"
                                   : CGLStateScope::noContextText()));
        return false;
    }
    state->bindFramebuffer(framebuffer);
    state->viewport(0, 0, width, height);
    // The engine's 2D state keeps the scissor test on with the window's box, which would cut a
    // target larger than the window.
    state->scissorBox(0, 0, width, height);
    // The matrices are kept by the scope, not pushed: the projection stack may be only two deep,
    // and the graphics core and the font push onto it already.
    state->loadIdentity(GL_PROJECTION);
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    state->loadIdentity(GL_MODELVIEW);
    drawing = true;
    return true;
}

void CRenderTarget::end()
{
    if (!drawing)
        return;
    // What begin() saved belongs to a context that has gone.
    if (generation != CGLStateScope::contextGeneration())
        state->discard();
    state->restore();
    drawing = false;
}

bool CRenderTarget::isDrawing() const
{
    return drawing;
}

void CRenderTarget::clear(float red, float green, float blue, float alpha)
{
    if (framebuffer == 0 || !isCurrent())
        return;
    GLfloat previousColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, previousColour);
    {
        CGLStateScope clearing;
        clearing.bindFramebuffer(framebuffer);
        clearing.enable(GL_SCISSOR_TEST, false);
        glClearColor(red, green, blue, alpha);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glClearColor(previousColour[0], previousColour[1], previousColour[2], previousColour[3]);
}

CTexture& CRenderTarget::getTexture()
{
    return texture;
}
