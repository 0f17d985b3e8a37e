// The sound manager against SDL_mixer's real device: SDL's disk driver writes what the mixer outputs
// to a file, and the tests find their sines in it. The device's shut-down and its absence run in
// child processes, each with an engine of its own: gtest's death tests in their threadsafe style,
// which re-run this program rather than fork it (the audio and X connections would not survive a
// plain fork).
#include "engine/audio/SoundManager.h"
#include "engine/audio/Music.h"
#include "engine/audio/Sound.h"
#include "engine/audio/SoundHandle.h"
#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "tests/audio/AudioTestSupport.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace audio_test;
using testing_support::CStdoutCapture;

namespace {

// Removes what the audio tests leave in /tmp once every test has run.
class DiskAudioFiles : public ::testing::Environment {
public:
    void TearDown() override
    {
        std::remove(diskAudioPath().c_str());
        if (!scratchFolder().empty())
            std::system(("rm -rf '" + scratchFolder() + "'").c_str());
    }
};

// ctest may choose the dummy driver for every program; this one must listen to its output, so it
// overrides the choice before anything can open the device. The death tests' children run this
// too and then pick their own driver.
bool chooseDiskAudio()
{
    const std::string path = "/tmp/quarl_audio_" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    // Milliseconds between two 4096-frame chunks (186 ms of sound): the tests wait less.
    setenv("SDL_DISKAUDIODELAY", "40", 1);
    ::testing::AddGlobalTestEnvironment(new DiskAudioFiles);
    return true;
}

const bool diskAudioChosen = chooseDiskAudio();

using SoundManager = AudioTest;

// The levels that the disk output shows for a sound played at each volume.
double soundLevel(CSoundManager* manager, const std::string& file, int volume)
{
    new CSound(file);
    manager->setSoundVolume(volume);
    waitForSilence();
    const uint64_t offset = outputSize();
    manager->playSound(manager->getSoundCount() - 1, 0);
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.5));
    const size_t start = firstLoud(heard, 100);
    Mix_HaltChannel(-1);
    return rms(heard, start + 10);
}

double musicLevel(CSoundManager* manager, const std::string& file, int volume)
{
    new CMusic(file);
    manager->setMusicVolume(volume);
    waitForSilence();
    const uint64_t offset = outputSize();
    manager->playMusic(manager->getMusicCount() - 1, -1);
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.5));
    const size_t start = firstLoud(heard, 100);
    manager->haltMusic();
    return rms(heard, start + 10);
}

}  // namespace

// --- The device ---------------------------------------------------------------------------------

TEST_F(SoundManager, OpensTheDeviceAt22050HzInNativeSigned16BitStereo)
{
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_EQ(1, Mix_QuerySpec(&frequency, &format, &channels));
    EXPECT_EQ(22050, frequency);
    EXPECT_EQ(AUDIO_S16SYS, format);
    EXPECT_EQ(2, channels);
}

// --- Volumes ------------------------------------------------------------------------------------

TEST_F(SoundManager, VolumesAreClampedToTheMixerScaleAppliedAndRemembered)
{
    manager->setMusicVolume(200);
    EXPECT_EQ(128, Mix_VolumeMusic(-1));
    EXPECT_EQ(128, manager->getMusicVolume());

    manager->setSoundVolume(-5);
    EXPECT_EQ(0, Mix_Volume(-1, -1));
    for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel)
        EXPECT_EQ(0, Mix_Volume(channel, -1)) << "channel " << channel;
    EXPECT_EQ(0, manager->getSoundVolume());

    manager->setSoundVolume(128);
    EXPECT_EQ(128, Mix_Volume(-1, -1));
    EXPECT_EQ(128, manager->getSoundVolume());
    manager->setSoundVolume(0);
    EXPECT_EQ(0, Mix_Volume(-1, -1));
    EXPECT_EQ(0, manager->getSoundVolume());

    manager->setMusicVolume(-1);
    EXPECT_EQ(0, Mix_VolumeMusic(-1));
    EXPECT_EQ(0, manager->getMusicVolume());
    manager->setMusicVolume(77);
    EXPECT_EQ(77, Mix_VolumeMusic(-1));
    EXPECT_EQ(77, manager->getMusicVolume());
}

