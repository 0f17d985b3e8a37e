// The demos' own frames under bursts of real X input (XTEST), as a user with a fast mouse gives
// it: thousands of pointer moves with key presses or button clicks among them, sent while the
// frames run or while the application stalls. Every press and release must reach the application.
#include "demo/GuiDemo.h"
#include "demo/SpriteDemo.h"
#include "engine/core/Engine.h"
#include "engine/core/GameLoop.h"
#include "engine/core/Log.h"
#include "engine/core/Registry.h"
#include "engine/input/EventManager.h"
#include "engine/sprite/Sprite.h"
#include "tests/support/TestHarness.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros collide with gtest's names.
#include "tests/support/XTestInput.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// For the user's thread: until the frames run.
void waitUntil(const std::atomic<bool>& flag)
{
    while (!flag)
        usleep(1000);
}

template <typename Demo>
std::unique_ptr<Demo> started()
{
    CStdoutCapture quiet;
    quiet.start();
    std::unique_ptr<Demo> demo(new Demo());
    demo->init();
    quiet.lines();
    drainEvents();
    return demo;
}

// moves pointer moves over the window with presses Up taps spread evenly among them. The taps are
// a few milliseconds apart, as the fastest fingers' are tens of milliseconds apart: SDL 2 (under
// sdl12-compat) reads a release followed within 2 ms by a press of the same key as the keyboard's
// auto-repeat, and a burst sent all at once would arrive within one millisecond.
void upBurst(CXTestInput& input, int moves, int presses)
{
    const int every = moves / presses;
    for (int i = 0; i < moves; ++i) {
        input.move(100 + (i * 7) % 800, 100 + (i * 13) % 500);
        if (i % every == every / 2) {
            input.sync();
            usleep(5000);
            input.tap(XK_Up);
        }
    }
    input.sync();
}

}  // namespace

TEST(SpriteDemoBurst, FiveThousandMovesWithTwentyUpPressesWhileItRuns)
{
    std::unique_ptr<SpriteDemo> demo = started<SpriteDemo>();
    ASSERT_EQ(25u, demo->flame->getSpeed());
    // Without XTEST the thread below would send nothing, and the demo would wait for an Escape.
    ASSERT_TRUE(CXTestInput().ready()) << "XTEST is needed on the X server in DISPLAY";
    std::thread user([] {
        CXTestInput input;
        if (!input.ready())
            return;
        // Sent as run() starts: waiting input is taken in order (the stall case below relies on
        // it), so the Escape that follows the burst ends the demo only after every Up.
        upBurst(input, 5000, 20);
        input.tap(XK_Escape);
        input.sync();
    });
    demo->run();
    user.join();
    EXPECT_EQ(25u + 20, demo->flame->getSpeed());
    EXPECT_EQ(0, g_pEventManager->isKeyDown(SDLK_UP)) << "Up stayed held";
}

TEST(SpriteDemoBurst, AOneSecondStallWithThreeHundredMovesAndFivePresses)
{
    std::unique_ptr<SpriteDemo> demo = started<SpriteDemo>();
    CXTestInput input;
    ASSERT_TRUE(input.ready());
    upBurst(input, 300, 5);
    input.tap(XK_Escape);
    input.sync();
    SDL_Delay(1000);  // a level loading, say: nothing runs frames
    demo->run();
    EXPECT_EQ(25u + 5, demo->flame->getSpeed());
    EXPECT_EQ(0, g_pEventManager->isKeyDown(SDLK_UP));
}

namespace {

// Clicks in 16-bit stereo audio: a loud stretch after at least 10 ms of silence. SDL_mixer starts
// a sound at the beginning of its next buffer, so two clicks played within one buffer's time start
// together and add up: such a start, about twice as loud as a single click, counts as two.
int clicksHeard(const std::vector<char>& bytes, int rate)
{
    const std::size_t block = std::size_t(rate) / 500;  // 2 ms
    std::vector<int> peaks;
    int quietBlocks = 5;
    for (std::size_t start = 0; start + block * 4 <= bytes.size(); start += block * 4) {
        int loudest = 0;
        for (std::size_t i = start; i < start + block * 4; i += 4) {
            int16_t sample;
            std::memcpy(&sample, &bytes[i], 2);
            loudest = std::max(loudest, std::abs(int(sample)));
        }
        if (loudest < 300) {
            ++quietBlocks;
            continue;
        }
        if (loudest > 3000 && quietBlocks >= 5)
            peaks.push_back(0);
        if (loudest > 3000)
            quietBlocks = 0;
        if (!peaks.empty())
            peaks.back() = std::max(peaks.back(), loudest);
    }
    if (peaks.empty())
        return 0;
    const int single = *std::min_element(peaks.begin(), peaks.end());
    int count = 0;
    for (int peak : peaks)
        count += std::max(1, int(double(peak) / single + 0.5));
    return count;
}

long fileBytes(const char* path)
{
    struct stat status;
    return stat(path, &status) == 0 ? long(status.st_size) : 0;
}

}  // namespace

