#ifndef ENGINE_CORE_GAMELOOP_H
#define ENGINE_CORE_GAMELOOP_H

#include <functional>

class CEngine;

// A frame loop a game can hand over to, beside writing its own in CApp::run(). The game's update
// runs at a fixed rate (60 per second unless set), each call given the same step in seconds, so the
// game behaves the same at any frame rate; drawing runs once per frame, as often as the display
// allows (vertical sync and the engine's frame cap are respected: the swap and engine update wait
// for them), and is given how far the time stands between the last update and the next (0 to 1),
// to interpolate positions by. After a stall (a dragged window, a level loading) at most
// setMaxCatchUpSteps() updates run and the rest of the time is dropped, so the game slows down
// rather than freezes.
//
// Each frame, in this order: the update steps due, clear (colour and depth), the identity matrix
// with the current 2D camera's scroll (CCameraManager::apply), draw, the engine's update (input, GUI, cursor,
// frame rate), the swap. While it runs, the event manager takes every waiting event each frame
// (CEventManager::takeEveryEvent) and the edge queries (isKeyPressed, isButtonPressed, getWheel, getText,
// isQuitRequested) describe the events of the frame before: the frame's first update step and its drawing see
// them, later catch-up steps of the same frame do not (a press acts once), and a frame that runs no update step
// passes them on to the next. run() ends on a request to close the window, on a press of the exit key (Escape
// unless set otherwise), or on stop().
// Points to the engine it was given, which must outlive it. Main thread only.
class CGameLoop {
public:
    // Seconds from any fixed origin; the default is the engine's clock, CClock::seconds (which
    // animations share). Tests inject their own.
    using Clock = std::function<double()>;
    using Update = std::function<void(float stepSeconds)>;
    using Draw = std::function<void(float alpha)>;

    explicit CGameLoop(CEngine& engine, int updatesPerSecond = 60);

    // Clamped to 1 .. 1000.
    void setUpdatesPerSecond(int perSecond);
    int getUpdatesPerSecond() const;
    float getStep() const;
    // At least 1; 5 unless set.
    void setMaxCatchUpSteps(int steps);
    void setClock(Clock clock);
    // An SDL key symbol that ends run(); 0 for none.
    void setExitKey(int key);
    // The colour each frame is cleared to, black unless set (the engine's update leaves the clear
    // colour black, so a colour set once by the game would not last a frame).
    void setClearColour(float red, float green, float blue);

    // Runs frames until the window is closed, the exit key is pressed or stop() is called. The
    // update is called with the step, the draw with the interpolation factor; either may be empty.
    // Without a window (before setVideoMode, or once the engine is shut down or deleted) writes one
    // line and returns at once.
    void run(const Update& update, const Draw& draw);
    // One frame as run() runs it; answers how many update steps it ran. run() calls it; a game or
    // a test may drive the loop frame by frame with it. Without a window writes run()'s line, runs
    // nothing and answers 0. A clock reading that is not finite, or earlier than the last, counts
    // as no time passed.
    int frame(const Update& update, const Draw& draw);
    void stop();
    bool isRunning() const;
    // The last frame's interpolation factor.
    float getAlpha() const;

private:
    CEngine* engine;  // not owned
    Clock clock;
    double step;
    int maxCatchUp;
    int exitKey;
    double lastTime;  // the last finite clock reading
    double owed;      // time not yet spent in update steps
    bool started;     // the first frame has run
    bool timed;       // lastTime holds a reading
    bool running;
    float alpha;
    float clearColour[3] = {0.0f, 0.0f, 0.0f};
};

#endif