TEST_F(SoundManager, TheOutputLevelOfSoundsFollowsTheSoundVolume)
{
    const double full = soundLevel(manager, sine(441, 0.5), 128);
    const double quarter = soundLevel(manager, sine(441, 0.5), 32);
    // A sine of peak 8000 has an RMS of 8000 / sqrt(2).
    EXPECT_NEAR(5657.0, full, 60.0);
    EXPECT_NEAR(4.0, full / quarter, 0.1) << full << " against " << quarter;
}

TEST_F(SoundManager, TheOutputLevelOfMusicFollowsTheMusicVolume)
{
    const double full = musicLevel(manager, sine(441, 1.0), 128);
    const double quarter = musicLevel(manager, sine(441, 1.0), 32);
    EXPECT_NEAR(5657.0, full, 60.0);
    EXPECT_NEAR(4.0, full / quarter, 0.1) << full << " against " << quarter;
}

// --- The registry -------------------------------------------------------------------------------

TEST_F(SoundManager, PlaysTheSoundAtAnIndexAndNothingPastTheEnd)
{
    new CSound(sine(315, 0.5));
    new CSound(sine(441, 0.5));
    new CSound(sine(630, 0.5));
    ASSERT_EQ(3u, manager->getSoundCount());

    manager->playSound(3, 0);
    EXPECT_EQ(0, Mix_Playing(-1));

    const uint64_t offset = outputSize();
    manager->playSound(2, 0);
    EXPECT_EQ(1, Mix_Playing(-1));
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(0.5));
    const size_t start = firstLoud(heard);
    ASSERT_LT(start, heard.size()) << "the sound never reached the device";
    EXPECT_NEAR(8000.0, amplitudeAt(heard, start + 10, 630), 200.0);
    EXPECT_NEAR(0.0, amplitudeAt(heard, start + 10, 315), 200.0);
    EXPECT_NEAR(0.0, amplitudeAt(heard, start + 10, 441), 200.0);
}

TEST_F(SoundManager, PlayMusicPastTheEndDoesNothing)
{
    new CMusic(sine(441, 1.0));
    manager->playMusic(1, -1);
    EXPECT_EQ(0, Mix_PlayingMusic());
    manager->playMusic(0, -1);
    EXPECT_EQ(1, Mix_PlayingMusic());
}

TEST_F(SoundManager, RemovingTheMiddleSoundKeepsTheOthersInTheirOrder)
{
    CSound* first = new CSound(sine(315, 0.5));
    CSound* middle = new CSound(sine(441, 0.5));
    CSound* last = new CSound(sine(630, 0.5));
    manager->removeSound(middle);
    ASSERT_EQ(2u, manager->getSoundCount());
    EXPECT_EQ(first, manager->getSound(0));
    EXPECT_EQ(last, manager->getSound(1));
    EXPECT_EQ(nullptr, manager->getSound(2));
}

TEST_F(SoundManager, RemovingAnUnlistedItemDeletesItAndLeavesTheListsAlone)
{
    CSound* listed = new CSound(sine(441, 0.5));
    CMusic* listedTrack = new CMusic(sine(441, 1.0));
    // Empty names: nothing loads, nothing registers; removing them still deletes them (the leak
    // check of the sanitizer build would report them otherwise).
    manager->removeSound(new CSound(""));
    manager->removeMusic(new CMusic(""));
    manager->removeSound(nullptr);
    manager->removeMusic(nullptr);
    ASSERT_EQ(1u, manager->getSoundCount());
    ASSERT_EQ(1u, manager->getMusicCount());
    EXPECT_EQ(listed, manager->getSound(0));
    EXPECT_EQ(listedTrack, manager->getMusic(0));
}

TEST_F(SoundManager, AnItemAlreadyListedIsNotListedTwice)
{
    CSound* sound = new CSound(sine(441, 0.5));
    CMusic* track = new CMusic(sine(441, 1.0));
    manager->addSound(sound);
    manager->addMusic(track);
    EXPECT_EQ(1u, manager->getSoundCount());
    EXPECT_EQ(1u, manager->getMusicCount());
    // Listed twice, these would be deleted twice, which the sanitizer build reports.
    manager->freeAllSounds();
    manager->freeAllMusic();
    EXPECT_EQ(0u, manager->getSoundCount());
    EXPECT_EQ(0u, manager->getMusicCount());
}

// --- Music halting ------------------------------------------------------------------------------

