#ifndef ENGINE_SPRITE_ATLASANIMATION_H
#define ENGINE_SPRITE_ATLASANIMATION_H

#include "engine/math/Vector2.h"
#include "engine/sprite/AtlasRegion.h"
#include "engine/sprite/FrameClock.h"

#include <SDL.h>

#include <string>
#include <vector>

class CSpriteBatch;
class CTextureAtlas;

// A flip-book whose frames are regions of a texture atlas, chosen by name (a prefix and a number)
// or by one of the descriptor's frame tags. Steps as CSprite does: each timed draw shows the
// current frame and then moves to the next one when more than the frame's time has passed since the
// last change, never skipping frames to catch up; draw() loops, drawOnce() stops on the last frame.
// A frame's time is its duration from the descriptor when chosen by a tag and it has one, and
// otherwise 1000 / speed milliseconds (speed 0: the animation stands still). A game with a time
// of its own (paused, slowed, a fixed step) calls update() instead, and the draws then only draw,
// as with CSprite (both step through CFrameClock).
//
// Holds copies of the atlas's regions, which point to its pages: the atlas must outlive the
// animation and keep its load. Main thread only.
class CAtlasAnimation {
public:
    // The animations' clock, in milliseconds: the engine's (CClock::milliseconds, SDL_GetTicks
    // unless a source is set there) unless a test sets another; null puts the engine's back.
    typedef Uint32 (*Clock)();
    static void setClock(Clock clock);

    CAtlasAnimation();

    // The regions named prefix + a number, in numeric order ("flame" takes flame1, flame2, flame10;
    // anything after the digits is allowed, so "walk " takes "walk 0.aseprite"). Each shows for
    // 1000 / speed ms. On no match logs "No frames named PREFIX and a number in the atlas: PATH",
    // and the animation has no frames (draws nothing). Starts at the first frame.
    bool setFramesByPrefix(const CTextureAtlas& atlas, const std::string& prefix);
    // The frames of the named tag, in its direction: forward, reverse, or pingpong (there and back,
    // the turning frames once each; drawOnce() ends where it began). On an unknown tag logs
    // "No frame tag NAME in the atlas: PATH" and has no frames. Starts at the first frame.
    bool setFramesByTag(const CTextureAtlas& atlas, const std::string& tag);

    // The current frame as CTextureAtlas::draw draws it (scale 1, no turn, white), then the looping
    // step (after the last frame comes the first).
    void draw();
    void draw(CVector2 pos);
    // The current frame, then the once step (the animation stops on the last frame).
    void drawOnce();
    void drawOnce(CVector2 pos);
    // The same timing, with the current frame added to the batch instead.
    void draw(CSpriteBatch& batch);
    void draw(CSpriteBatch& batch, CVector2 pos);
    void drawOnce(CSpriteBatch& batch);
    void drawOnce(CSpriteBatch& batch, CVector2 pos);
    // One frame by 0-based index, without touching the timing; an index outside draws nothing.
    void drawFrame(unsigned index, float x, float y);

    // Back to the first frame; its time counts from now.
    void rewind();
    // Frames in playing order (a pingpong tag's middle frames count twice); null outside them.
    const CAtlasRegion* getFrame(unsigned index) const;
    unsigned getFrameCount() const;
    // The frame the next draw shows, counted from 1 (0 without frames), as CSprite counts its
    // own, while indexes count from 0: the frame itself is getFrame(getCurrentFrame() - 1).
    unsigned getCurrentFrame() const;
    // Frames per second for frames without a duration of their own (default 20).
    void setSpeed(unsigned framesPerSecond);
    unsigned getSpeed() const;

    // Game time, as CSprite's: update() loops, updateOnce() stops on the last frame, and from the
    // first call on the draws no longer step. A bad step writes CSprite's line and changes nothing.
    void update(float seconds);
    void updateOnce(float seconds);
    void useWallClock();
    void setPaused(bool paused);
    bool isPaused() const;
    // 2 plays twice as fast, 0.5 at half speed; a bad scale writes CSprite's line.
    void setTimeScale(float scale);
    float getTimeScale() const;

    void setPosition(float x, float y);
    void setPosition(CVector2 pos);
    CVector2& getPosition();

private:
    struct Frame {
        CAtlasRegion region;
        Uint32 duration;  // milliseconds; 0 takes the speed's period
    };

    bool noFrames(const std::string& line);
    // The frames are set: the clock starts on the first. loopFrom: where the loop starts again after
    // the last frame, 1 for a pingpong whose last frame is its first, so the turning frame is not
    // shown twice in a row.
    void startFrames(unsigned loopFrom);
    void drawCurrent(float x, float y);
    void addCurrent(CSpriteBatch& batch, float x, float y);
    void advance();
    void advanceOnce();

    std::vector<Frame> frames;
    CVector2 position;
    CFrameClock timing;  // the current frame (1-based; 0 without frames), the last change, the speed

    static Clock clock;
};

#endif
