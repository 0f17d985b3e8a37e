// Sound effects and music tracks: loading, registering themselves, what the device then outputs
// (read back from SDL's disk driver, chosen in SoundManagerTest.cpp) and their failures.
#include "engine/audio/Sound.h"
#include "engine/audio/Music.h"
#include "engine/audio/SoundManager.h"
#include "engine/core/Registry.h"
#include "tests/audio/AudioTestSupport.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace audio_test;
using testing_support::CStdoutCapture;

namespace {

using Sound = AudioTest;
using Music = AudioTest;

// What the device outputs once the play has reached it: window()-sample analyses start here.
struct Heard {
    std::vector<int16_t> samples;
    size_t start;
};

Heard listenFrom(uint64_t offset, double seconds)
{
    Heard heard{recordFrom(offset, framesCovering(seconds)), 0};
    heard.start = firstLoud(heard.samples);
    return heard;
}

// The number of loud samples from the first to the last one: how long the output sounded.
size_t loudSpan(const std::vector<int16_t>& samples)
{
    const size_t first = firstLoud(samples);
    size_t last = first;
    for (size_t i = first; i < samples.size(); ++i)
        if (std::abs(int(samples[i])) > 200)
            last = i;
    return first < samples.size() ? last - first + 1 : 0;
}

std::string writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
    return path;
}

// A failed load writes its line, then SDL_mixer's reason on a second one; returns that reason.
std::string failureReason(const std::string& firstLine, const std::vector<std::string>& lines)
{
    EXPECT_EQ(2u, lines.size());
    if (lines.size() != 2)
        return std::string();
    EXPECT_EQ(firstLine, lines[0]);
    EXPECT_EQ(0u, lines[1].rfind("Error: ", 0)) << lines[1];
    EXPECT_LT(std::string("Error: ").size(), lines[1].size());
    return lines[1];
}

}  // namespace

// --- Sound effects: loading and registering -----------------------------------------------------

TEST_F(Sound, ALoadedSoundRegistersItselfAndIsHeardAtItsFrequency)
{
    CStdoutCapture capture;
    capture.start();
    CSound* sound = new CSound(sine(441, 0.5));
    EXPECT_TRUE(capture.lines().empty());
    ASSERT_NE(nullptr, sound->chunk);
    EXPECT_TRUE(sound->isLoaded());
    EXPECT_EQ(sine(441, 0.5), sound->fileName);
    ASSERT_EQ(1u, manager->getSoundCount());
    EXPECT_EQ(sound, manager->getSound(0));

    const uint64_t offset = outputSize();
    sound->play(0);
    const Heard heard = listenFrom(offset, 0.5);
    ASSERT_LT(heard.start, heard.samples.size()) << "the sound never reached the device";
    EXPECT_NEAR(8000.0, amplitudeAt(heard.samples, heard.start + 10, 441), 200.0);
    EXPECT_NEAR(0.0, amplitudeAt(heard.samples, heard.start + 10, 882), 200.0);
}

TEST_F(Sound, TheLoopCountGoesToTheMixerUnchanged)
{
    CSound* sound = new CSound(sine(441, 0.25));
    const uint64_t offset = outputSize();
    sound->play(1);  // twice
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.5));
    // Two plays of 5512 samples back to back; the threshold clips a sample or two at the ends.
    EXPECT_NEAR(2 * 5512.0 * (outputRate() / kRate), double(loudSpan(heard)), 10.0);
}

TEST_F(Sound, TheEmptyNameWritesNothingRegistersNothingAndPlaysNothing)
{
    CStdoutCapture capture;
    capture.start();
    CSound* sound = new CSound("");
    sound->play(0);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_EQ(nullptr, sound->chunk);
    EXPECT_EQ(0u, manager->getSoundCount());
    EXPECT_EQ(0, Mix_Playing(-1));
    delete sound;  // early: the manager would free it at shut-down
}

TEST_F(Sound, AMissingFileWritesTheFailureAndSdlsReasonAndLeavesTheRegistry)
{
    const std::string name = scratchFolder() + "/no-such-sound.wav";
    CStdoutCapture capture;
    capture.start();
    CSound* sound = new CSound(name);
    sound->play(0);
    const std::string reason = failureReason("Failed to load sound: " + name, capture.lines());
    EXPECT_NE(std::string::npos, reason.find(name)) << "the reason is the file's, not the device's";
    EXPECT_FALSE(sound->isLoaded());
    EXPECT_EQ(name, sound->fileName);
    EXPECT_EQ(0u, manager->getSoundCount());
    EXPECT_EQ(0, Mix_Playing(-1));
    delete sound;
}

