#include "engine/sprite/Sprite.h"

#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"

#include <cstdio>
#include <string>

CSprite::Clock CSprite::clock = SDL_GetTicks;

void CSprite::setClock(Clock newClock)
{
    clock = newClock ? newClock : SDL_GetTicks;
}

CSprite::CSprite()
    : frameCount(0),
      current(0),
      lastTick(clock()),
      speed(20)
{
}

CSprite::CSprite(const char* baseName, unsigned count, float x, float y)
    : frameCount(count),
      current(count > 0 ? 1 : 0),
      lastTick(clock()),
      speed(20)
{
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
    if (current < 1 || current > frames.size())
        return;
    frames[current - 1]->draw(x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CSprite::addCurrent(CSpriteBatch& batch, float x, float y)
{
    if (current < 1 || current > frames.size())
        return;
    batch.add(*frames[current - 1], x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

bool CSprite::periodElapsed()
{
    if (speed == 0)
        return false;  // an infinite period: the animation stands still
    const float period = 1000.0f / static_cast<float>(speed);
    const Uint32 elapsed = clock() - lastTick;  // unsigned: right across the counter's wrap
    if (!(static_cast<double>(elapsed) > static_cast<double>(period)))
        return false;
    lastTick = clock();
    return true;
}

void CSprite::advance()
{
    if (frames.empty() || !periodElapsed())
        return;
    ++current;
    if (current > frameCount)
        current = 1;
}

void CSprite::advanceOnce()
{
    if (frames.empty() || !periodElapsed())
        return;
    if (current < frameCount)
        ++current;
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
    current = frameCount > 0 ? 1 : 0;
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
    return current;
}

void CSprite::setSpeed(unsigned framesPerSecond)
{
    speed = framesPerSecond;
}

unsigned CSprite::getSpeed() const
{
    return speed;
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
