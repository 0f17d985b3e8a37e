#ifndef ENGINE_CORE_ENGINE_H
#define ENGINE_CORE_ENGINE_H

#include <chrono>
#include <string>

// The root of the engine. Construction creates the ten managers in their fixed order, logging one
// line each, and publishes them in the registry (engine/core/Registry.h); destruction deletes them
// in a different fixed order, the graphics core first (it shuts SDL down). Owns every manager.
// Exactly one engine exists at a time: a second one would overwrite the registry.
// Main thread only.
class CEngine {
public:
    CEngine();
    ~CEngine();

    void startUp();
    // Deletes every manager; the registry's pointers are null after it. Until startUp() runs again,
    // update(), setVideoMode() and setVSync() write one line and do nothing, as update() does on an
    // engine already deleted (one a CGameLoop or a kept pointer still names).
    void shutDown();
    // Whether engine is this program's engine and not shut down, so that every manager exists.
    // Compares pointers only: an engine already deleted may be asked about.
    static bool isUp(const CEngine* engine);
    // Asks SDL to gather events in a thread of its own where the platform has one.
    // Throws "Error: SDL Eventhread cannot not be initialized: ..." when SDL refuses.
    void initEventThread();
    // Opens the window, logs the OpenGL vendor, renderer and version, then loads what needs the
    // context: the built-in shaders, then font 1. Call once, before the first update().
    // The graphics core's exceptions pass through.
    void setVideoMode(int width, int height, int bitsPerPixel, bool fullscreen, bool mode2D);
    // Names a folder of the game's data, searched after the working directory for the engine's own
    // files (read when the window opens, so call it before setVideoMode) and for every file found
    // through CDataFiles::find(), which says the whole order.
    void setDataFolder(const std::string& folder);
    void setShowFPS(bool on);
    // The frame rate in the window caption only, nothing drawn; counts as showing the frame rate
    // for the utilities' frame time and the camera.
    void setShowFPSInCaption(bool on);
    // Vertical sync on or off for the window setVideoMode opens; call before it. Without a call
    // the driver's default stands.
    void setVSync(bool on);
    // At most this many frames per second: update() sleeps the rest of a shorter frame. 0 (the
    // default) limits nothing.
    void setFrameCap(int framesPerSecond);
    // Seconds between the starts of the last two update() calls, refreshed by every update
    // whether or not the frame rate is shown; 0 until the second update.
    float getDeltaTime() const;
    // The engine's share of a frame, after the application has drawn its scene and before the swap:
    // input, GUI, cursor, frame rate, 2D camera. Never swaps; waits only under a frame cap.
    // A window resize polled in the frame re-applies the video mode before anything is drawn, and
    // while the environment variable QUARL_SCREENSHOT names a file, a press of the Print Screen key
    // saves the finished frame (the back buffer) there.
    void update();
    // Saves the finished frame (the back buffer after the GUI, cursor and frame rate are drawn) to
    // a PNG file at the end of the next update(), as CGraphicsCore::saveScreenshot saves it.
    void requestScreenshot(const std::string& path);

private:
    using Clock = std::chrono::steady_clock;

    // Re-applies the video mode at the size of a resize event polled in this update.
    void followWindowResize();
    void saveRequestedScreenshot();

    bool showFPS;
    bool fpsInCaption;
    int frameCap;
    float deltaTime;
    Clock::time_point lastUpdate;  // start of the previous update; default-constructed before it
    bool updatedBefore;
    std::string requestedScreenshot;  // empty: none asked for
};

#endif