TEST_F(SoundManager, HaltMusicSilencesWhateverTrackPlays)
{
    manager->haltMusic();  // nothing plays: nothing to do
    EXPECT_EQ(0, Mix_PlayingMusic());

    new CMusic(sine(441, 1.0));
    new CMusic(sine(882, 1.0));
    manager->playMusic(0, -1);
    manager->haltMusic();
    EXPECT_EQ(0, Mix_PlayingMusic());
    // What was mixed before the halt may still come out first; the last window is silent.
    const std::vector<int16_t> after = recordFrom(outputSize(), framesCovering(0.5));
    ASSERT_FALSE(after.empty());
    const std::vector<int16_t> tail(after.end() - long(window()), after.end());
    EXPECT_EQ(tail.size(), firstLoud(tail));
}

TEST_F(SoundManager, FreeAllMusicWhilePlayingSilencesItAndEmptiesTheList)
{
    new CMusic(sine(441, 1.0));
    new CMusic(sine(882, 1.0));
    manager->playMusic(1, -1);
    manager->freeAllMusic();
    EXPECT_EQ(0u, manager->getMusicCount());
    EXPECT_EQ(0, Mix_PlayingMusic());
    const std::vector<int16_t> after = recordFrom(outputSize(), framesCovering(0.5));
    ASSERT_FALSE(after.empty());
    const std::vector<int16_t> tail(after.end() - long(window()), after.end());
    EXPECT_EQ(tail.size(), firstLoud(tail));
}

// --- Shut-down and a missing device (each in a child process with its own engine) ---------------

namespace {

// The engine's own shut-down order: the graphics core's SDL_Quit first, the sound manager after it,
// with a sound and a track still playing, and a sound and a track that never loaded left to the
// manager. Returns the child's exit status: 0 when the music ended up halted and the mixer closed.
// In the sanitizer build any use of a freed chunk, stream or device, or anything left unfreed (or
// freed twice: a sound made before the engine is its creator's), fails the child as well.
int shutDownWhilePlaying()
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string folder = testing_support::makeTempDir();
    writeSineWav(folder + "/a.wav", 441, 1.0);
    writeSineWav(folder + "/b.wav", 882, 1.0);
    CStdoutCapture quiet;
    quiet.start();
    CSound* beforeTheEngine = new CSound("");
    CEngine* engine = new CEngine();
    new CSound(folder + "/a.wav");
    new CMusic(folder + "/a.wav");
    new CMusic(folder + "/b.wav");
    new CSound(folder + "/missing.wav");
    new CMusic(folder + "/missing.wav");
    quiet.lines();
    g_pSoundManager->playSound(0, -1);
    g_pSoundManager->playMusic(0, -1);
    const int playingBefore = Mix_PlayingMusic();
    delete engine;
    delete beforeTheEngine;
    const int playingAfter = Mix_PlayingMusic();
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    const int open = Mix_QuerySpec(&frequency, &format, &channels);
    std::system(("rm -rf '" + folder + "'").c_str());
    std::fprintf(stderr, "music playing %d, then %d; mixer open %d; registry %s\n", playingBefore, playingAfter,
                 open, g_pSoundManager == nullptr ? "null" : "set");
    return playingBefore == 1 && playingAfter == 0 && open == 0 ? 0 : 1;
}