TEST(GuiDemoBurst, TwentyClicksAmongFiveThousandMovesAreTwentyClicksHeard)
{
    char audioPath[] = "/tmp/quarl_burst_audio_XXXXXX";
    const int audioFd = mkstemp(audioPath);
    ASSERT_GE(audioFd, 0);
    close(audioFd);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", audioPath, 1);
    // Each buffer written 5 ms after the last: the clicks are spaced in mixed audio (below), which
    // then runs faster than the clock.
    setenv("SDL_DISKAUDIODELAY", "5", 1);
    std::vector<std::string> log;
    CLog::setSink([&log](const std::string& text) { log.push_back(text); });

    int clicks = 0;
    {
        std::unique_ptr<GuiDemo> demo = started<GuiDemo>();
        // Pointer positions inside the push button (112 by 36), from the demo's own layout.
        const int left = GuiDemo::WindowLeft + GuiDemo::ButtonX + 4;
        const int top = GuiDemo::WindowTop + GuiDemo::ButtonY + 4;
        std::atomic<bool> running{false};
        std::atomic<int> seen{0};
        std::atomic<long> bytesAtClick{0};
        // Apart by 0.35 s of mixed audio, more than a click and a mixing buffer, so that each click
        // starts on its own; the file may hold back up to one stdio buffer.
        const long spacing = long(diskAudioRate(22050)) * 4 * 35 / 100 + BUFSIZ;
        std::thread user([left, top, spacing, audioPath, &running, &seen, &bytesAtClick] {
            CXTestInput input;
            if (!input.ready())
                return;
            waitUntil(running);
            for (int click = 0; click < 20; ++click) {
                for (int i = 0; i < 250; ++i)
                    input.move(left + (i * 7) % 100, top + (i * 3) % 28);
                input.button(1, true);
                input.move(left + 50, top + 14);
                input.button(1, false);
                input.sync();
                // Until the demo has acted on it and the mixer has gone on past it (a bounded wait:
                // a click never acted on fails below, in the count).
                for (int tick = 0; tick < 5000 && seen <= click; ++tick)
                    usleep(1000);
                for (int tick = 0; tick < 5000 && fileBytes(audioPath) < bytesAtClick + spacing; ++tick)
                    usleep(1000);
            }
            input.tap(XK_Escape);
            input.sync();
        });
        for (;;) {
            demo->renderFrame();
            running = true;
            if (g_pEventManager->getClickedId() == GuiDemo::PlayButtonId) {
                ++clicks;
                bytesAtClick = fileBytes(audioPath);
                seen = clicks;
            }
            if (g_pEventManager->isEventPolled() && g_pEventManager->isKeyDown(SDLK_ESCAPE))
                break;
        }
        user.join();
        EXPECT_FALSE(g_pEventManager->isLeftButtonDown());
    }  // closing the audio device writes the last buffers
    CLog::reset();
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    EXPECT_EQ(20, clicks);
    std::string joined;
    for (const std::string& piece : log)
        joined += piece;
    EXPECT_EQ(std::string::npos, joined.find("Failed to play sound")) << joined;
    std::ifstream in(audioPath, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(audioPath);
    EXPECT_EQ(20, clicksHeard(bytes, diskAudioRate(22050))) << bytes.size() << " bytes of audio";
}

TEST(GameLoopFlood, EscapeUnderAHundredEventsASecondAtFourFramesASecondActsWithinASecond)
{
    CStdoutCapture quiet;
    quiet.start();
    CEngine engine;
    engine.setVideoMode(640, 480, 24, false, true);
    engine.setFrameCap(4);
    quiet.lines();
    drainEvents();
    ASSERT_TRUE(CXTestInput().ready()) << "XTEST is needed on the X server in DISPLAY";

    using Clock = std::chrono::steady_clock;
    const int taps = 150;
    std::atomic<Clock::rep> escapeSent{0};
    std::atomic<bool> running{false};
    std::thread user([&escapeSent, &running] {
        CXTestInput input;
        waitUntil(running);
        // A press, a release and two pointer moves every 40 ms: 100 events a second for 6 s.
        for (int i = 0; i < taps; ++i) {
            input.move(100 + (i * 7) % 400, 100 + (i * 13) % 300);
            input.tap(XK_a);
            input.move(120 + (i * 3) % 400, 110);
            input.sync();
            usleep(40000);
        }
        escapeSent = Clock::now().time_since_epoch().count();
        input.tap(XK_Escape);
        input.sync();
    });
    int presses = 0;
    std::string typed;
    auto read = [&](float) {
        running = true;
        SDL_Event event;
        while (g_pEventManager->pollEvent(event))
            presses += event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_a;
        typed += g_pEventManager->getText();
    };
    CGameLoop loop(engine);
    loop.run(read, nullptr);
    const double lag =
        std::chrono::duration<double>(Clock::now().time_since_epoch() - Clock::duration(escapeSent.load()))
            .count();
    read(0.0f);  // what the last frame brought besides the Escape
    user.join();
    engine.setFrameCap(0);
    EXPECT_LT(lag, 1.0) << "Escape acted upon " << lag << " s after it was pressed";
    EXPECT_EQ(taps, presses);
    EXPECT_EQ(std::string(taps, 'a'), typed);
    EXPECT_EQ(0, g_pEventManager->isKeyDown(SDLK_a));
}

namespace {

// taps letter taps, cycling through a to z so that a letter's release and its next press are far
// apart (see upBurst), with an Escape tapped after the first half; answers the letters typed.
std::string letterFlood(CXTestInput& input, int taps)
{
    std::string letters;
    for (int i = 0; i < taps; ++i) {
        if (i == taps / 2)
            input.tap(XK_Escape);
        input.tap(XK_a + i % 26);
        letters += char('a' + i % 26);
        if (i % 26 == 25) {
            input.sync();
            usleep(5000);
        }
    }
    input.sync();
    return letters;
}

// What the demos test after each frame: a new event, then Escape in the key table.
bool escapeActedOn()
{
    return g_pEventManager->isEventPolled() && g_pEventManager->isKeyDown(SDLK_ESCAPE) != 0;
}

}  // namespace

TEST(SpriteDemoBurst, AnEscapeTappedAmidAFloodBeyondTheBoundIsActedOn)
{
    std::unique_ptr<SpriteDemo> demo = started<SpriteDemo>();
    CXTestInput input;
    ASSERT_TRUE(input.ready());
    // Twice the bound in taps, all waiting before the first frame: the Escape among them lies
    // beyond the bound, where a press and its release used to pass the key table unseen.
    const int taps = 2 * int(CEventManager::kMaxWaiting);
    const std::string sent = letterFlood(input, taps);
    const std::size_t events = std::size_t(2 * taps + 2);  // the taps and the Escape
    for (int tick = 0; tick < 250 && g_pEventManager->waitingCount() < events; ++tick) {
        SDL_Delay(20);
        SDL_PumpEvents();
    }
    // Run alone, the window's first focus adds events of its own.
    ASSERT_GE(g_pEventManager->waitingCount(), events);
    std::string typed;
    bool acted = false;
    int frames = 0;
    // The frames run() would run, until Escape ends them or nothing is left to hand out.
    for (;;) {
        demo->renderFrame();
        ++frames;
        typed += g_pEventManager->getText();
        if (escapeActedOn()) {
            acted = true;
            break;
        }
        if (!g_pEventManager->isEventPolled())
            break;
    }
    EXPECT_TRUE(acted) << "Escape was not acted on in " << frames << " frames";
    EXPECT_EQ(1, frames) << "the Escape lay beyond the bound, in the first frame's events";
    while (g_pEventManager->waitingCount() > 0) {
        demo->renderFrame();
        typed += g_pEventManager->getText();
    }
    EXPECT_EQ(sent, typed) << "every press, in order";
    EXPECT_EQ(0, g_pEventManager->isKeyDown(SDLK_ESCAPE));
    EXPECT_EQ(0, g_pEventManager->isKeyDown(SDLK_a));
}

TEST(OneEventFlood, AnEscapeTappedAmidAFloodIsActedOnEveryRun)
{
    CStdoutCapture quiet;
    quiet.start();
    CEngine engine;  // this file's programs each have an engine of their own
    engine.setVideoMode(640, 480, 24, false, true);
    quiet.lines();
    drainEvents();
    g_pEventManager->update();
    ASSERT_TRUE(CXTestInput().ready()) << "XTEST is needed on the X server in DISPLAY";
    for (int run = 0; run < 3; ++run) {
        std::atomic<bool> running{false};
        std::atomic<bool> sent{false};
        std::string letters;
        std::thread user([&running, &sent, &letters] {
            CXTestInput input;
            waitUntil(running);
            letters = letterFlood(input, 3 * int(CEventManager::kMaxWaiting));
            sent = true;
        });
        // One event per update, as the sprite and GUI demos take them, while the flood arrives.
        std::string typed;
        bool acted = false;
        for (int quietFrames = 0; quietFrames < 40;) {
            g_pEventManager->update();
            running = true;
            typed += g_pEventManager->getText();
            acted = acted || escapeActedOn();
            const bool idle = sent && !g_pEventManager->isEventPolled();
            quietFrames = idle ? quietFrames + 1 : 0;
            SDL_Delay(5);  // a frame's work: the flood outruns the updates
        }
        user.join();
        EXPECT_TRUE(acted) << "run " << run;
        EXPECT_EQ(letters, typed) << "run " << run;
        EXPECT_EQ(0, g_pEventManager->isKeyDown(SDLK_ESCAPE));
    }
}
