#ifndef ENGINE_GRAPHICS_LOGICALSCREEN_H
#define ENGINE_GRAPHICS_LOGICALSCREEN_H

#include <memory>

class CGraphicsCore;
class CRenderTarget;

// A game drawn at a size of its own choosing (320 by 180, say) and shown in the window at whatever
// size the window has. While it is on, everything of a frame (the game's scene, the GUI, the cursor,
// the frame rate) is drawn into a render target of the game's size, in the game's pixels; at the end
// of the engine's update the target is drawn into the window by the chosen scaling, the rest of the
// window cleared to the bar colour, and the target takes the next frame's drawing. The pointer
// (CEventManager::getMouseX/Y) is then in game pixels too, so GUI hit tests and clicks need no
// change; the events' own coordinates stay in window pixels. Resizes and fullscreen switches place
// the picture anew at the next present.
//
// Owned by the graphics core (CGraphicsCore::getLogicalScreen()); points to it, which outlives it.
// Owns its render target. Main thread only.
class CLogicalScreen {
public:
    enum class Scaling {
        // The largest whole multiple that fits, centred with bars: every game pixel becomes the same
        // square of window pixels. A window smaller than the game shrinks it as Fit does.
        Integer,
        // The largest size that fits with the game's proportions, centred with bars.
        Fit,
        // The whole window, proportions or not.
        Stretch
    };
    // A rectangle of window pixels from the window's top-left corner.
    struct Placement {
        int x;
        int y;
        int width;
        int height;
    };

    explicit CLogicalScreen(const CGraphicsCore& core);
    ~CLogicalScreen();

    // Turns the logical screen on at width by height game pixels and sends drawing into it from now
    // on. Needs the window open; a size the render target cannot have, or no window, logs why and
    // leaves it off (false). A second call replaces the size.
    bool start(int width, int height, Scaling scaling);
    // Back to drawing in the window at its own size.
    void stop();
    bool isOn() const;
    // The game's size in pixels; 0 by 0 while off.
    int getWidth() const;
    int getHeight() const;
    void setScaling(Scaling scaling);
    Scaling getScaling() const;
    // Linear filtering when the picture is scaled; off (nearest, sharp pixels) unless set.
    void setSmooth(bool on);
    // The colour of the bars around the picture, black unless set.
    void setBarColour(float red, float green, float blue);

    // Where the picture lies in a window of the given size. Plain arithmetic, no window needed.
    static Placement place(int gameWidth, int gameHeight, int windowWidth, int windowHeight, Scaling scaling);
    // Where it lies in the window now.
    Placement getPlacement() const;
    // A window pixel to the game pixel drawn there (the one whose area holds the pixel's centre).
    // Outside the picture the answer lies outside 0..width-1 or 0..height-1. Unchanged while off.
    void toGame(int& x, int& y) const;

    // The engine's frame hooks (CEngine::update): present() draws the frame into the window and
    // leaves drawing there; resume() sends drawing into the target again for the next frame.
    // Both do nothing while off.
    void present();
    void resume();
    // Leaves the target without drawing it (for a change of video mode); true when it was drawing
    // into it, so the caller knows to resume().
    bool suspend();

private:
    CLogicalScreen(const CLogicalScreen&) = delete;
    CLogicalScreen& operator=(const CLogicalScreen&) = delete;

    const CGraphicsCore* core;              // not owned; it owns this screen
    std::unique_ptr<CRenderTarget> target;  // owned; null while off
    Scaling scaling;
    bool on;
    bool smooth;
    float bar[3] = {0.0f, 0.0f, 0.0f};
};

#endif
