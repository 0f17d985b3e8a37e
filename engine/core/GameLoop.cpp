#include "engine/core/GameLoop.h"

#include "engine/camera/CameraManager.h"
#include "engine/core/Clock.h"
#include "engine/core/Engine.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GLStateScope.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/input/EventManager.h"

#include <GL/glew.h>
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <string>

CGameLoop::CGameLoop(CEngine& engine, int updatesPerSecond)
    : engine(&engine),
      clock(CClock::seconds),
      step(1.0 / 60),
      maxCatchUp(5),
      exitKey(SDLK_ESCAPE),
      lastTime(0.0),
      owed(0.0),
      started(false),
      timed(false),
      running(false),
      alpha(0.0f)
{
    setUpdatesPerSecond(updatesPerSecond);
}

void CGameLoop::setUpdatesPerSecond(int perSecond)
{
    perSecond = perSecond < 1 ? 1 : (perSecond > 1000 ? 1000 : perSecond);
    step = 1.0 / perSecond;
}

int CGameLoop::getUpdatesPerSecond() const
{
    return int(1.0 / step + 0.5);
}

float CGameLoop::getStep() const
{
    return float(step);
}

void CGameLoop::setMaxCatchUpSteps(int steps)
{
    maxCatchUp = steps < 1 ? 1 : steps;
}

void CGameLoop::setClock(Clock replacement)
{
    clock = replacement ? std::move(replacement) : Clock(CClock::seconds);
    started = false;
    timed = false;
}

void CGameLoop::setExitKey(int key)
{
    exitKey = key;
}

void CGameLoop::setClearColour(float red, float green, float blue)
{
    clearColour[0] = red;
    clearColour[1] = green;
    clearColour[2] = blue;
}

int CGameLoop::frame(const Update& update, const Draw& draw)
{
    // Checked every frame: the swap below follows a null window otherwise, and a game may delete
    // its engine while the loop still names it.
    const char* why = !CEngine::isUp(engine)         ? "the engine is shut down or deleted"
                      : !CGLStateScope::hasContext() ? CGLStateScope::noContextText()
                                                     : nullptr;
    if (why != nullptr) {
        CLog::line(std::string("Cannot run the game loop: ") + why);
        running = false;
        return 0;
    }
    CEventManager* events = g_pEventManager;
    const double now = clock();
    // An infinite or backward reading passes no time, and only a finite one is kept to measure
    // from, so one bad reading never stops the loop for good.
    const double elapsed = timed && std::isfinite(now) ? now - lastTime : 0.0;
    if (std::isfinite(now)) {
        lastTime = now;
        timed = true;
    }
    if (!started) {
        // The first frame updates once before anything is drawn.
        started = true;
        owed = step;
    } else if (elapsed > 0.0) {
        // Capped before it is added: beyond the catch-up steps the time is dropped anyway, and a
        // far jump would make the step count too large for an int.
        owed += std::isfinite(elapsed) ? std::min(elapsed, (double(maxCatchUp) + 1.0) * step) : 0.0;
    }
    // Whole steps due, counted rather than subtracted one by one so rounding never loses one.
    const double wholeSteps = std::floor(owed / step + 1e-6);
    int due = 0;
    if (wholeSteps > double(maxCatchUp)) {
        due = maxCatchUp;
        owed = 0.0;  // the rest of a stall is dropped
    } else {
        due = int(wholeSteps);
        owed = owed - due * step > 0 ? owed - due * step : 0.0;
    }

    int steps = 0;
    for (; steps < due; ++steps) {
        if (steps == 1 && events != nullptr)
            events->hideEdges(true);
        if (update)
            update(float(step));
    }
    if (events != nullptr)
        events->hideEdges(false);
    alpha = float(owed / step);

    glClearColor(clearColour[0], clearColour[1], clearColour[2], 1.0f);
    glClear(g_pGraphicsCore->getClearMask());
    glLoadIdentity();
    // The 2D camera scrolls what the game draws, as the engine's update leaves it for a loop of
    // the game's own; an empty camera manager does nothing.
    if (g_pCameraManager != nullptr)
        g_pCameraManager->apply();
    if (draw)
        draw(alpha);
    // The edges were seen by this frame's update; a frame without one keeps them for the next.
    if (events != nullptr && steps > 0)
        events->clearEdges();
    engine->update();
    SDL_GL_SwapBuffers();
    if (events != nullptr && (events->isQuitRequested() || (exitKey != 0 && events->isKeyPressed(exitKey))))
        running = false;
    return steps;
}

void CGameLoop::run(const Update& update, const Draw& draw)
{
    CEventManager* events = g_pEventManager;
    const bool wasTakingEvery = events != nullptr && events->isTakingEveryEvent();
    if (events != nullptr)
        events->takeEveryEvent(true);
    running = true;
    while (running)
        frame(update, draw);
    if (events != nullptr)
        events->takeEveryEvent(wasTakingEvery);
}

void CGameLoop::stop()
{
    running = false;
}

bool CGameLoop::isRunning() const
{
    return running;
}

float CGameLoop::getAlpha() const
{
    return alpha;
}