// No driver can open: the manager writes its line once, shuts SDL's audio down and still serves. Returns the
// child's exit status, 0 when all of that held.
int startWithoutADevice()
{
    setenv("SDL_AUDIODRIVER", "quarl-no-such-driver", 1);
    const std::string folder = testing_support::makeTempDir();
    const std::string file = folder + "/a.wav";
    writeSineWav(file, 441, 0.5);
    CStdoutCapture capture;
    capture.start();
    CEngine* engine = new CEngine();
    const std::vector<std::string> startUp = capture.lines();
    // The event manager started joysticks before the sound manager failed; shutting all of SDL
    // down there took them away for good.
    const bool joysticksKept = SDL_WasInit(SDL_INIT_JOYSTICK) != 0;
    capture.start();
    CSound* sound = new CSound(file);
    sound->play(0);
    const std::vector<std::string> loading = capture.lines();
    const bool listed = g_pSoundManager != nullptr && g_pSoundManager->getSoundCount() != 0;
    delete sound;  // early, which is allowed: the manager would free it at shut-down
    delete engine;
    std::system(("rm -rf '" + folder + "'").c_str());

    int failures = 0;
    const int unable = int(std::count(startUp.begin(), startUp.end(), "Unable to open audio"));
    if (startUp.size() != 14 || unable != 1 || startUp[8] != "Unable to open audio" ||
        startUp[9] != "Initialize Sound Manager...done") {
        ++failures;
        for (const std::string& line : startUp)
            std::fprintf(stderr, "start-up: [%s]\n", line.c_str());
    }
    // The second line tells a missing device from a bad file.
    const std::vector<std::string> expected = {"Failed to load sound: " + file,
                                               "Error: Audio device hasn't been opened"};
    if (loading != expected || listed) {
        ++failures;
        for (const std::string& line : loading)
            std::fprintf(stderr, "loading: [%s]\n", line.c_str());
    }
    if (!joysticksKept) {
        ++failures;
        std::fprintf(stderr, "the joystick subsystem was shut down with the audio\n");
    }
    std::fprintf(stderr, "%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}

// No device: every mixing call is safe and does nothing; a seek says why it failed. Returns the
// child's exit status, 0 when all of that held.
int mixWithoutADevice()
{
    setenv("SDL_AUDIODRIVER", "quarl-no-such-driver", 1);
    const std::string folder = testing_support::makeTempDir();
    writeSineWav(folder + "/a.wav", 441, 0.5);
    CStdoutCapture capture;
    capture.start();
    CEngine* engine = new CEngine();
    CSound* sound = new CSound(folder + "/a.wav");
    CMusic* track = new CMusic(folder + "/a.wav");
    capture.lines();
    capture.start();
    CSoundHandle handles[] = {sound->play(-1), sound->fadeIn(100), sound->playAt(CVector2(5, 5)),
                              CSoundHandle(0, 1)};
    int failures = 0;
    for (CSoundHandle& handle : handles) {
        handle.setVolume(0.5f);
        handle.setPan(1.0f);
        handle.setPosition(CVector2(1, 2));
        handle.pause();
        handle.resume();
        handle.fadeOut(10);
        handle.stop();
        failures += handle.isPlaying() || handle.isPaused();
    }
    failures += handles[0].channel != -1 || handles[1].channel != -1 || handles[2].channel != -1;
    sound->setVolume(0.5f);
    sound->setVoiceBudget(1, EVoicePolicy::RefuseNew);
    g_pSoundManager->setMasterVolume(0.5f);
    g_pSoundManager->setCategoryVolume("effects", 0.5f);
    g_pSoundManager->pauseCategory("effects");
    g_pSoundManager->resumeCategory("effects");
    g_pSoundManager->setCategoryBudget("effects", 2, EVoicePolicy::StopOldest);
    g_pSoundManager->setListener(CVector2(3, 4));
    g_pSoundManager->followCamera();
    track->play(-1);
    track->fadeIn(100, 0);
    g_pSoundManager->pauseMusic();
    g_pSoundManager->resumeMusic();
    g_pSoundManager->fadeOutMusic(100);
    g_pSoundManager->crossFadeMusic(track, 100, 0);
    g_pSoundManager->update();
    const bool seeked = g_pSoundManager->setMusicPosition(1.0);
    failures += seeked || g_pSoundManager->getMusicPosition() != 0.0 || g_pSoundManager->hasMusicEnded() ||
                g_pSoundManager->getPlayingMusic() != nullptr;
    const std::vector<std::string> lines = capture.lines();
    const std::vector<std::string> expected = {"Failed to seek music ", "Error: Music isn't playing"};
    if (lines != expected) {
        ++failures;
        for (const std::string& line : lines)
            std::fprintf(stderr, "mixing: [%s]\n", line.c_str());
    }
    delete engine;
    std::system(("rm -rf '" + folder + "'").c_str());
    std::fprintf(stderr, "%d failure(s)\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace

TEST(SoundManagerWithoutDevice, EveryMixingCallIsSafeAndDoesNothing)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(mixWithoutADevice()), ::testing::ExitedWithCode(0), "0 failure\\(s\\)");
}

TEST(SoundManagerShutDown, AfterSdlQuitHaltsTheMusicFreesEverythingAndClosesTheMixer)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(shutDownWhilePlaying()), ::testing::ExitedWithCode(0),
                "music playing 1, then 0; mixer open 0; registry null");
}

TEST(SoundManagerWithoutDevice, WritesUnableToOpenAudioOnceBeforeItsStepAndStillServes)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(startWithoutADevice()), ::testing::ExitedWithCode(0), "0 failure\\(s\\)");
}
