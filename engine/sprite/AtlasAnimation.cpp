#include "engine/sprite/AtlasAnimation.h"

#include "engine/core/Clock.h"
#include "engine/core/Log.h"
#include "engine/sprite/TextureAtlas.h"

#include <algorithm>

CAtlasAnimation::Clock CAtlasAnimation::clock = CClock::milliseconds;

void CAtlasAnimation::setClock(Clock newClock)
{
    clock = newClock ? newClock : CClock::milliseconds;
}

CAtlasAnimation::CAtlasAnimation()
{
    timing.start(0, 0, std::vector<Uint32>(), clock());
}

bool CAtlasAnimation::noFrames(const std::string& line)
{
    CLog::line(line);
    frames.clear();
    timing.start(0, 0, std::vector<Uint32>(), clock());
    return false;
}

void CAtlasAnimation::startFrames(unsigned loopFrom)
{
    std::vector<Uint32> durations;
    for (const Frame& frame : frames)
        durations.push_back(frame.duration);
    timing.start(unsigned(frames.size()), loopFrom, durations, clock());
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
    startFrames(0);
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
    unsigned loopFrom = 0;
    if (pingPong && order.size() > 1) {
        // There and back ends on the frame it began with; the loop goes on from the second.
        for (std::size_t i = order.size() - 1; i-- > 0;)
            order.push_back(order[i]);
        loopFrom = 1;
    }
    frames.clear();
    for (std::size_t index : order)
        frames.push_back(Frame{*atlas.getRegion(index), descriptor.getFrames()[index].duration});
    startFrames(loopFrom);
    return true;
}

void CAtlasAnimation::drawCurrent(float x, float y)
{
    const unsigned current = timing.getCurrent();
    if (current < 1 || current > frames.size())
        return;
    CTextureAtlas::draw(frames[current - 1].region, x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CAtlasAnimation::addCurrent(CSpriteBatch& batch, float x, float y)
{
    const unsigned current = timing.getCurrent();
    if (current < 1 || current > frames.size())
        return;
    CTextureAtlas::add(batch, frames[current - 1].region, x, y, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CAtlasAnimation::advance()
{
    if (!frames.empty())
        timing.stepAfterDraw(true, clock);
}

void CAtlasAnimation::advanceOnce()
{
    if (!frames.empty())
        timing.stepAfterDraw(false, clock);
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
    timing.rewind();
    timing.restartTime(clock());
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
    return timing.getCurrent();
}

void CAtlasAnimation::setSpeed(unsigned framesPerSecond)
{
    timing.setSpeed(framesPerSecond);
}

unsigned CAtlasAnimation::getSpeed() const
{
    return timing.getSpeed();
}

void CAtlasAnimation::update(float seconds)
{
    if (!timing.update(seconds, true))
        CLog::line(CFrameClock::badStepLine(seconds));
}

void CAtlasAnimation::updateOnce(float seconds)
{
    if (!timing.update(seconds, false))
        CLog::line(CFrameClock::badStepLine(seconds));
}

void CAtlasAnimation::useWallClock()
{
    timing.useWallClock(clock());
}

void CAtlasAnimation::setPaused(bool paused)
{
    timing.setPaused(paused, clock());
}

bool CAtlasAnimation::isPaused() const
{
    return timing.isPaused();
}

void CAtlasAnimation::setTimeScale(float scale)
{
    if (!timing.setTimeScale(scale))
        CLog::line(CFrameClock::badScaleLine(scale));
}

float CAtlasAnimation::getTimeScale() const
{
    return timing.getTimeScale();
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
