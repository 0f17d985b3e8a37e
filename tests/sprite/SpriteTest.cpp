// The sprite's frame files, its two stepping rules and its failures, drawn in the real window and
// read back. Time comes from a fake clock, so no test waits for the animation.
#include "engine/sprite/Sprite.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/sprite/SpriteBatch.h"
#include "engine/texture/Texture.h"
#include "tests/support/TestHarness.h"

#include <GL/glew.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

Uint32 fakeNow = 0;

Uint32 fakeClock()
{
    return fakeNow;
}

const float kX = 100.0f;
const float kY = 60.0f;

class Sprite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sharedEngine();
        dir = makeTempDir();
        // One solid colour per frame tells from a single pixel which frame was drawn.
        writeSolidPng(dir + "/rgb1.png", 8, 8, "#ff0000");
        writeSolidPng(dir + "/rgb2.png", 8, 8, "#00ff00");
        writeSolidPng(dir + "/rgb3.png", 8, 8, "#0000ff");
    }

    void SetUp() override
    {
        g_pGraphicsCore->set2DState();
        fakeNow = 1000;
        CSprite::setClock(fakeClock);
    }
    void TearDown() override
    {
        CSprite::setClock(SDL_GetTicks);
    }

    static std::unique_ptr<CSprite> load(const std::string& base, unsigned count)
    {
        CStdoutCapture quiet;
        quiet.start();
        std::unique_ptr<CSprite> sprite(new CSprite(base.c_str(), count, kX, kY));
        quiet.lines();
        return sprite;
    }
    static std::unique_ptr<CSprite> rgb(unsigned count)
    {
        return load(dir + "/rgb", count);
    }

    // 1 red, 2 green, 3 blue, 0 nothing drawn, -1 anything else.
    static int frameAt(int x, int y)
    {
        const Rgba p = readPixel(x, y);
        if (p.r > 200 && p.g < 50 && p.b < 50)
            return 1;
        if (p.r < 50 && p.g > 200 && p.b < 50)
            return 2;
        if (p.r < 50 && p.g < 50 && p.b > 200)
            return 3;
        if (p.r == 0 && p.g == 0 && p.b == 0)
            return 0;
        return -1;
    }

    // Clears, runs the draw with the clock at now, and names the frame left at (x, y)'s 8 by 8 square.
    template <typename Draw>
    static int shown(Uint32 now, Draw draw, float x = kX, float y = kY)
    {
        fakeNow = now;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        draw();
        EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
        return frameAt(int(x) + 4, int(y) + 4);
    }
    static int looped(CSprite& sprite, Uint32 now)
    {
        return shown(now, [&] { sprite.draw(); });
    }
    static int once(CSprite& sprite, Uint32 now)
    {
        return shown(now, [&] { sprite.drawOnce(); });
    }

    static std::string dir;
};

std::string Sprite::dir;

}  // namespace

// Loading

TEST_F(Sprite, ReadsBaseOneToBaseNInOrderWithoutLeadingZeros)
{
    CStdoutCapture capture;
    capture.start();
    CSprite sprite((dir + "/rgb").c_str(), 11, kX, kY);
    std::vector<std::string> loading;
    for (const std::string& line : capture.lines())
        if (line.rfind("Loading Texture: ", 0) == 0)
            loading.push_back(line);

    ASSERT_EQ(11u, loading.size());
    for (unsigned i = 0; i < 11; ++i)
        EXPECT_EQ("Loading Texture: " + dir + "/rgb" + std::to_string(i + 1) + ".png", loading[i]);
    // Frames 4 to 11 have no file and keep their places, unloaded.
    EXPECT_EQ(11u, sprite.getFrameCount());
    EXPECT_TRUE(sprite.getFrame(2)->isLoaded());
    ASSERT_NE(nullptr, sprite.getFrame(10));
    EXPECT_FALSE(sprite.getFrame(10)->isLoaded());
}