TEST_F(Sound, AFileTheMixerCannotDecodeWritesTheSameLine)
{
    const std::string name = writeText(scratchFolder() + "/not-a-sound.wav", "RIFF but not really");
    CStdoutCapture capture;
    capture.start();
    CSound* sound = new CSound(name);
    failureReason("Failed to load sound: " + name, capture.lines());
    EXPECT_EQ(0u, manager->getSoundCount());
    delete sound;
}

TEST_F(Sound, ASecondLoadReplacesTheSampleAndDoesNotRegisterTwice)
{
    CSound* sound = new CSound(sine(441, 0.5));
    ASSERT_TRUE(sound->load(sine(630, 0.5)));
    EXPECT_EQ(sine(630, 0.5), sound->fileName);
    ASSERT_EQ(1u, manager->getSoundCount());

    const uint64_t offset = outputSize();
    manager->playSound(0, 0);
    const Heard heard = listenFrom(offset, 0.5);
    ASSERT_LT(heard.start, heard.samples.size());
    EXPECT_NEAR(8000.0, amplitudeAt(heard.samples, heard.start + 10, 630), 200.0);
    EXPECT_NEAR(0.0, amplitudeAt(heard.samples, heard.start + 10, 441), 200.0);
}

TEST_F(Sound, ASecondLoadThatFailsLeavesTheSoundRegisteredAndSilent)
{
    CSound* sound = new CSound(sine(441, 0.5));
    const std::string name = scratchFolder() + "/no-such-sound.wav";
    CStdoutCapture capture;
    capture.start();
    EXPECT_FALSE(sound->load(name));
    sound->play(0);
    failureReason("Failed to load sound: " + name, capture.lines());
    EXPECT_EQ(nullptr, sound->chunk);
    EXPECT_EQ(0, Mix_Playing(-1));
    ASSERT_EQ(1u, manager->getSoundCount());  // the manager still owns and frees it
}

// --- Sound effects: release ---------------------------------------------------------------------

TEST_F(Sound, ReleasingTheFirstOfTwoSoundsMovesTheSecondToIndexZero)
{
    CSound* first = new CSound(sine(441, 0.5));
    CSound* second = new CSound(sine(630, 0.5));
    ASSERT_EQ(first, manager->getSound(0));
    ASSERT_EQ(second, manager->getSound(1));
    first->release();
    ASSERT_EQ(1u, manager->getSoundCount());
    EXPECT_EQ(second, manager->getSound(0));
}

TEST_F(Sound, DeletingALoadedSoundTakesItOffTheRegistry)
{
    CSound* first = new CSound(sine(441, 0.5));
    CSound* second = new CSound(sine(630, 0.5));
    delete first;  // the manager's freeAllSounds (the fixture's) must not free it again
    ASSERT_EQ(1u, manager->getSoundCount());
    EXPECT_EQ(second, manager->getSound(0));
}

TEST_F(Sound, ReleasingASoundThatNeverLoadedDeletesItAndLeavesTheRegistry)
{
    CSound* kept = new CSound(sine(441, 0.5));
    CStdoutCapture quiet;
    quiet.start();
    CSound* failed = new CSound(scratchFolder() + "/no-such-sound.wav");
    quiet.lines();
    failed->release();  // gone: the sanitizer build reports a leak otherwise
    ASSERT_EQ(1u, manager->getSoundCount());
    EXPECT_EQ(kept, manager->getSound(0));
}

// --- Sound effects: playing fails ---------------------------------------------------------------

TEST_F(Sound, WithEveryChannelBusyAPlayWritesTheFailureWithTheMixersText)
{
    CSound* sound = new CSound(sine(441, 0.5));
    for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel)
        sound->play(-1);
    ASSERT_EQ(Mix_AllocateChannels(-1), Mix_Playing(-1));
    CStdoutCapture capture;
    capture.start();
    sound->play(0);
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("Failed to play sound " + sound->fileName + " No free channels available", lines[0]);
}

// --- Music: loading, playing, halting -----------------------------------------------------------

TEST_F(Music, ALoadedTrackRegistersItselfAndIsHeard)
{
    CStdoutCapture capture;
    capture.start();
    CMusic* track = new CMusic(sine(441, 1.0));
    EXPECT_TRUE(capture.lines().empty());
    ASSERT_NE(nullptr, track->music);
    ASSERT_EQ(1u, manager->getMusicCount());
    EXPECT_EQ(track, manager->getMusic(0));

    const uint64_t offset = outputSize();
    manager->playMusic(0, -1);
    const Heard heard = listenFrom(offset, 0.5);
    ASSERT_LT(heard.start, heard.samples.size()) << "the music never reached the device";
    EXPECT_NEAR(8000.0, amplitudeAt(heard.samples, heard.start + 10, 441), 200.0);
}

