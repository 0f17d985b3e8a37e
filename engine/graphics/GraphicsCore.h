#ifndef ENGINE_GRAPHICS_GRAPHICSCORE_H
#define ENGINE_GRAPHICS_GRAPHICSCORE_H

#include <cstdint>
#include <string>

class CLogicalScreen;
class CTexture;

// The window, its OpenGL context and the render state (2D orthographic with the origin at the
// top-left corner, or 3D perspective), the window caption and the custom mouse cursor.
// Construction records defaults only; setVideoMode() opens the window. The destructor shuts SDL
// down, so it runs first at engine shut-down. Owns the cursor images and the extensions copy.
// Main thread only: the OpenGL context is current there. Opening the window and shutting video
// down each call CGLStateScope::contextChanged(), so that GL names kept past either are never used
// again, and make the calling thread the one that owns the GL.
//
// Runs on the classic SDL 1.2 and on sdl12-compat (SDL 1.2 over SDL 2, as Debian 13, Fedora and
// Arch ship it). sdl12-compat would draw an OpenGL program into a framebuffer object of its own and
// scale that into the window at each swap; the engine asks it not to (SDL12COMPAT_OPENGL_SCALING=0,
// set before SDL starts; the classic SDL knows no such variable). Drawing inside that framebuffer
// would break what the engine relies on: framebuffer 0 is the window, which render targets bind
// back and screenshots read (front and back buffers), and GLEW's entry points bypass the redirect
// sdl12-compat puts on framebuffer binding.
//
// The fields are public because the engine, the camera and the cursor drawing read them directly.
class CGraphicsCore {
public:
    // setDepthBits(): a depth buffer as deep as the colour, as every window had before the choice.
    static constexpr int kDepthAsColour = -1;

    CGraphicsCore();
    ~CGraphicsCore();

    // Opens the window (createWindow), then initialises GLEW (initGlew). Throws std::string when
    // SDL cannot open the window or GLEW cannot start.
    void setVideoMode(int width, int height, int bitsPerPixel, bool fullscreen, bool mode2D);
    // Starts SDL video, opens the OpenGL window and sets the initial 2D or 3D state. Only a driver
    // that can give OpenGL is used: without SDL_VIDEODRIVER that is X11, and without an X display it
    // throws one line saying so and how to get one, leaving the terminal untouched.
    // Throws "Error: SDL Could not be initialized: ..." (a driver named in SDL_VIDEODRIVER failed;
    // SDL video is shut down again, so a later call starts afresh) or "Error: SDL Could not create
    // Video Surface...." (a driver without OpenGL, such as SDL 2's dummy).
    void createWindow(int width, int height, int bitsPerPixel, bool fullscreen, bool mode2D);
    // Initialises GLEW in the current context. Throws "Error: GLEW could not be initialized: ..."
    // without a usable context: the shader entry points would stay null.
    void initGlew();
    // Vertical sync for the next window; without a call the driver's default stands.
    void setVSync(bool on);
    // The depth buffer's bits for the next window: kDepthAsColour (the default) asks for as many as
    // the colour depth, 0 for none, 1 to 32 for that many. A 2D game that never tests depth can
    // choose 0: Mesa's software rasteriser fills an axis-aligned quad through a much cheaper path
    // when the window has no depth (or stencil) buffer. Call before setVideoMode(); another value
    // writes a line and keeps the earlier choice.
    void setDepthBits(int bits);
    int getDepthBits() const;
    // Whether the open window has a depth buffer (GL_DEPTH_BITS above 0); false without a window.
    bool hasDepthBuffer() const;
    // What a frame clears: the colour buffer, and the depth buffer when the window has one.
    unsigned int getClearMask() const;
    // Chooses videoFlags and the OpenGL attributes. Needs SDL video started: without the video
    // information it reports on standard error, shuts SDL down and throws the same text.
    void chooseVideoFlags(bool fullscreen);

    // Perspective projection (60 degrees, near 1, far 4000) over the whole viewport.
    void set3DState(int width, int height);
    // The 2D render state and an orthographic projection, (0, 0) at the top-left corner; leaves the
    // model-view matrix current. The engine calls it every frame: the projection is pushed only once
    // until end2D() pops it, so the stack stays the same depth however many frames run.
    void set2DState();
    // Orthographic drawing on top of a 3D scene; end2D() restores both matrices.
    void begin2D();
    // Pops what set2DState()/begin2D() pushed and sets the depth test back to GL_LEQUAL.
    void end2D();
    // Draws polygons as outlines while on (glPolygonMode), filled otherwise.
    void setWireframe(bool on);

    // Shows or hides the system mouse cursor; before the window opens, the choice is applied when
    // it does.
    void showCursor(bool show);
    // Loads the custom cursor image and hides the system cursor; from then on the engine draws the
    // image every frame with its top-left pixel at the mouse position. A second call releases the
    // earlier image. A file that fails to load still sets the cursor, which then draws nothing.
    void loadCursor(const char* path);
    // Loads the alternative image that GUI title strips switch to; releases an earlier one.
    void loadAltCursor(const char* path);
    // Loads both images, as loadCursor() and loadAltCursor() do, and chooses the custom cursor.
    void loadCursors(const char* path, const char* altPath);
    // Chooses the alternative image (when one is loaded) or the custom cursor.
    void useAltCursor(bool alt);
    // Draws the chosen image at the mouse position the event manager read this frame.
    void drawCursor();

