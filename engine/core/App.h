#ifndef ENGINE_CORE_APP_H
#define ENGINE_CORE_APP_H

#include <string>

class CEngine;

// The base of every application. Constructing it starts the engine (all managers, no window yet);
// destroying it shuts the engine down. A game derives from it, opens the window in init() through
// engine->setVideoMode(), and runs its own frame loop in run(): draw, engine->update(), swap.
// Owns the engine.
class CApp {
public:
    CApp();
    virtual ~CApp();

    virtual void init() = 0;
    virtual void run() = 0;
    virtual void cleanUp() = 0;
    // Free for the application; the engine never calls them.
    virtual void userHook1() = 0;
    virtual void userHook2() = 0;

    // Defaults offered to a derived application; the engine reads none of them.
    int width;
    int height;
    int bitsPerPixel;
    std::string caption;
    bool flag;

    CEngine* engine;  // owned

private:
    CApp(const CApp&) = delete;
    CApp& operator=(const CApp&) = delete;
};

#endif