TEST_F(Music, PlayingTrackBWhileTrackAPlaysHaltsAFirst)
{
    CMusic* a = new CMusic(sine(441, 1.0));
    CMusic* b = new CMusic(sine(882, 1.0));
    a->play(-1);
    const Heard first = listenFrom(outputSize(), 0.5);
    ASSERT_LT(first.start, first.samples.size());
    EXPECT_NEAR(8000.0, amplitudeAt(first.samples, first.start + 10, 441), 200.0);

    b->play(-1);
    EXPECT_EQ(1, Mix_PlayingMusic());
    // A chunk mixed before the switch may still come out first; the last window is after it.
    const std::vector<int16_t> then = recordFrom(outputSize(), framesCovering(0.5));
    ASSERT_FALSE(then.empty());
    const size_t last = then.size() - window();
    EXPECT_NEAR(8000.0, amplitudeAt(then, last, 882), 200.0);
    EXPECT_NEAR(0.0, amplitudeAt(then, last, 441), 200.0);
}

TEST_F(Music, ReleasingATrackThatIsNotPlayingStillHaltsTheMusic)
{
    CMusic* playing = new CMusic(sine(441, 1.0));
    CMusic* other = new CMusic(sine(882, 1.0));
    playing->play(-1);
    other->release();
    EXPECT_EQ(0, Mix_PlayingMusic());
    ASSERT_EQ(1u, manager->getMusicCount());
    EXPECT_EQ(playing, manager->getMusic(0));

    // Silence follows: skip what was mixed before the halt, then nothing is loud.
    const std::vector<int16_t> after = recordFrom(outputSize(), framesCovering(0.5));
    ASSERT_FALSE(after.empty());
    const std::vector<int16_t> tail(after.end() - long(window()), after.end());
    EXPECT_EQ(tail.size(), firstLoud(tail));
}

TEST_F(Music, DeletingATrackThatIsNotPlayingStillHaltsTheMusic)
{
    CMusic* playing = new CMusic(sine(441, 1.0));
    playing->play(-1);
    CStdoutCapture quiet;
    quiet.start();
    CMusic* unregistered = new CMusic(scratchFolder() + "/no-such-track.wav");
    quiet.lines();
    delete unregistered;
    EXPECT_EQ(0, Mix_PlayingMusic());
}

TEST_F(Music, ASecondLoadReplacesTheStreamAndDoesNotRegisterTwice)
{
    CMusic* track = new CMusic(sine(441, 1.0));
    ASSERT_TRUE(track->load(sine(882, 1.0)));
    EXPECT_EQ(sine(882, 1.0), track->fileName);
    ASSERT_EQ(1u, manager->getMusicCount());

    const uint64_t offset = outputSize();
    track->play(-1);
    const Heard heard = listenFrom(offset, 0.5);
    ASSERT_LT(heard.start, heard.samples.size());
    EXPECT_NEAR(8000.0, amplitudeAt(heard.samples, heard.start + 10, 882), 200.0);
    EXPECT_NEAR(0.0, amplitudeAt(heard.samples, heard.start + 10, 441), 200.0);
}

// --- Music: failures ----------------------------------------------------------------------------

TEST_F(Music, AMissingFileWritesTheFailureAndSdlsReasonAndTheTrackStaysUnregisteredAndSilent)
{
    const std::string name = scratchFolder() + "/no-such-track.ogg";
    CStdoutCapture capture;
    capture.start();
    CMusic* track = new CMusic(name);
    track->play(-1);
    const std::string reason = failureReason("Failed to load music " + name, capture.lines());
    EXPECT_NE(std::string::npos, reason.find(name));
    EXPECT_FALSE(track->isLoaded());
    EXPECT_EQ(name, track->fileName);
    EXPECT_EQ(0u, manager->getMusicCount());
    EXPECT_EQ(0, Mix_PlayingMusic());
    delete track;
}

TEST_F(Music, ReleasingATrackThatNeverLoadedDeletesItAndLeavesTheRegistry)
{
    CMusic* kept = new CMusic(sine(441, 1.0));
    const std::string name = scratchFolder() + "/no-such-track.ogg";
    CStdoutCapture quiet;
    quiet.start();
    CMusic* failed = new CMusic(name);
    quiet.lines();
    failed->release();  // gone: the sanitizer build reports a leak, or a double free, otherwise
    ASSERT_EQ(1u, manager->getMusicCount());
    EXPECT_EQ(kept, manager->getMusic(0));
}

TEST_F(Music, TheEmptyNameWritesNothingAndDoesNotRegister)
{
    CStdoutCapture capture;
    capture.start();
    CMusic* track = new CMusic("");
    track->play(-1);
    EXPECT_TRUE(capture.lines().empty());
    EXPECT_EQ(nullptr, track->music);
    EXPECT_EQ(0u, manager->getMusicCount());
    EXPECT_EQ(0, Mix_PlayingMusic());
    delete track;
}
