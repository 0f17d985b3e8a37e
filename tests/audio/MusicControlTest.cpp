// The music as a game steers it: pause, position, seek, loop point, end notice, fades and the
// cross-fade, heard in what SDL's disk driver received (chosen in SoundManagerTest.cpp). The tracks
// are tests/data/audio/segments.{flac,wav}, written by tools/make_audio.py: half a second each of
// 441, 882 and 1323 Hz.
#include "engine/audio/Music.h"
#include "engine/audio/SoundManager.h"
#include "engine/core/Registry.h"
#include "tests/audio/AudioTestSupport.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace audio_test;
using testing_support::CStdoutCapture;

namespace {

using MusicControl = AudioTest;

const char* const kSegmentsFlac = "tests/data/audio/segments.flac";
const char* const kSegmentsWav = "tests/data/audio/segments.wav";
const double kSegmentFrequencies[] = {441.0, 882.0, 1323.0};

// Which of the three tones is loudest in the window from start: 0, 1, 2, or -1 for none.
int segmentHeard(const std::vector<int16_t>& samples, size_t start)
{
    int loudest = -1;
    double level = 1000.0;
    for (int i = 0; i < 3; ++i) {
        const double amplitude = amplitudeAt(samples, start, kSegmentFrequencies[i]);
        if (amplitude > level) {
            level = amplitude;
            loudest = i;
        }
    }
    return loudest;
}

// Runs the manager's update() as a game's frames would, until the condition holds (at most 5 s).
template <typename Condition>
bool updateUntil(CSoundManager* manager, Condition condition, int frames = 1000)
{
    for (int frame = 0; frame < frames; ++frame) {
        manager->update();
        if (condition())
            return true;
        SDL_Delay(5);
    }
    return false;
}

std::vector<double> windowsOf(const std::vector<int16_t>& samples, double frequency)
{
    std::vector<double> levels;
    for (size_t start = 0; start + window() <= samples.size(); start += window())
        levels.push_back(amplitudeAt(samples, start, frequency));
    return levels;
}

}  // namespace

TEST_F(MusicControl, PauseSilencesTheMusicAndResumeGoesOnWhereItStopped)
{
    CMusic* track = new CMusic(kSegmentsWav);
    ASSERT_TRUE(track->isLoaded());
    track->play(0);
    EXPECT_EQ(track, manager->getPlayingMusic());
    // Into the second tone: the position counts whole 4096-frame chunks, 0.186 s each.
    ASSERT_TRUE(updateUntil(manager, [&] { return manager->getMusicPosition() >= 0.6; }));
    manager->pauseMusic();
    EXPECT_TRUE(manager->isMusicPaused());
    EXPECT_TRUE(manager->isCategoryPaused("music"));
    const double pausedAt = manager->getMusicPosition();
    ASSERT_LT(pausedAt, 0.95);
    waitForSilence();
    const std::vector<int16_t> quiet = recordFrom(outputSize(), framesCovering(0.3));
    ASSERT_FALSE(quiet.empty());
    EXPECT_EQ(quiet.size(), firstLoud(quiet)) << "paused music is silent";
    EXPECT_DOUBLE_EQ(pausedAt, manager->getMusicPosition());

    const uint64_t offset = outputSize();
    manager->resumeMusic();
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.3));
    const size_t start = firstLoud(heard);
    ASSERT_LT(start, heard.size());
    EXPECT_EQ(1, segmentHeard(heard, start + 10)) << "the second tone, not the first again";
}

TEST_F(MusicControl, PausingTheMusicCategoryAlsoHoldsATrackStartedMeanwhile)
{
    CMusic* track = new CMusic(kSegmentsWav);
    manager->pauseCategory("music");
    track->play(-1);
    EXPECT_TRUE(manager->isMusicPaused());
    waitForSilence();
    const std::vector<int16_t> quiet = recordFrom(outputSize(), framesCovering(0.3));
    ASSERT_FALSE(quiet.empty());
    EXPECT_EQ(quiet.size(), firstLoud(quiet));
    EXPECT_DOUBLE_EQ(0.0, manager->getMusicPosition());
    const uint64_t offset = outputSize();
    manager->resumeCategory("music");
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.3));
    EXPECT_EQ(0, segmentHeard(heard, firstLoud(heard) + 10));
}