TEST_F(Sprite, AMissingMiddleFrameDrawsNothingWhileTheOthersAnimate)
{
    const std::string gap = makeTempDir() + "/gap";
    writeSolidPng(gap + "1.png", 8, 8, "#ff0000");
    writeSolidPng(gap + "3.png", 8, 8, "#0000ff");
    std::unique_ptr<CSprite> sprite = load(gap, 3);
    ASSERT_FALSE(sprite->getFrame(1)->isLoaded());

    sprite->setSpeed(25);
    EXPECT_EQ(1, looped(*sprite, 1041));
    EXPECT_EQ(0, looped(*sprite, 1082));
    EXPECT_EQ(3, looped(*sprite, 1123));
    EXPECT_EQ(1, looped(*sprite, 1164));
}

// Timing

TEST_F(Sprite, ChangesFrameOnlyAfterMoreThanOnePeriod)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(25);  // 40 ms
    EXPECT_EQ(1, looped(*sprite, 1040));
    EXPECT_EQ(1, looped(*sprite, 1040));
    EXPECT_EQ(1, looped(*sprite, 1041));
    // The change is timed from the draw that made it, not from the one before.
    EXPECT_EQ(2, looped(*sprite, 1081));
    EXPECT_EQ(2, looped(*sprite, 1082));
    EXPECT_EQ(3, looped(*sprite, 1082));

    // A period of 333.33 ms: 333 ms is not enough, 334 is.
    fakeNow = 1000;
    std::unique_ptr<CSprite> slow = rgb(3);
    slow->setSpeed(3);
    EXPECT_EQ(1, looped(*slow, 1333));
    EXPECT_EQ(1, looped(*slow, 1333));
    EXPECT_EQ(1, looped(*slow, 1334));
    EXPECT_EQ(2, looped(*slow, 1334));
}

TEST_F(Sprite, LateDrawsStepOneFrameNotCatchingUp)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    EXPECT_EQ(1, looped(*sprite, 11000));
    EXPECT_EQ(2, looped(*sprite, 11000));
    EXPECT_EQ(2u, sprite->getCurrentFrame());
}

TEST_F(Sprite, TheTickCounterWrappingDoesNotStallTheAnimation)
{
    fakeNow = 0xFFFFFFF0u;
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(25);
    EXPECT_EQ(1, looped(*sprite, 0x18));  // 40 ms after construction, across the wrap
    EXPECT_EQ(1, looped(*sprite, 0x20));
    EXPECT_EQ(2, looped(*sprite, 0x20));
}

TEST_F(Sprite, SpeedZeroFreezesAndAPositiveSpeedResumesAtOnce)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(25);
    looped(*sprite, 1041);
    sprite->setSpeed(0);
    EXPECT_EQ(2, looped(*sprite, 5000));
    EXPECT_EQ(2, looped(*sprite, 900000));
    // lastTick stayed at 1041, so the first draw at the new speed already steps.
    sprite->setSpeed(25);
    EXPECT_EQ(2, looped(*sprite, 900000));
    EXPECT_EQ(3, looped(*sprite, 900000));
}

// Stepping rules

TEST_F(Sprite, LoopingComesBackToTheFirstFrame)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(25);
    std::vector<int> frames;
    for (Uint32 t = 1041; t < 1041 + 5 * 41; t += 41)
        frames.push_back(looped(*sprite, t));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 1, 2}), frames);

    std::unique_ptr<CSprite> single = rgb(1);
    for (Uint32 t = 2000; t < 2000 + 4 * 100; t += 100)
        EXPECT_EQ(1, looped(*single, t)) << "at " << t;
    EXPECT_EQ(1u, single->getCurrentFrame());
}

TEST_F(Sprite, OnceStopsOnTheLastFrameUntilRewound)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(25);
    std::vector<int> frames;
    for (Uint32 t = 1041; t < 1041 + 5 * 41; t += 41)
        frames.push_back(once(*sprite, t));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 3, 3}), frames);

    // Draws on the last frame still restart the period (last at 1205); rewind leaves it alone.
    fakeNow = 1230;
    sprite->rewind();
    EXPECT_EQ(1, once(*sprite, 1245));
    EXPECT_EQ(1, once(*sprite, 1245));
    EXPECT_EQ(1, once(*sprite, 1246));
    EXPECT_EQ(2, once(*sprite, 1246));
}