    const char* getVendor() const;    // GL_VENDOR from the driver; needs the window open
    const char* getRenderer() const;  // GL_RENDERER from the driver; needs the window open
    const char* getVersion() const;   // GL_VERSION from the driver; needs the window open
    // Copies GL_EXTENSIONS into extensions, replacing (and releasing) an earlier copy.
    void readExtensions();

    // Stores the caption and shows it as the window title.
    void setCaption(const char* text);
    std::string getCaption() const;
    bool is3D() const;

    // The game's own drawing size and how it is shown in the window (engine/graphics/LogicalScreen.h);
    // off until the game starts it. While it is on, set2DState() and begin2D() project the game's
    // size, and changes of video mode take drawing out of it and back.
    CLogicalScreen& getLogicalScreen();

    // The window's mode at run time. SDL 1.2 on X11 changes the GLX window in place and keeps its
    // OpenGL context, so every texture, font, shader and display list stays valid across these (the
    // tests check it); should a platform's SDL replace the context, a log line says so.
    // Call them between frames: the engine itself follows a user's resize at the end of its update,
    // once the frame is drawn (the application sees CEventManager::CodeResize in that update).
    //
    // Opens the window resizable by the user (SDL_RESIZABLE). Before setVideoMode() it only records
    // the choice; with a window open it re-applies the video mode at once.
    void setResizable(bool on);
    bool isResizable() const;
    // Re-applies the video mode at the new size and sets the viewport, the scissor box and the
    // projection (2D or 3D) to it. A size below 1 by 1, a call without a window, or a mode SDL
    // refuses writes a line, keeps the old mode and answers false.
    bool resizeWindow(int width, int height);
    // Re-applies the video mode fullscreen or windowed at the current size; fails as resizeWindow() does.
    bool setFullscreen(bool on);
    bool isFullscreen() const;

    // Writes the back buffer (the frame being drawn) or the front buffer (the one last shown) to a
    // PNG file, upright, 8-bit RGB, at the window size. Answers false after a log line when no window
    // is open or the file cannot be written; a failed write leaves no file behind.
    bool saveScreenshot(const char* path, bool frontBuffer = false);

    uint32_t videoFlags;      // SDL_SetVideoMode() flags of the window (chooseVideoFlags())
    uint32_t width;           // of the window, in pixels
    uint32_t height;          // of the window, in pixels
    int bitsPerPixel;         // the colour depth asked of SDL, also the depth buffer's unless chosen
    CTexture* cursor;         // owned; null until a cursor image is loaded
    bool hasCursor;           // the engine draws the cursor every frame while true
    CTexture* altCursor;      // owned; the image GUI title strips switch to
    CTexture* currentCursor;  // points to cursor or altCursor, never owned by itself
    bool hasAltCursor;        // an alternative image was loaded
    std::string caption;      // the window title without the frame-rate text CUtils appends
    char* extensions;         // owned copy of GL_EXTENSIONS, null until readExtensions()
    bool wireframe;           // the last setWireframe() choice
    bool mode3D;              // the window opened in 3D (is3D())

private:
    // Deletes both cursor images (Cursor.cpp, with the rest of the cursor code).
    void releaseCursors();
    // Shows or hides the system cursor as last chosen, once SDL video runs.
    void applySystemCursor();

    // Sets the video mode with flags at the new size; on refusal puts the old mode back.
    bool reapplyVideoMode(int width, int height, uint32_t flags);
    // The change itself, on the window.
    bool changeVideoMode(int width, int height, uint32_t flags);
    // Viewport, scissor box and projection for the current width and height.
    void applyWindowSize();
    // The size the 2D projection spans: the logical screen's while it is on, else the window's.
    double drawingWidth() const;
    double drawingHeight() const;

    bool resizable;  // SDL_RESIZABLE joins videoFlags while true
    // A display list made with the window: it vanishes only if the context is replaced.
    unsigned int contextProbe;
    // How many matrices set2DState()/begin2D() pushed and end2D() has yet to pop.
    int projectionPushes;
    int modelViewPushes;
    int swapControl;      // SDL_GL_SWAP_CONTROL for the next window; -1: not chosen
    int depthBits;        // the setDepthBits() choice for the next window
    int windowDepthBits;  // GL_DEPTH_BITS of the open window, read when it opened
    // This core opened a window that is still open. Kept here rather than asked of SDL: after an
    // earlier engine's SDL_Quit, newer sdl12-compat releases still hand out the old video surface
    // until a new one is set, which read as a window already open.
    bool windowOpened = false;
    bool systemCursorShown;         // the last showCursor() choice
    int windowedGrab;               // the SDL_GrabMode the window had when last windowed
    CLogicalScreen* logicalScreen;  // owned; deleted before SDL shuts down, with the context current
};

#endif
