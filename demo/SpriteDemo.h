#ifndef DEMO_SPRITEDEMO_H
#define DEMO_SPRITEDEMO_H

#include "engine/core/App.h"

class CSprite;

// The sprite animation demo: a 1024 by 768 window in 2D mode with an animated flame, a custom mouse
// pointer, four lines of text and the frame rate. Up and Down change the animation speed; Escape or
// closing the window ends it. Owns the flame.
class SpriteDemo : public CApp {
public:
    SpriteDemo();
    ~SpriteDemo() override;

    void init() override;
    // Frames until Escape is held or the window is closed, looking at the keys only in frames in
    // which an event arrived.
    void run() override;
    void cleanUp() override;
    void userHook1() override;
    void userHook2() override;

    // One frame: clear, draw the scene, the engine's update, swap.
    void renderFrame();

    CSprite* flame;   // owned; null until init()
    float colour[4];  // (1, 1, 1, 0.7); kept for applications that tint with it
};

#endif