// Single frames

TEST_F(Sprite, DrawFrameShowsTheIndexWhateverIsCurrentAndLeavesTheTiming)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(25);
    looped(*sprite, 1041);
    looped(*sprite, 1082);  // current 3, last change at 1082

    EXPECT_EQ(1, shown(
                     2000, [&] { sprite->drawFrame(0, 300, 200); }, 300, 200));
    EXPECT_EQ(2, shown(
                     2000, [&] { sprite->drawFrame(1, CVector2(40, 30)); }, 40, 30));
    EXPECT_EQ(1, shown(2000, [&] { sprite->drawFrame(0); }));
    EXPECT_EQ(3u, sprite->getCurrentFrame());
    // Still due since 1082: the single-frame draws did not restart the period.
    EXPECT_EQ(3, looped(*sprite, 2000));
    EXPECT_EQ(1, looped(*sprite, 2000));
}

// Nothing to draw

TEST_F(Sprite, NoFramesOrAnIndexOutsideThemDrawNothing)
{
    CSprite empty;
    EXPECT_EQ(0, shown(
                     5000, [&] { empty.draw(); }, 0, 0));
    EXPECT_EQ(0, shown(
                     9000, [&] { empty.drawOnce(); }, 0, 0));
    EXPECT_EQ(0, shown(
                     9000, [&] { empty.drawFrame(0); }, 0, 0));

    // Asked for no frames, there is no current one either, before a draw and after a rewind.
    CSprite none("no-such-base", 0, 10.0f, 20.0f);
    EXPECT_EQ(0u, none.getCurrentFrame());
    EXPECT_EQ(0, shown(
                     5000, [&] { none.draw(); }, 0, 0));
    none.rewind();
    EXPECT_EQ(0u, none.getCurrentFrame());
    EXPECT_EQ(0u, none.getFrameCount());

    std::unique_ptr<CSprite> sprite = rgb(3);
    EXPECT_EQ(0, shown(1000, [&] { sprite->drawFrame(3); }));
    EXPECT_EQ(0, shown(1000, [&] { sprite->drawFrame(0xFFFFFFFFu, kX, kY); }));
    EXPECT_EQ(nullptr, sprite->getFrame(3));
}

// Into a batch

TEST_F(Sprite, AddingToABatchShowsAndStepsLikeDrawing)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(25);
    CSpriteBatch batch;
    auto batched = [&](Uint32 now, bool once, CVector2* at = nullptr) {
        return shown(
            now,
            [&] {
                batch.begin();
                if (at != nullptr)
                    once ? sprite->drawOnce(batch, *at) : sprite->draw(batch, *at);
                else
                    once ? sprite->drawOnce(batch) : sprite->draw(batch);
                batch.end();
            },
            at ? at->x : kX, at ? at->y : kY);
    };
    std::vector<int> frames;
    for (Uint32 t = 1041; t < 1041 + 5 * 41; t += 41)
        frames.push_back(batched(t, false));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 1, 2}), frames);
    // Not yet a period since the last change: the frame stays.
    EXPECT_EQ(3, batched(1206, false));
    EXPECT_EQ(3, batched(1206, false));

    CVector2 elsewhere(300.0f, 200.0f);
    sprite->rewind();
    frames.clear();
    for (Uint32 t = 2000; t < 2000 + 4 * 41; t += 41)
        frames.push_back(batched(t, true, &elsewhere));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 3}), frames);
    EXPECT_EQ(1u, batch.getQuadCount());

    // A sprite without frames adds nothing.
    CSprite empty;
    batch.begin();
    empty.draw(batch);
    empty.drawOnce(batch);
    EXPECT_EQ(0u, batch.getQuadCount());
    batch.end();
}

// Game time

