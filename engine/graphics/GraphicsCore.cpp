#include "engine/graphics/GraphicsCore.h"

#include "engine/core/Log.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/graphics/LogicalScreen.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Left to itself, SDL 1.2 falls back from X11 to text-mode drivers (aalib, caca) that switch the
// terminal to another screen, hide its cursor and turn on mouse reporting without ever switching
// them back, and none of them can give OpenGL anyway. On this platform only X11 can.
const char* const kOpenGLDriver = "x11";

bool drawsOnTheTerminal(const std::string& driver)
{
    static const char* const names[] = {"aalib", "caca", "fbcon", "svgalib", "ggi", "directfb", "vgl"};
    for (const char* name : names)
        if (driver == name)
            return true;
    return false;
}

std::string noDisplayText()
{
    const char* display = std::getenv("DISPLAY");
    const std::string why = (display == nullptr || *display == '\0')
                                ? std::string("DISPLAY is not set")
                                : "cannot connect to the X display \"" + std::string(display) + "\"";
    return "no display to open the window on (" + why +
           "); set DISPLAY to a running X server, or run the program under xvfb-run";
}

// sdl12-compat (the SDL 1.2 of Debian 13, Fedora and Arch, over SDL 2) would otherwise draw the
// program into a framebuffer object of its own and scale that into the window at each swap. The
// engine's framebuffer 0 must be the window itself: render targets bind it back, and screenshots
// read its front and back buffers. The classic SDL 1.2 knows no such hint and ignores it.
void askForTheWindowItself()
{
    setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);
}

// After a failed start sdl12-compat keeps video half-started: the next SDL_Init reports success
// without a driver. Shutting the subsystem down clears that; the classic SDL has nothing to undo.
void abandonVideo()
{
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// Starts SDL video with a driver that can give OpenGL. An explicit SDL_VIDEODRIVER is the user's
// choice and is tried as it stands, unless it would take over the terminal.
void startVideo()
{
    askForTheWindowItself();
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && *chosen != '\0' && std::strcmp(chosen, kOpenGLDriver) != 0) {
        if (drawsOnTheTerminal(chosen))
            throw "Error: the video driver \"" + std::string(chosen) +
                "\" cannot give OpenGL; unset SDL_VIDEODRIVER to use the X display";
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            std::string error = SDL_GetError();
            abandonVideo();
            if (error.empty())
                error = "the video driver \"" + std::string(chosen) + "\" is not available";
            throw "Error: SDL Could not be initialized: " + error;
        }
        return;
    }
    // SDL reads the driver from the environment only; the variable is as it was afterwards.
    const bool wasSet = chosen != nullptr && *chosen != '\0';
    setenv("SDL_VIDEODRIVER", kOpenGLDriver, 1);
    const int result = SDL_Init(SDL_INIT_VIDEO);
    if (!wasSet)
        unsetenv("SDL_VIDEODRIVER");
    if (result != 0) {
        // SDL's own words first, as for any failed start, then what to do about it.
        const std::string error = SDL_GetError();
        abandonVideo();
        throw "Error: SDL Could not be initialized: " + error + "; " + noDisplayText();
    }
}

// On any thread, unlike CGLStateScope::hasContext(): whether SDL holds an OpenGL window.
bool windowIsOpen()
{
    const SDL_Surface* screen = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetVideoSurface() : nullptr;
    return screen != nullptr && (screen->flags & SDL_OPENGL) != 0;
}

}  // namespace

CGraphicsCore::CGraphicsCore()
    : videoFlags(0),
      width(1024),
      height(768),
      bitsPerPixel(16),
      cursor(nullptr),
      hasCursor(false),
      altCursor(nullptr),
      currentCursor(nullptr),
      hasAltCursor(false),
      caption("Quarl Engine"),
      extensions(nullptr),
      wireframe(false),
      mode3D(false),
      resizable(false),
      contextProbe(0),
      projectionPushes(0),
      modelViewPushes(0),
      swapControl(-1),
      depthBits(kDepthAsColour),
      windowDepthBits(0),
      systemCursorShown(true),
      windowedGrab(SDL_GRAB_OFF),
      logicalScreen(nullptr)
{
    logicalScreen = new CLogicalScreen(*this);
}

CGraphicsCore::~CGraphicsCore()
{
    delete logicalScreen;
    logicalScreen = nullptr;
    releaseCursors();
    delete[] extensions;
    extensions = nullptr;
    const bool hadWindow = windowOpened && windowIsOpen();
    windowOpened = false;
    SDL_Quit();
    // Names made under the closed context must never be drawn or deleted under the next one.
    if (hadWindow)
        CGLStateScope::contextChanged();
}

void CGraphicsCore::setVideoMode(int w, int h, int bpp, bool fullscreen, bool mode2D)
{
    createWindow(w, h, bpp, fullscreen, mode2D);
    initGlew();
}

void CGraphicsCore::initGlew()
{
    const GLenum result = glewInit();
    // Going on would call the shader entry points, which stay null.
    if (result != GLEW_OK)
        throw std::string("Error: GLEW could not be initialized: ") +
            reinterpret_cast<const char*>(glewGetErrorString(result));
}

void CGraphicsCore::setVSync(bool on)
{
    swapControl = on ? 1 : 0;
}

void CGraphicsCore::setDepthBits(int bits)
{
    if (bits < kDepthAsColour || bits > 32) {
        CLog::line("Unable to set the depth buffer's bits to " + std::to_string(bits) +
                   ", Error: the bits must be -1 (as the colour), 0 (none) or up to 32");
        return;
    }
    depthBits = bits;
}