TEST_F(MusicControl, SeekingAFlacTrackPlaysFromThatTime)
{
    CMusic* track = new CMusic(kSegmentsFlac);
    ASSERT_TRUE(track->isLoaded());
    manager->pauseMusic();  // so that nothing from the start is heard before the seek
    track->play(0);
    ASSERT_TRUE(manager->setMusicPosition(1.1));
    EXPECT_NEAR(1.1, manager->getMusicPosition(), 1e-6);
    waitForSilence();
    const uint64_t offset = outputSize();
    manager->resumeMusic();
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.4));
    const size_t start = firstLoud(heard);
    ASSERT_LT(start, heard.size());
    EXPECT_EQ(2, segmentHeard(heard, start + 10));
    // Only 0.4 s were left: the track ends well within the recording.
    EXPECT_TRUE(updateUntil(manager, [&] { return manager->hasMusicEnded(); }));
}

TEST_F(MusicControl, SeekingWhereTheMixerCannotWritesTheFailureAndItsReason)
{
    CMusic* track = new CMusic(kSegmentsWav);
    track->play(-1);
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(manager->setMusicPosition(1.0));
    manager->haltMusic();
    EXPECT_FALSE(manager->setMusicPosition(1.0));
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("Failed to seek music " + std::string(kSegmentsWav), lines[0]);
    EXPECT_EQ("Error: Position not implemented for music type", lines[1]);
    EXPECT_EQ("Failed to seek music ", lines[2]);
    EXPECT_EQ("Error: Music isn't playing", lines[3]);
}

TEST_F(MusicControl, AFlacTheMixerCannotPlayIsRefusedAtLoading)
{
    // Loaded, it would play nothing, and a seek in it hangs the mixer's thread.
    const std::string name = "tests/data/audio/mono.flac";
    CStdoutCapture capture;
    capture.start();
    CMusic* track = new CMusic(name);
    EXPECT_EQ((std::vector<std::string>{"Failed to load music " + name,
                                        "Error: SDL_mixer 1.2 plays only 16-bit stereo FLAC files"}),
              capture.lines());
    EXPECT_FALSE(track->isLoaded());
    EXPECT_EQ(0u, manager->getMusicCount());
    track->play(0);
    EXPECT_EQ(0, Mix_PlayingMusic());
    delete track;
}

TEST_F(MusicControl, ARepeatRestartsAtTheLoopPoint)
{
    CMusic* track = new CMusic(kSegmentsFlac);
    track->setLoopPoint(1.0);
    EXPECT_DOUBLE_EQ(1.0, track->getLoopPoint());
    waitForSilence();
    const uint64_t offset = outputSize();
    track->play(1);  // once more, from the third tone
    ASSERT_TRUE(updateUntil(manager, [&] { return manager->hasMusicEnded(); }));
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(3.0));
    // What sounded: the three tones, then the third again; a frame of silence may come between.
    std::vector<int> order;
    for (size_t start = firstLoud(heard); start + window() <= heard.size(); start += window() / 2) {
        const int segment = segmentHeard(heard, start);
        if (segment >= 0 && (order.empty() || order.back() != segment))
            order.push_back(segment);
    }
    EXPECT_EQ((std::vector<int>{0, 1, 2}),
              std::vector<int>(order.begin(), order.begin() + std::min<size_t>(3, order.size())));
    size_t loud = 0;
    for (int16_t sample : heard)
        loud += std::abs(int(sample)) > 200 ? 1 : 0;
    // 1.5 s and 0.5 s; near its zero crossings a sine of 8000 stays below 200 for a fraction
    // 2 asin(200 / 8000) / pi of the time.
    const double seconds = double(loud) / outputRate() / (1.0 - 2.0 / kPi * std::asin(200.0 / 8000.0));
    EXPECT_NEAR(2.0, seconds, 0.15) << "a repeat from the start would make 3 s";
    EXPECT_EQ(nullptr, manager->getPlayingMusic());
}

TEST_F(MusicControl, TheEndIsToldOnceByFlagAndCallbackButAHaltIsNoEnd)
{
    CMusic* track = new CMusic(sine(441, 0.2));
    std::vector<CMusic*> ended;
    manager->setMusicEndCallback([&](CMusic* which) { ended.push_back(which); });
    track->play(0);
    ASSERT_TRUE(updateUntil(manager, [&] { return !ended.empty(); }));
    EXPECT_EQ(std::vector<CMusic*>{track}, ended);
    EXPECT_TRUE(manager->hasMusicEnded());
    EXPECT_FALSE(manager->hasMusicEnded());

    track->play(-1);
    manager->haltMusic();
    // A quarter of a second of frames: far longer than the 0.2 s track would have needed.
    EXPECT_FALSE(updateUntil(
        manager, [&] { return ended.size() > 1 || manager->hasMusicEnded(); }, 50));
}

