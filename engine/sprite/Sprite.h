#ifndef ENGINE_SPRITE_SPRITE_H
#define ENGINE_SPRITE_SPRITE_H

#include "engine/math/Vector2.h"
#include "engine/sprite/FrameClock.h"

#include <SDL.h>

#include <vector>

class CSpriteBatch;
class CTexture;

// A flip-book animation: one texture per frame, read from numbered files, a current frame, a
// position and a speed in frames per second. Each timed draw shows the current frame and then steps
// to the next one when more than 1000 / speed milliseconds have passed since the last change; it
// never skips frames to catch up. A game with a time of its own (paused, slowed, a fixed step)
// calls update() instead, and the draws then only draw (CFrameClock). Owns its frame textures.
// Main thread only.
class CSprite {
public:
    // The sprite's clock, in milliseconds: the engine's (CClock::milliseconds, SDL_GetTicks unless
    // a source is set there) unless a test sets another; null puts the engine's back.
    typedef Uint32 (*Clock)();
    static void setClock(Clock clock);

    CSprite();
    // Loads baseName + "1.png" ... baseName + frameCount + ".png". A frame that cannot be read keeps
    // its place as an unloaded texture, which draws nothing.
    CSprite(const char* baseName, unsigned frameCount, float x, float y);
    ~CSprite();

    // The current frame, then the looping step (after the last frame comes the first).
    void draw();
    void draw(CVector2 pos);
    // The current frame, then the once step (the animation stops on the last frame).
    void drawOnce();
    void drawOnce(CVector2 pos);
    void drawOnce(float x, float y);
    // As draw() and drawOnce(), with the same timing, but the current frame is added to the batch
    // instead of being drawn: a thousand animated sprites cost one batch.
    void draw(CSpriteBatch& batch);
    void draw(CSpriteBatch& batch, CVector2 pos);
    void drawOnce(CSpriteBatch& batch);
    void drawOnce(CSpriteBatch& batch, CVector2 pos);
    // One frame by 0-based index, without touching the timing. An index outside the frames draws
    // nothing.
    void drawFrame(unsigned index);
    void drawFrame(unsigned index, float x, float y);
    void drawFrame(unsigned index, CVector2 pos);

    void rewind();
    // Null for an index outside the frames.
    CTexture* getFrame(unsigned index) const;
    unsigned getFrameCount() const;
    // The frame the next draw shows, counted from 1 (0 in a sprite without frames), while indexes
    // count from 0: the frame itself is getFrame(getCurrentFrame() - 1).
    unsigned getCurrentFrame() const;
    void setSpeed(unsigned framesPerSecond);
    unsigned getSpeed() const;

    // Game time: steps through the frames the seconds cover (looping, or stopping on the last frame
    // for updateOnce), at the time scale. From the first call on, draws no longer step the frames.
    // A step that is negative or not a finite number writes "Ignored an animation step of SECONDS
    // seconds: not a finite time of at least 0" and changes nothing.
    void update(float seconds);
    void updateOnce(float seconds);
    // Back to stepping on the draws and the wall clock, as a new sprite does.
    void useWallClock();
    // A paused sprite keeps its frame, whatever the draws or updates.
    void setPaused(bool paused);
    bool isPaused() const;
    // 2 plays twice as fast, 0.5 at half speed; on either time source. A scale below 0 or not finite
    // writes "Ignored an animation time scale of SCALE: not a finite number of at least 0".
    void setTimeScale(float scale);
    float getTimeScale() const;

    void setPosition(float x, float y);
    void setPosition(CVector2 pos);
    CVector2& getPosition();
    float getX() const;
    float getY() const;
    void setX(float x);
    void setY(float y);

private:
    CSprite(const CSprite&) = delete;
    CSprite& operator=(const CSprite&) = delete;

    void loadFrames(const char* baseName, unsigned count);
    void drawCurrent(float x, float y);
    void addCurrent(CSpriteBatch& batch, float x, float y);
    void advance();
    void advanceOnce();

    std::vector<CTexture*> frames;  // owned
    unsigned frameCount;
    CVector2 position;
    CFrameClock timing;  // the current frame, the last change and the speed

    static Clock clock;
};

#endif
