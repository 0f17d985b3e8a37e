#include "engine/graphics/GLStateScope.h"

#include <GL/glew.h>
#include <SDL.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

GLenum bindingOf(GLenum target)
{
    switch (target) {
    case GL_ARRAY_BUFFER_ARB:
        return GL_ARRAY_BUFFER_BINDING_ARB;
    case GL_ELEMENT_ARRAY_BUFFER_ARB:
        return GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB;
    case GL_PIXEL_PACK_BUFFER_ARB:
        return GL_PIXEL_PACK_BUFFER_BINDING_ARB;
    case GL_PIXEL_UNPACK_BUFFER_ARB:
        return GL_PIXEL_UNPACK_BUFFER_BINDING_ARB;
    default:
        return 0;
    }
}

bool hasBuffers(GLenum target)
{
    const bool pixel = target == GL_PIXEL_PACK_BUFFER_ARB || target == GL_PIXEL_UNPACK_BUFFER_ARB;
    return pixel ? (GLEW_VERSION_2_1 || GLEW_ARB_pixel_buffer_object) : GLEW_ARB_vertex_buffer_object;
}

std::atomic<unsigned int> generation{0};
// The thread that last opened or closed a context, and its kernel number for the refusal line.
// Before the first window none is recorded, and no thread is refused.
std::atomic<std::thread::id> owner{std::thread::id()};
std::atomic<long> ownerNumber{0};

long threadNumber()
{
    return long(syscall(SYS_gettid));
}

bool windowOpen()
{
    const SDL_Surface* screen = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetVideoSurface() : nullptr;
    return screen != nullptr && (screen->flags & SDL_OPENGL) != 0;
}

bool onOwningThread()
{
    const std::thread::id opener = owner.load();
    return opener == std::thread::id() || opener == std::this_thread::get_id();
}

}  // namespace

bool CGLStateScope::hasContext()
{
    // A context is current on the thread that made it only: GL and GLU calls anywhere else crash.
    return windowOpen() && onOwningThread();
}

unsigned int CGLStateScope::contextGeneration()
{
    return generation.load();
}

void CGLStateScope::contextChanged()
{
    owner.store(std::this_thread::get_id());
    ownerNumber.store(threadNumber());
    ++generation;
}

const char* CGLStateScope::noContextText()
{
    if (!windowOpen() || onOwningThread())
        return "no OpenGL window is open yet, call setVideoMode first";
    // Per thread: two refused threads must not write over each other's text.
    thread_local std::string text;
    text = "OpenGL belongs to thread " + std::to_string(ownerNumber.load()) +
           ", which opened the window, not to this thread " + std::to_string(threadNumber()) +
           ": load and draw there";
    return text.c_str();
}

CGLStateScope::~CGLStateScope()
{
    restore();
}

CGLStateScope::Saved* CGLStateScope::save(Kind kind, unsigned int name)
{
    for (int i = 0; i < count; ++i)
        if (saved[i].kind == kind && saved[i].name == name)
            return &saved[i];
    if (count == kMostSaved)
        return nullptr;
    Saved& entry = saved[count++];
    entry.kind = kind;
    entry.name = name;
    switch (kind) {
    case Kind::Capability:
        entry.values[0] = glIsEnabled(name);
        break;
    case Kind::BlendFunc:
        glGetIntegerv(GL_BLEND_SRC, &entry.values[0]);
        glGetIntegerv(GL_BLEND_DST, &entry.values[1]);
        break;
    case Kind::MatrixMode:
        glGetIntegerv(GL_MATRIX_MODE, &entry.values[0]);
        break;
    case Kind::Matrix:
        glGetFloatv(name == GL_PROJECTION ? GL_PROJECTION_MATRIX : GL_MODELVIEW_MATRIX, entry.matrix);
        break;
    case Kind::Viewport:
        glGetIntegerv(GL_VIEWPORT, entry.values);
        break;
    case Kind::ScissorBox:
        glGetIntegerv(GL_SCISSOR_BOX, entry.values);
        break;
    case Kind::Framebuffer:
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &entry.values[0]);
        break;
    case Kind::Renderbuffer:
        glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &entry.values[0]);
        break;
    case Kind::Texture:
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &entry.values[0]);
        break;
    case Kind::ReadBuffer:
        glGetIntegerv(GL_READ_BUFFER, &entry.values[0]);
        break;
    case Kind::PixelStore:
        glGetIntegerv(name, &entry.values[0]);
        break;
    case Kind::Buffer:
        glGetIntegerv(bindingOf(name), &entry.values[0]);
        break;
    case Kind::TexEnvMode:
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &entry.values[0]);
        break;
    case Kind::DepthFunc:
        glGetIntegerv(GL_DEPTH_FUNC, &entry.values[0]);
        break;
    case Kind::UnitCapability:  // name: the unit; values[1]: the capability
        break;
    case Kind::ClientActiveTexture:
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE_ARB, &entry.values[0]);
        break;
    }
    return &entry;
}

void CGLStateScope::enable(unsigned int capability, bool on)
{
    save(Kind::Capability, capability);
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

void CGLStateScope::enableOnUnit(int unit, unsigned int capability, bool on)
{
    glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit));
    // One entry per unit and capability: the unit in the name's high bits.
    const unsigned int key = unsigned(unit) << 16 | (capability & 0xFFFFu);
    bool fresh = true;
    for (int i = 0; i < count; ++i)
        fresh = fresh && !(saved[i].kind == Kind::UnitCapability && saved[i].name == key);
    if (fresh) {
        if (Saved* entry = save(Kind::UnitCapability, key)) {
            entry->values[0] = glIsEnabled(capability);
            entry->values[1] = int(capability);
        }
    }
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
    glActiveTextureARB(GL_TEXTURE0_ARB);
}

