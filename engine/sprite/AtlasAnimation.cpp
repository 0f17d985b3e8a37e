#include "engine/sprite/AtlasAnimation.h"

#include "engine/core/Log.h"
#include "engine/sprite/TextureAtlas.h"

#include <algorithm>

CAtlasAnimation::Clock CAtlasAnimation::clock = SDL_GetTicks;

void CAtlasAnimation::setClock(Clock newClock)
{
    clock = newClock ? newClock : SDL_GetTicks;
}

CAtlasAnimation::CAtlasAnimation()
    : loopFrom(0),
      current(0),
      lastTick(clock()),
      speed(20)
{
}

bool CAtlasAnimation::noFrames(const std::string& line)
{
    CLog::line(line);
    frames.clear();
    loopFrom = 0;
    current = 0;
    return false;
}

bool CAtlasAnimation::setFramesByPrefix(const CTextureAtlas& atlas, const std::string& prefix)
{
    // Numbers compare by their digits without leading zeros, length first, so that no number is
    // too long to order; equal numbers ("a1", "a01") keep the order of their names.
    struct Match {
        std::string digits;
        std::string name;
        std::size_t index;
    };
    std::vector<Match> matches;
    const std::vector<CAtlasDescriptor::Frame>& named = atlas.getDescriptor().getFrames();
    for (std::size_t i = 0; i < named.size(); ++i) {
        const std::string& name = named[i].name;
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::size_t end = prefix.size();
        while (end < name.size() && name[end] >= '0' && name[end] <= '9')
            ++end;
        if (end == prefix.size())
            continue;
        std::string digits = name.substr(prefix.size(), end - prefix.size());
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        matches.push_back(Match{digits, name, i});
    }
    if (matches.empty())
        return noFrames("No frames named " + prefix + " and a number in the atlas: " + atlas.getFileName());
    std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
        if (a.digits.size() != b.digits.size())
            return a.digits.size() < b.digits.size();
        return a.digits != b.digits ? a.digits < b.digits : a.name < b.name;
    });
    frames.clear();
    for (const Match& match : matches)
        frames.push_back(Frame{*atlas.getRegion(match.index), 0});
    loopFrom = 0;
    current = 1;
    lastTick = clock();
    return true;
}

bool CAtlasAnimation::setFramesByTag(const CTextureAtlas& atlas, const std::string& name)
{
    const CAtlasDescriptor& descriptor = atlas.getDescriptor();
    const CAtlasDescriptor::Tag* tag = descriptor.findTag(name);
    if (tag == nullptr)
        return noFrames("No frame tag " + name + " in the atlas: " + atlas.getFileName());
    std::vector<std::size_t> order;
    for (std::size_t i = tag->from; i <= tag->to; ++i)
        order.push_back(i);
    const bool reverse = tag->direction == CAtlasDescriptor::Direction::Reverse ||
                         tag->direction == CAtlasDescriptor::Direction::PingPongReverse;
    if (reverse)
        std::reverse(order.begin(), order.end());
    const bool pingPong = tag->direction == CAtlasDescriptor::Direction::PingPong ||
                          tag->direction == CAtlasDescriptor::Direction::PingPongReverse;
    loopFrom = 0;
    if (pingPong && order.size() > 1) {
        // There and back ends on the frame it began with; the loop goes on from the second.
        for (std::size_t i = order.size() - 1; i-- > 0;)
            order.push_back(order[i]);
        loopFrom = 1;
    }
    frames.clear();
    for (std::size_t index : order)
        frames.push_back(Frame{*atlas.getRegion(index), descriptor.getFrames()[index].duration});
    current = 1;
    lastTick = clock();
    return true;
}

void CAtlasAnimation::drawCurrent(float x, float y)
{
    if (current < 1 || current > frames.size())
        return;
    CTextureAtlas::draw(frames[current - 1].region, x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CAtlasAnimation::addCurrent(CSpriteBatch& batch, float x, float y)
{
    if (current < 1 || current > frames.size())
        return;
    CTextureAtlas::add(batch, frames[current - 1].region, x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

bool CAtlasAnimation::periodElapsed()
{
    const Uint32 duration = frames[current - 1].duration;
    if (duration == 0 && speed == 0)
        return false;  // an infinite period: the animation stands still
    const double period = duration != 0 ? double(duration) : 1000.0 / double(speed);
    const Uint32 elapsed = clock() - lastTick;  // unsigned: right across the counter's wrap
    if (!(double(elapsed) > period))
        return false;
    lastTick = clock();
    return true;
}

void CAtlasAnimation::advance()
{
    if (frames.empty() || !periodElapsed())
        return;
    ++current;
    if (current > frames.size())
        current = loopFrom + 1;
}

void CAtlasAnimation::advanceOnce()
{
    if (frames.empty() || !periodElapsed())
        return;
    if (current < frames.size())
        ++current;
}

void CAtlasAnimation::draw()
{
    drawCurrent(position.x, position.y);
    advance();
}

void CAtlasAnimation::draw(CVector2 pos)
{
    drawCurrent(pos.x, pos.y);
    advance();
}

void CAtlasAnimation::drawOnce()
{
    drawCurrent(position.x, position.y);
    advanceOnce();
}

void CAtlasAnimation::drawOnce(CVector2 pos)
{
    drawCurrent(pos.x, pos.y);
    advanceOnce();
}

void CAtlasAnimation::draw(CSpriteBatch& batch)
{
    addCurrent(batch, position.x, position.y);
    advance();
}

void CAtlasAnimation::draw(CSpriteBatch& batch, CVector2 pos)
{
    addCurrent(batch, pos.x, pos.y);
    advance();
}

void CAtlasAnimation::drawOnce(CSpriteBatch& batch)
{
    addCurrent(batch, position.x, position.y);
    advanceOnce();
}

void CAtlasAnimation::drawOnce(CSpriteBatch& batch, CVector2 pos)
{
    addCurrent(batch, pos.x, pos.y);
    advanceOnce();
}

void CAtlasAnimation::drawFrame(unsigned index, float x, float y)
{
    if (index >= frames.size())
        return;
    CTextureAtlas::draw(frames[index].region, x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CAtlasAnimation::rewind()
{
    current = frames.empty() ? 0 : 1;
    lastTick = clock();
}

const CAtlasRegion* CAtlasAnimation::getFrame(unsigned index) const
{
    return index < frames.size() ? &frames[index].region : nullptr;
}

unsigned CAtlasAnimation::getFrameCount() const
{
    return unsigned(frames.size());
}

unsigned CAtlasAnimation::getCurrentFrame() const
{
    return current;
}

void CAtlasAnimation::setSpeed(unsigned framesPerSecond)
{
    speed = framesPerSecond;
}

unsigned CAtlasAnimation::getSpeed() const
{
    return speed;
}

void CAtlasAnimation::setPosition(float x, float y)
{
    position = CVector2(x, y);
}

void CAtlasAnimation::setPosition(CVector2 pos)
{
    position = pos;
}

CVector2& CAtlasAnimation::getPosition()
{
    return position;
}
