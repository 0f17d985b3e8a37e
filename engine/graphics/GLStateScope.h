#ifndef ENGINE_GRAPHICS_GLSTATESCOPE_H
#define ENGINE_GRAPHICS_GLSTATESCOPE_H

// A stretch of the engine's drawing that changes OpenGL state the application may rely on (a print,
// a batch, a render target, a screenshot, a pixel transfer): each change goes through the scope,
// which saves the value it replaces the first time that state is touched, and restore() (or the
// destructor) puts every saved value back in reverse order. Only what the path changes is read and
// written back, so a scope costs a few queries. Needs a current context. Holds no GL objects.
// Main thread only: the thread that opened the window (hasContext() is false on any other).
class CGLStateScope {
public:
    CGLStateScope() = default;
    ~CGLStateScope();

    // Whether an OpenGL window is open and its context is current on this thread (the one that
    // opened the window, recorded by contextChanged()): the one question every path that needs the
    // context asks. False on any other thread, where GL and GLU calls would crash.
    static bool hasContext();
    // The reason every such path gives when there is none: no window, or (on another thread) which
    // thread owns the GL. Valid until this thread asks again.
    static const char* noContextText();
    // Counts the OpenGL contexts this process has opened and closed: a GL name made under one
    // generation means nothing under another (a texture kept past its engine must neither draw nor
    // delete a name that now belongs to the next engine's context). 0 before the first window.
    static unsigned int contextGeneration();
    // Called by the graphics core when it opens a context and when it closes it; the calling thread
    // becomes the one that owns the GL. Before the first call no thread is refused.
    static void contextChanged();

    // glEnable or glDisable.
    void enable(unsigned int capability, bool on);
    // The same on texture unit `unit` (0, 1, ...); unit 0 is left active.
    void enableOnUnit(int unit, unsigned int capability, bool on);
    // glClientActiveTextureARB.
    void clientActiveTexture(unsigned int unit);
    void blendFunc(unsigned int source, unsigned int destination);
    void matrixMode(unsigned int mode);
    // Saves the whole matrix of the mode (the projection stack may be only two deep, so nothing is
    // pushed), makes that mode current and loads the identity.
    void loadIdentity(unsigned int mode);
    void viewport(int x, int y, int width, int height);
    void scissorBox(int x, int y, int width, int height);
    // GL_FRAMEBUFFER_EXT's binding (0: the window), and GL_RENDERBUFFER_EXT's.
    void bindFramebuffer(unsigned int framebuffer);
    void bindRenderbuffer(unsigned int renderbuffer);
    // The active unit's GL_TEXTURE_2D binding.
    void bindTexture(unsigned int texture);
    void readBuffer(unsigned int buffer);
    // A glPixelStorei parameter.
    void pixelStore(unsigned int parameter, int value);
    // A buffer object binding: target GL_ARRAY_BUFFER_ARB, GL_ELEMENT_ARRAY_BUFFER_ARB or a pixel
    // buffer target. Buffer objects the driver lacks are left alone.
    void bindBuffer(unsigned int target, unsigned int buffer);
    // GL_TEXTURE_ENV_MODE of the active unit.
    void texEnvMode(int mode);
    void depthFunc(unsigned int function);
    // Pushes both matrices for drawing in window pixels, the way text is: a projection with the
    // origin at the viewport's top-left pixel and an identity model-view matrix, which is left
    // current. popWindowPixels() pops both.
    void pushWindowPixels();
    static void popWindowPixels();

    // The saved value of an integer state this scope changed, or the current one: what the
    // application had (e.g. the viewport before a render target's).
    void applicationViewport(int viewport[4]) const;

    // Puts everything back now; the scope is then empty and may be used again.
    void restore();
    // Forgets what was saved without a GL call: for a scope whose context has gone.
    void discard();

private:
    CGLStateScope(const CGLStateScope&) = delete;
    CGLStateScope& operator=(const CGLStateScope&) = delete;

    enum class Kind {
        Capability,
        BlendFunc,
        MatrixMode,
        Matrix,
        Viewport,
        ScissorBox,
        Framebuffer,
        Renderbuffer,
        Texture,
        ReadBuffer,
        PixelStore,
        Buffer,
        TexEnvMode,
        DepthFunc,
        UnitCapability,
        ClientActiveTexture
    };
    struct Saved {
        Kind kind;
        unsigned int name;  // the capability, matrix mode, parameter, buffer target or unit
        int values[4];
        float matrix[16];
    };
    // The entry for this state, saved now if it is not yet; null when the scope is full.
    Saved* save(Kind kind, unsigned int name);

    static const int kMostSaved = 32;
    Saved saved[kMostSaved];
    int count = 0;
};

#endif