// At speed 10 a frame lasts 100 ms; sixty updates of 1/60 s are a second: exactly ten changes, one
// after every sixth update, whatever the wall clock does meanwhile, and draws only draw.
TEST_F(Sprite, OnGameTimeFixedStepsGiveExactFramesAndDrawsOnlyDraw)
{
    std::unique_ptr<CSprite> sprite = rgb(3);
    sprite->setSpeed(10);
    std::vector<int> changedAt;
    for (int i = 1; i <= 60; ++i) {
        const unsigned before = sprite->getCurrentFrame();
        sprite->update(1.0f / 60);
        if (sprite->getCurrentFrame() != before)
            changedAt.push_back(i);
        EXPECT_EQ(int(sprite->getCurrentFrame()), looped(*sprite, 1000 + 1000 * i)) << "update " << i;
    }
    EXPECT_EQ((std::vector<int>{6, 12, 18, 24, 30, 36, 42, 48, 54, 60}), changedAt);
    // Ten steps from red: 1 + 10 mod 3 = green.
    EXPECT_EQ(2, looped(*sprite, 900000));
    // Played once, it climbs to blue and stays.
    sprite->rewind();
    sprite->updateOnce(10.0f);
    EXPECT_EQ(3, once(*sprite, 900001));
    // Back on the wall clock, the draws step again: one change more than 50 ms after the switch.
    sprite->rewind();
    sprite->setSpeed(20);
    fakeNow = 5000;
    sprite->useWallClock();
    EXPECT_EQ(1, looped(*sprite, 5050));
    EXPECT_EQ(1, looped(*sprite, 5051));
    EXPECT_EQ(2, looped(*sprite, 5052));
}

TEST_F(Sprite, APausedSpriteKeepsItsFrameAndTwiceTheSpeedGivesTwiceTheFrames)
{
    std::unique_ptr<CSprite> normal = rgb(3), fast = rgb(3);
    normal->setSpeed(10);
    fast->setSpeed(10);
    fast->setTimeScale(2);
    int normalChanges = 0, fastChanges = 0;
    for (int i = 0; i < 60; ++i) {
        const unsigned a = normal->getCurrentFrame(), b = fast->getCurrentFrame();
        normal->update(1.0f / 60);
        fast->update(1.0f / 60);
        normalChanges += normal->getCurrentFrame() != a;
        fastChanges += fast->getCurrentFrame() != b;
    }
    EXPECT_EQ(10, normalChanges);
    EXPECT_EQ(20, fastChanges);

    // Paused on game time: neither updates nor draws change the frame, on screen or off.
    const int frame = looped(*normal, 2000);
    normal->setPaused(true);
    for (int i = 0; i < 5; ++i) {
        normal->update(1.0f);
        EXPECT_EQ(frame, looped(*normal, 3000 + 1000 * i));
    }
    normal->setPaused(false);
    normal->update(0.1f);
    EXPECT_EQ(frame % 3 + 1, looped(*normal, 9000));

    // On the wall clock at speed 20 (50 ms): paused, late draws keep the frame; resumed, the pause
    // does not count; at twice the time scale 26 ms is enough (52 > 50) and 25 is not.
    std::unique_ptr<CSprite> wall = rgb(3);
    fakeNow = 1000;
    wall->setPaused(true);
    EXPECT_EQ(1, looped(*wall, 2000));
    EXPECT_EQ(1, looped(*wall, 3000));
    wall->setPaused(false);
    EXPECT_EQ(1, looped(*wall, 3050));
    EXPECT_EQ(1, looped(*wall, 3051));
    EXPECT_EQ(2, looped(*wall, 3051));
    wall->setTimeScale(2);
    EXPECT_EQ(2, looped(*wall, 3076));
    EXPECT_EQ(2, looped(*wall, 3077));
    EXPECT_EQ(3, looped(*wall, 3077));

    // A step or scale that makes no sense writes a line and changes nothing.
    CStdoutCapture capture;
    capture.start();
    wall->update(-1.0f);
    wall->setTimeScale(-2.0f);
    const std::vector<std::string> lines = capture.lines();
    EXPECT_EQ(
        (std::vector<std::string>{"Ignored an animation step of -1 seconds: not a finite time of at least 0",
                                  "Ignored an animation time scale of -2: not a finite number of at least 0"}),
        lines);
    EXPECT_EQ(2.0f, wall->getTimeScale());
    EXPECT_EQ(3, looped(*wall, 3078));  // still on the wall clock
}