TEST_F(MusicControl, AMusicFadeInRisesAndAFadeOutFallsToTheEnd)
{
    CMusic* track = new CMusic(sine(441, 1.0));
    const uint64_t offset = outputSize();
    track->fadeIn(1000, -1);
    const std::vector<int16_t> rising = recordFrom(offset, framesCovering(1.5));
    const std::vector<double> up = windowsOf(rising, 441);
    const size_t first = firstLoud(rising, 20) / window();
    ASSERT_LT(first + 4, up.size());
    EXPECT_LT(up[first + 1], 6000.0);
    EXPECT_NEAR(8000.0, up.back(), 200.0);
    bool between = false;
    for (double level : up)
        between = between || (level > 1000.0 && level < 6500.0);
    EXPECT_TRUE(between);

    const uint64_t fadeStart = outputSize();
    manager->fadeOutMusic(1000);
    ASSERT_TRUE(updateUntil(manager, [&] { return manager->hasMusicEnded(); }));
    const std::vector<double> down = windowsOf(recordFrom(fadeStart, framesCovering(1.5)), 441);
    between = false;
    for (double level : down)
        between = between || (level > 1000.0 && level < 6500.0);
    EXPECT_TRUE(between);
    EXPECT_NEAR(0.0, down.back(), 50.0);
}

TEST_F(MusicControl, ACrossFadeIsAFadeOutThenAFadeInNeverBothAtOnce)
{
    CMusic* first = new CMusic(sine(441, 1.0));
    CMusic* second = new CMusic(sine(882, 1.0));
    first->play(-1);
    recordFrom(outputSize(), 2 * 4096);
    const uint64_t offset = outputSize();
    manager->crossFadeMusic(second, 1200, -1);
    EXPECT_EQ(first, manager->getPlayingMusic()) << "until its fade ends";
    ASSERT_TRUE(updateUntil(manager, [&] { return manager->getPlayingMusic() == second; }));
    EXPECT_FALSE(manager->hasMusicEnded()) << "the first half of a cross-fade is no end";
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(2.0));
    const std::vector<double> low = windowsOf(heard, 441);
    const std::vector<double> high = windowsOf(heard, 882);
    size_t lastLow = 0, firstHigh = low.size();
    bool lowBetween = false, highBetween = false;
    for (size_t i = 0; i < low.size(); ++i) {
        if (low[i] > 500.0)
            lastLow = i;
        if (high[i] > 500.0 && firstHigh == low.size())
            firstHigh = i;
        lowBetween = lowBetween || (low[i] > 1000.0 && low[i] < 6500.0);
        highBetween = highBetween || (high[i] > 1000.0 && high[i] < 6500.0);
    }
    EXPECT_LT(lastLow, firstHigh);
    EXPECT_TRUE(lowBetween);
    EXPECT_TRUE(highBetween);
    EXPECT_NEAR(8000.0, high.back(), 200.0);
}

TEST_F(MusicControl, TheMusicCategoryAndTheMasterScaleTheMusicVolume)
{
    CMusic* track = new CMusic(sine(441, 1.0));
    manager->setCategoryVolume("music", 0.5f);
    manager->setMasterVolume(0.5f);
    const uint64_t offset = outputSize();
    track->play(-1);
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.5));
    EXPECT_NEAR(2000.0, amplitudeAt(heard, firstLoud(heard, 100) + 10, 441), 150.0);
    EXPECT_EQ(MIX_MAX_VOLUME, manager->getMusicVolume());
}

TEST_F(MusicControl, FadingOutPausedMusicEndsItAtOnce)
{
    CMusic* track = new CMusic(sine(441, 1.0));
    track->play(-1);
    manager->pauseMusic();
    manager->fadeOutMusic(1000);  // a paused stream is never mixed, so its fade would never end
    EXPECT_TRUE(updateUntil(
        manager, [&] { return manager->hasMusicEnded(); }, 50));
    EXPECT_EQ(nullptr, manager->getPlayingMusic());
}