void CGLStateScope::clientActiveTexture(unsigned int unit)
{
    save(Kind::ClientActiveTexture, 0);
    glClientActiveTextureARB(unit);
}

void CGLStateScope::blendFunc(unsigned int source, unsigned int destination)
{
    save(Kind::BlendFunc, 0);
    glBlendFunc(source, destination);
}

void CGLStateScope::matrixMode(unsigned int mode)
{
    save(Kind::MatrixMode, 0);
    glMatrixMode(mode);
}

void CGLStateScope::loadIdentity(unsigned int mode)
{
    matrixMode(mode);
    save(Kind::Matrix, mode);
    glLoadIdentity();
}

void CGLStateScope::viewport(int x, int y, int width, int height)
{
    save(Kind::Viewport, 0);
    glViewport(x, y, width, height);
}

void CGLStateScope::scissorBox(int x, int y, int width, int height)
{
    save(Kind::ScissorBox, 0);
    glScissor(x, y, width, height);
}

void CGLStateScope::bindFramebuffer(unsigned int framebuffer)
{
    if (!GLEW_EXT_framebuffer_object)
        return;
    save(Kind::Framebuffer, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
}

void CGLStateScope::bindRenderbuffer(unsigned int renderbuffer)
{
    if (!GLEW_EXT_framebuffer_object)
        return;
    save(Kind::Renderbuffer, 0);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
}

void CGLStateScope::bindTexture(unsigned int texture)
{
    save(Kind::Texture, 0);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void CGLStateScope::readBuffer(unsigned int buffer)
{
    save(Kind::ReadBuffer, 0);
    glReadBuffer(buffer);
}

void CGLStateScope::pixelStore(unsigned int parameter, int value)
{
    save(Kind::PixelStore, parameter);
    glPixelStorei(parameter, value);
}

void CGLStateScope::bindBuffer(unsigned int target, unsigned int buffer)
{
    if (bindingOf(target) == 0 || !hasBuffers(target))
        return;
    save(Kind::Buffer, target);
    glBindBufferARB(target, buffer);
}

void CGLStateScope::texEnvMode(int mode)
{
    save(Kind::TexEnvMode, 0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
}

void CGLStateScope::depthFunc(unsigned int function)
{
    save(Kind::DepthFunc, 0);
    glDepthFunc(function);
}

void CGLStateScope::pushWindowPixels()
{
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    matrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, viewport[2], viewport[3], 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void CGLStateScope::popWindowPixels()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void CGLStateScope::applicationViewport(int viewport[4]) const
{
    for (int i = 0; i < count; ++i)
        if (saved[i].kind == Kind::Viewport) {
            for (int k = 0; k < 4; ++k)
                viewport[k] = saved[i].values[k];
            return;
        }
    glGetIntegerv(GL_VIEWPORT, viewport);
}

void CGLStateScope::discard()
{
    count = 0;
}

void CGLStateScope::restore()
{
    for (int i = count - 1; i >= 0; --i) {
        const Saved& entry = saved[i];
        switch (entry.kind) {
        case Kind::Capability:
            if (entry.values[0])
                glEnable(entry.name);
            else
                glDisable(entry.name);
            break;
        case Kind::BlendFunc:
            glBlendFunc(GLenum(entry.values[0]), GLenum(entry.values[1]));
            break;
        case Kind::MatrixMode:
            glMatrixMode(GLenum(entry.values[0]));
            break;
        case Kind::Matrix:
            glMatrixMode(entry.name);
            glLoadMatrixf(entry.matrix);
            break;
        case Kind::Viewport:
            glViewport(entry.values[0], entry.values[1], entry.values[2], entry.values[3]);
            break;
        case Kind::ScissorBox:
            glScissor(entry.values[0], entry.values[1], entry.values[2], entry.values[3]);
            break;
        case Kind::Framebuffer:
            glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(entry.values[0]));
            break;
        case Kind::Renderbuffer:
            glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, GLuint(entry.values[0]));
            break;
        case Kind::Texture:
            glBindTexture(GL_TEXTURE_2D, GLuint(entry.values[0]));
            break;
        case Kind::ReadBuffer:
            glReadBuffer(GLenum(entry.values[0]));
            break;
        case Kind::PixelStore:
            glPixelStorei(entry.name, entry.values[0]);
            break;
        case Kind::Buffer:
            glBindBufferARB(entry.name, GLuint(entry.values[0]));
            break;
        case Kind::TexEnvMode:
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, entry.values[0]);
            break;
        case Kind::DepthFunc:
            glDepthFunc(GLenum(entry.values[0]));
            break;
        case Kind::UnitCapability:
            glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + (entry.name >> 16)));
            if (entry.values[0])
                glEnable(GLenum(entry.values[1]));
            else
                glDisable(GLenum(entry.values[1]));
            glActiveTextureARB(GL_TEXTURE0_ARB);
            break;
        case Kind::ClientActiveTexture:
            glClientActiveTextureARB(GLenum(entry.values[0]));
            break;
        }
    }
    count = 0;
}