int CGraphicsCore::getDepthBits() const
{
    return depthBits;
}

bool CGraphicsCore::hasDepthBuffer() const
{
    return windowIsOpen() && windowDepthBits > 0;
}

unsigned int CGraphicsCore::getClearMask() const
{
    return hasDepthBuffer() ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT;
}

void CGraphicsCore::createWindow(int w, int h, int bpp, bool fullscreen, bool mode2D)
{
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    bitsPerPixel = bpp;
    mode3D = !mode2D;

    startVideo();

    chooseVideoFlags(fullscreen);

    // A second call keeps the window's context (SDL 1.2 on X11 changes the window in place).
    const bool hadWindow = windowOpened && windowIsOpen();
    if (SDL_SetVideoMode(w, h, bpp, videoFlags) == nullptr)
        throw std::string("Error: SDL Could not create Video Surface.") + SDL_GetError();
    windowOpened = true;
    if (!hadWindow)
        CGLStateScope::contextChanged();
    // What the visual really has: a driver may give more than was asked, or less.
    GLint depth = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    windowDepthBits = depth;

    if (!systemCursorShown)
        applySystemCursor();

    // A new context starts with empty matrix stacks.
    projectionPushes = 0;
    modelViewPushes = 0;
    if (mode2D)
        set2DState();
    else
        set3DState(w, h);
}

void CGraphicsCore::chooseVideoFlags(bool fullscreen)
{
    videoFlags = SDL_OPENGL | SDL_HWPALETTE;
    if (fullscreen)
        videoFlags |= SDL_FULLSCREEN;
    if (resizable)
        videoFlags |= SDL_RESIZABLE;

    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info == nullptr) {
        // Without the information no window can be opened, and SDL is shut down below.
        const std::string report = std::string("Failed getting Video Info : ") + SDL_GetError();
        CLog::errorLine(report);
        SDL_Quit();
        throw report;
    }
    if (info->hw_available)
        videoFlags |= SDL_HWSURFACE;
    if (info->blit_hw)
        videoFlags |= SDL_HWACCEL;

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits == kDepthAsColour ? bitsPerPixel : depthBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 0);
    // Only when the application chose: otherwise the driver's default stands, as it always did.
    if (swapControl >= 0)
        SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, swapControl);
}

void CGraphicsCore::set3DState(int w, int h)
{
    if (h == 0)
        h = 1;
    glViewport(0, 0, w, h);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, static_cast<GLdouble>(w) / static_cast<GLdouble>(h), 1.0, 4000.0);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDisable(GL_LIGHTING);
}

void CGraphicsCore::set2DState()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_SCISSOR_TEST);

    // Pushed once, not once per frame: nothing pops it in 2D mode, and a push per frame would
    // overflow the projection stack after a few dozen frames.
    glMatrixMode(GL_PROJECTION);
    if (projectionPushes == 0) {
        glPushMatrix();
        ++projectionPushes;
    }
    glLoadIdentity();
    glOrtho(0.0, drawingWidth(), drawingHeight(), 0.0, -1.0, 1.0);

    glMatrixMode(GL_MODELVIEW);
    // In 3D mode the engine's overlay resets the model-view matrix and end2D() pops it at the end
    // of the frame; keep the scene's matrix underneath so the pop is balanced.
    if (mode3D && modelViewPushes == 0) {
        glPushMatrix();
        ++modelViewPushes;
    }
}

void CGraphicsCore::begin2D()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    ++projectionPushes;
    glLoadIdentity();
    glOrtho(0.0, drawingWidth(), drawingHeight(), 0.0, -1.0, 1.0);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ++modelViewPushes;
    glLoadIdentity();
}

void CGraphicsCore::end2D()
{
    glMatrixMode(GL_PROJECTION);
    if (projectionPushes > 0) {
        glPopMatrix();
        --projectionPushes;
    }
    glMatrixMode(GL_MODELVIEW);
    if (modelViewPushes > 0) {
        glPopMatrix();
        --modelViewPushes;
    }
    glDepthFunc(GL_LEQUAL);
}

void CGraphicsCore::setWireframe(bool on)
{
    wireframe = on;
    glPolygonMode(GL_FRONT_AND_BACK, on ? GL_LINE : GL_FILL);
}

const char* CGraphicsCore::getVendor() const
{
    return reinterpret_cast<const char*>(glGetString(GL_VENDOR));
}

const char* CGraphicsCore::getRenderer() const
{
    return reinterpret_cast<const char*>(glGetString(GL_RENDERER));
}

const char* CGraphicsCore::getVersion() const
{
    return reinterpret_cast<const char*>(glGetString(GL_VERSION));
}

void CGraphicsCore::readExtensions()
{
    glEnable(GL_SCISSOR_TEST);
    const char* text = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (text == nullptr)
        text = "";
    const std::size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    delete[] extensions;
    extensions = copy;
    glDisable(GL_SCISSOR_TEST);
}

void CGraphicsCore::setCaption(const char* text)
{
    caption = text ? text : "";
    SDL_WM_SetCaption(caption.c_str(), "");
}

std::string CGraphicsCore::getCaption() const
{
    return caption;
}

bool CGraphicsCore::is3D() const
{
    return mode3D;
}

CLogicalScreen& CGraphicsCore::getLogicalScreen()
{
    return *logicalScreen;
}

double CGraphicsCore::drawingWidth() const
{
    return logicalScreen->isOn() ? double(logicalScreen->getWidth()) : double(width);
}

double CGraphicsCore::drawingHeight() const
{
    return logicalScreen->isOn() ? double(logicalScreen->getHeight()) : double(height);
}
