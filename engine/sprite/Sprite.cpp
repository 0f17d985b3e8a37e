#include "engine/sprite/Sprite.h"

#include "engine/core/Clock.h"
#include "engine/core/Log.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"

#include <cstdio>
#include <string>

CSprite::Clock CSprite::clock = CClock::milliseconds;

void CSprite::setClock(Clock newClock)
{
    clock = newClock ? newClock : CClock::milliseconds;
}

CSprite::CSprite()
    : frameCount(0)
{
    timing.start(0, 0, std::vector<Uint32>(), clock());
}

CSprite::CSprite(const char* baseName, unsigned count, float x, float y)
    : frameCount(count)
{
    // The time counts from before the load, so the first draw after a slow load changes the frame.
    timing.start(count, 0, std::vector<Uint32>(), clock());
    loadFrames(baseName, count);
    position = CVector2(x, y);
}

CSprite::~CSprite()
{
    for (CTexture* frame : frames)
        delete frame;
    frames.clear();
}

void CSprite::loadFrames(const char* baseName, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        char number[16];
        std::snprintf(number, sizeof(number), "%u", i + 1);
        frames.push_back(new CTexture(std::string(baseName ? baseName : "") + number + ".png"));
    }
}

void CSprite::drawCurrent(float x, float y)
{
    const unsigned current = timing.getCurrent();
    if (current < 1 || current > frames.size())
        return;
    frames[current - 1]->draw(x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CSprite::addCurrent(CSpriteBatch& batch, float x, float y)
{
    const unsigned current = timing.getCurrent();
    if (current < 1 || current > frames.size())
        return;
    batch.add(*frames[current - 1], x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CSprite::advance()
{
    if (!frames.empty())
        timing.stepAfterDraw(true, clock);
}

void CSprite::advanceOnce()
{
    if (!frames.empty())
        timing.stepAfterDraw(false, clock);
}

void CSprite::draw()
{
    drawCurrent(position.x, position.y);
    advance();
}

void CSprite::draw(CVector2 pos)
{
    drawCurrent(pos.x, pos.y);
    advance();
}

void CSprite::drawOnce()
{
    drawCurrent(position.x, position.y);
    advanceOnce();
}

void CSprite::drawOnce(CVector2 pos)
{
    drawCurrent(pos.x, pos.y);
    advanceOnce();
}

void CSprite::drawOnce(float x, float y)
{
    drawCurrent(x, y);
    advanceOnce();
}

void CSprite::draw(CSpriteBatch& batch)
{
    addCurrent(batch, position.x, position.y);
    advance();
}

void CSprite::draw(CSpriteBatch& batch, CVector2 pos)
{
    addCurrent(batch, pos.x, pos.y);
    advance();
}

void CSprite::drawOnce(CSpriteBatch& batch)
{
    addCurrent(batch, position.x, position.y);
    advanceOnce();
}

void CSprite::drawOnce(CSpriteBatch& batch, CVector2 pos)
{
    addCurrent(batch, pos.x, pos.y);
    advanceOnce();
}

void CSprite::drawFrame(unsigned index)
{
    drawFrame(index, position.x, position.y);
}

void CSprite::drawFrame(unsigned index, float x, float y)
{
    if (index >= frames.size())
        return;
    frames[index]->draw(x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CSprite::drawFrame(unsigned index, CVector2 pos)
{
    drawFrame(index, pos.x, pos.y);
}

void CSprite::rewind()
{
    timing.rewind();
}

CTexture* CSprite::getFrame(unsigned index) const
{
    return index < frames.size() ? frames[index] : nullptr;
}

unsigned CSprite::getFrameCount() const
{
    return frameCount;
}

unsigned CSprite::getCurrentFrame() const
{
    return timing.getCurrent();
}

void CSprite::setSpeed(unsigned framesPerSecond)
{
    timing.setSpeed(framesPerSecond);
}

unsigned CSprite::getSpeed() const
{
    return timing.getSpeed();
}

void CSprite::update(float seconds)
{
    if (!timing.update(seconds, true))
        CLog::line(CFrameClock::badStepLine(seconds));
}

void CSprite::updateOnce(float seconds)
{
    if (!timing.update(seconds, false))
        CLog::line(CFrameClock::badStepLine(seconds));
}

void CSprite::useWallClock()
{
    timing.useWallClock(clock());
}

void CSprite::setPaused(bool paused)
{
    timing.setPaused(paused, clock());
}

bool CSprite::isPaused() const
{
    return timing.isPaused();
}

void CSprite::setTimeScale(float scale)
{
    if (!timing.setTimeScale(scale))
        CLog::line(CFrameClock::badScaleLine(scale));
}

float CSprite::getTimeScale() const
{
    return timing.getTimeScale();
}

void CSprite::setPosition(float x, float y)
{
    position = CVector2(x, y);
}

void CSprite::setPosition(CVector2 pos)
{
    position = pos;
}

CVector2& CSprite::getPosition()
{
    return position;
}

float CSprite::getX() const
{
    return position.x;
}

float CSprite::getY() const
{
    return position.y;
}

void CSprite::setX(float x)
{
    position.x = x;
}

void CSprite::setY(float y)
{
    position.y = y;
}
