// What a game mixes: handles, the 0..1 volumes, pan, categories, voice budgets, fades and sounds
// placed in the world, each heard in what SDL's disk driver received (chosen in SoundManagerTest.cpp).
#include "engine/audio/Sound.h"
#include "engine/audio/SoundHandle.h"
#include "engine/audio/SoundManager.h"
#include "engine/audio/SoundPlacement.h"
#include "engine/camera/CameraManager.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "tests/audio/AudioTestSupport.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <vector>

using namespace audio_test;

namespace {

using Mixing = AudioTest;

// The peak amplitudes of a frequency on each side, a little after the output first sounds.
struct Levels {
    double left;
    double right;
};

Levels levelsFrom(uint64_t offset, double frequency, double seconds = 0.5)
{
    const Stereo heard = recordStereoFrom(offset, framesCovering(seconds));
    const size_t start = std::min(firstLoud(heard.left), firstLoud(heard.right));
    return {amplitudeAt(heard.left, start + 10, frequency), amplitudeAt(heard.right, start + 10, frequency)};
}

// The levels of a play already going, from what the device outputs next.
Levels levelsNow(double frequency)
{
    // Chunks mixed before the change may still be on their way: skip them.
    const uint64_t offset = outputSize() + uint64_t(4 * 4096 * (outputRate() / kRate) * kBytesPerOutputFrame);
    const Stereo heard = recordStereoFrom(offset, int(window()) + 10);
    return {amplitudeAt(heard.left, 0, frequency), amplitudeAt(heard.right, 0, frequency)};
}

// The amplitude of the frequency in consecutive windows of the left channel from the first loud one.
std::vector<double> envelope(const std::vector<int16_t>& samples, double frequency)
{
    std::vector<double> levels;
    for (size_t start = firstLoud(samples, 20); start + window() <= samples.size(); start += window())
        levels.push_back(amplitudeAt(samples, start, frequency));
    return levels;
}

bool hasLevelBetween(const std::vector<double>& levels, double low, double high)
{
    for (double level : levels)
        if (level > low && level < high)
            return true;
    return false;
}

}  // namespace

// --- Handles ------------------------------------------------------------------------------------

TEST_F(Mixing, AHandleWhoseSoundEndedLeavesTheChannelsNextSoundAlone)
{
    CSound* blip = new CSound(sine(441, 0.05));
    CSound* tone = new CSound(sine(882, 1.0));
    const CSoundHandle old = blip->play();
    ASSERT_TRUE(old.isPlaying());
    for (int wait = 0; wait < 300 && old.isPlaying(); ++wait)
        SDL_Delay(10);
    ASSERT_FALSE(old.isPlaying());

    const CSoundHandle current = tone->play(-1);
    ASSERT_EQ(old.channel, current.channel) << "the first free channel is the one the blip left";
    CSoundHandle stale = old;
    stale.stop();
    stale.setVolume(0.0f);
    stale.pause();
    EXPECT_TRUE(current.isPlaying());
    EXPECT_FALSE(current.isPaused());
    EXPECT_NEAR(8000.0, levelsNow(882).left, 200.0);
    EXPECT_FALSE(CSoundHandle().isPlaying());
}

TEST_F(Mixing, AHandleStopsPausesAndResumesItsOwnPlayOnly)
{
    CSound* low = new CSound(sine(441, 1.0));
    CSound* high = new CSound(sine(882, 1.0));
    CSoundHandle first = low->play(-1);
    CSoundHandle second = high->play(-1);
    first.pause();
    EXPECT_TRUE(first.isPaused());
    Levels paused441 = levelsNow(441);
    EXPECT_NEAR(0.0, paused441.left, 100.0);
    EXPECT_NEAR(8000.0, levelsNow(882).left, 200.0);
    first.resume();
    EXPECT_NEAR(8000.0, levelsNow(441).left, 200.0);
    second.stop();
    EXPECT_FALSE(second.isPlaying());
    EXPECT_NEAR(0.0, levelsNow(882).left, 100.0);
    EXPECT_TRUE(first.isPlaying());
}

TEST_F(Mixing, DeletingASoundEndsItsHandles)
{
    CSound* sound = new CSound(sine(441, 1.0));
    const CSoundHandle handle = sound->play(-1);
    ASSERT_TRUE(handle.isPlaying());
    delete sound;
    EXPECT_FALSE(handle.isPlaying());
    CSoundHandle(handle).setVolume(0.5f);  // reaches nothing, the sound is gone
}

// --- Volumes and pan ----------------------------------------------------------------------------

TEST_F(Mixing, ThePlaysLevelIsTheProductOfMasterCategorySoundAndHandleVolumes)
{
    CSound* sound = new CSound(sine(441, 1.0));
    CSoundHandle handle = sound->play(-1);
    handle.setVolume(0.5f);
    EXPECT_FLOAT_EQ(0.5f, handle.getVolume());
    EXPECT_NEAR(4000.0, levelsNow(441).left, 150.0);  // 64 of 128
    manager->setMasterVolume(0.5f);
    EXPECT_NEAR(2000.0, levelsNow(441).left, 150.0);
    manager->setCategoryVolume("effects", 0.5f);
    sound->setVolume(0.5f);
    EXPECT_NEAR(500.0, levelsNow(441).left, 100.0);  // 1/16: 8 of 128
    // The old 0..128 volume scales on top of it all, and the next play starts from the sound's own.
    manager->setMasterVolume(1.0f);
    manager->setCategoryVolume("effects", 1.0f);
    manager->setSoundVolume(64);
    handle.stop();
    // The stopped play's last chunks (level 500, loud enough for levelsFrom's start) may still be on
    // their way: sdl12-compat's conversion holds more in flight than the classic SDL's single buffer.
    waitForSilence();
    const uint64_t offset = outputSize();
    sound->play();
    EXPECT_NEAR(2000.0, levelsFrom(offset, 441).left, 150.0);  // 64 x 0.5
    EXPECT_EQ(64, manager->getSoundVolume());
}

TEST_F(Mixing, VolumesAreClampedToZeroToOne)
{
    CSound* sound = new CSound(sine(441, 1.0));
    sound->setVolume(3.0f);
    EXPECT_FLOAT_EQ(1.0f, sound->getVolume());
    manager->setMasterVolume(-1.0f);
    EXPECT_FLOAT_EQ(0.0f, manager->getMasterVolume());
    manager->setCategoryVolume("voice", 7.0f);
    EXPECT_FLOAT_EQ(1.0f, manager->getCategoryVolume("voice"));
    const uint64_t offset = outputSize();
    sound->play();
    const Stereo heard = recordStereoFrom(offset, framesCovering(0.5));
    EXPECT_EQ(heard.left.size(), firstLoud(heard.left)) << "master volume 0 is silence";
}

TEST_F(Mixing, PanMovesTheSoundBetweenTheSides)
{
    CSound* sound = new CSound(sine(441, 1.0));
    CSoundHandle handle = sound->play(-1);
    handle.setPan(1.0f);
    Levels right = levelsNow(441);
    EXPECT_NEAR(0.0, right.left, 100.0);
    EXPECT_NEAR(8000.0, right.right, 200.0);
    handle.setPan(-0.5f);
    Levels leftish = levelsNow(441);
    EXPECT_NEAR(8000.0, leftish.left, 200.0);
    EXPECT_NEAR(4000.0, leftish.right, 200.0);  // 128 of 255
    handle.setPan(-9.0f);
    EXPECT_FLOAT_EQ(-1.0f, handle.getPan());
}

TEST_F(Mixing, PanIsSetAgainForEveryPlaySinceTheMixerClearsItWhenAChannelEnds)
{
    CSound* sound = new CSound(sine(441, 0.3));
    CSoundHandle first = sound->play();
    first.setPan(1.0f);
    for (int wait = 0; wait < 300 && first.isPlaying(); ++wait)
        SDL_Delay(10);
    waitForSilence();
    const uint64_t offset = outputSize();
    const CSoundHandle second = sound->play();
    EXPECT_EQ(first.channel, second.channel);
    const Levels centred = levelsFrom(offset, 441, 0.3);
    EXPECT_NEAR(8000.0, centred.left, 200.0);
    EXPECT_NEAR(8000.0, centred.right, 200.0);
}

// --- Categories and budgets ---------------------------------------------------------------------

TEST_F(Mixing, PausingACategorySilencesItsPlaysAndThoseStartedWhilePaused)
{
    CSound* voice = new CSound(sine(441, 1.0));
    voice->setCategory("voice");
    CSound* effect = new CSound(sine(882, 1.0));
    voice->play(-1);
    effect->play(-1);
    manager->pauseCategory("voice");
    EXPECT_TRUE(manager->isCategoryPaused("voice"));
    const CSoundHandle late = voice->play(-1);
    EXPECT_TRUE(late.isPlaying());
    EXPECT_NEAR(0.0, levelsNow(441).left, 100.0);
    EXPECT_NEAR(8000.0, levelsNow(882).left, 200.0);
    manager->resumeCategory("voice");
    EXPECT_NEAR(16000.0, levelsNow(441).left, 400.0) << "both plays of the voice go on";
}

TEST_F(Mixing, ASoundsBudgetRefusesTheNewPlayWhenTheGameSaysSo)
{
    CSound* sound = new CSound(sine(441, 1.0, 4000));
    sound->setVoiceBudget(2, EVoicePolicy::RefuseNew);
    const uint64_t offset = outputSize();
    SDL_LockAudio();  // all three start in the same chunk, in phase
    const CSoundHandle first = sound->play();
    const CSoundHandle second = sound->play();
    const CSoundHandle third = sound->play();
    SDL_UnlockAudio();
    EXPECT_TRUE(first.isPlaying());
    EXPECT_TRUE(second.isPlaying());
    EXPECT_FALSE(third.isPlaying());
    EXPECT_EQ(-1, third.channel);
    EXPECT_NEAR(8000.0, levelsFrom(offset, 441).left, 200.0) << "two copies heard, not three";
}

TEST_F(Mixing, ASoundsBudgetStopsTheOldestCopyByDefault)
{
    CSound* sound = new CSound(sine(441, 1.0, 4000));
    sound->setVoiceBudget(2, EVoicePolicy::StopOldest);
    const uint64_t offset = outputSize();
    SDL_LockAudio();
    const CSoundHandle first = sound->play();
    const CSoundHandle second = sound->play();
    const CSoundHandle third = sound->play();
    SDL_UnlockAudio();
    EXPECT_FALSE(first.isPlaying());
    EXPECT_TRUE(second.isPlaying());
    EXPECT_TRUE(third.isPlaying());
    EXPECT_NEAR(8000.0, levelsFrom(offset, 441).left, 200.0);
}

TEST_F(Mixing, ACategorysBudgetCountsEverySoundOfTheCategory)
{
    CSound* low = new CSound(sine(441, 1.0));
    CSound* high = new CSound(sine(882, 1.0));
    low->setCategory("voice");
    high->setCategory("voice");
    manager->setCategoryBudget("voice", 1, EVoicePolicy::StopOldest);
    const uint64_t offset = outputSize();
    SDL_LockAudio();
    low->play();
    high->play();
    SDL_UnlockAudio();
    const Levels lowHeard = levelsFrom(offset, 441);
    EXPECT_NEAR(0.0, lowHeard.left, 100.0);
    EXPECT_NEAR(8000.0, levelsFrom(offset, 882).left, 200.0);
}

// --- Fades --------------------------------------------------------------------------------------

TEST_F(Mixing, AFadeInRisesFromSilenceToTheFullLevel)
{
    CSound* sound = new CSound(sine(441, 1.0));
    const uint64_t offset = outputSize();
    CSoundHandle handle = sound->fadeIn(800, -1);
    // The mixer fades by the clock while the disk driver runs faster than it: a longer recording.
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(4.0));
    handle.stop();
    const std::vector<double> levels = envelope(heard, 441);
    ASSERT_GT(levels.size(), 8u);
    EXPECT_LT(levels[0], 4000.0) << "a fade starts low";
    EXPECT_TRUE(hasLevelBetween(levels, 1500.0, 6500.0)) << "and passes through the levels between";
    EXPECT_NEAR(8000.0, levels.back(), 200.0);
    for (size_t i = 1; i < levels.size(); ++i)
        EXPECT_GE(levels[i], levels[i - 1] - 200.0) << "window " << i;
}

TEST_F(Mixing, AFadeOutFallsToSilenceAndEndsThePlay)
{
    CSound* sound = new CSound(sine(441, 1.0));
    CSoundHandle handle = sound->play(-1);
    recordFrom(outputSize(), 2 * 4096);  // lets its start reach the device
    const uint64_t offset = outputSize();
    handle.fadeOut(800);
    const std::vector<int16_t> heard = recordFrom(offset, framesCovering(4.0));
    std::vector<double> levels;
    for (size_t start = 0; start + window() <= heard.size(); start += window())
        levels.push_back(amplitudeAt(heard, start, 441));
    ASSERT_GT(levels.size(), 8u);
    EXPECT_GT(levels[0], 5000.0) << "a fade starts from the level the play had";
    EXPECT_TRUE(hasLevelBetween(levels, 1500.0, 6500.0));
    EXPECT_NEAR(0.0, levels.back(), 50.0);
    EXPECT_FALSE(handle.isPlaying());
}

TEST_F(Mixing, AVolumeChangedDuringAFadeIsAppliedWhenItEnds)
{
    CSound* sound = new CSound(sine(441, 1.0));
    CSoundHandle handle = sound->fadeIn(200, -1);
    handle.setVolume(0.5f);
    for (int wait = 0; wait < 300 && Mix_FadingChannel(handle.channel) != MIX_NO_FADING; ++wait)
        SDL_Delay(10);
    manager->update();
    EXPECT_NEAR(4000.0, levelsNow(441).left, 150.0);
}

// --- Sounds in the world ------------------------------------------------------------------------

TEST(SoundPlacement, FollowsTheInverseDistanceLawBeyondTheRadiusAndPansByDirection)
{
    // Hand-computed: 300 to the right with radius 100 and roll-off 1 is 100 / (100 + 200).
    CSoundPlacement far = CSoundPlacement::between(CVector2(0, 0), CVector2(300, 0), 100.0f, 1.0f);
    EXPECT_FLOAT_EQ(1.0f, far.pan);
    EXPECT_FLOAT_EQ(1.0f / 3.0f, far.gain);
    // 3-4-5 triangle beyond the radius: the pan is the sine of the direction, -3/5.
    CSoundPlacement diagonal = CSoundPlacement::between(CVector2(10, 10), CVector2(-290, 410), 100.0f, 0.5f);
    EXPECT_FLOAT_EQ(-0.6f, diagonal.pan);
    EXPECT_FLOAT_EQ(100.0f / (100.0f + 0.5f * 400.0f), diagonal.gain);
    // Inside the radius: full gain, the pan grows with the offset over the radius.
    CSoundPlacement near = CSoundPlacement::between(CVector2(0, 0), CVector2(-25, 0), 100.0f, 1.0f);
    EXPECT_FLOAT_EQ(-0.25f, near.pan);
    EXPECT_FLOAT_EQ(1.0f, near.gain);
    CSoundPlacement atTheListener = CSoundPlacement::between(CVector2(5, 5), CVector2(5, 5), 0.0f, -1.0f);
    EXPECT_FLOAT_EQ(0.0f, atTheListener.pan);
    EXPECT_FLOAT_EQ(1.0f, atTheListener.gain);
}

TEST_F(Mixing, APlacedSoundIsPannedAndAttenuatedAndFollowsTheListener)
{
    CSound* sound = new CSound(sine(441, 1.0));
    sound->setRange(100.0f, 1.0f);
    manager->setListener(CVector2(0, 0));
    CSoundHandle handle = sound->playAt(CVector2(300, 0), -1);
    const Levels far = levelsNow(441);
    EXPECT_NEAR(0.0, far.left, 100.0);
    EXPECT_NEAR(8000.0 * 43 / 128, far.right, 150.0);  // a third of 128, rounded
    manager->setListener(CVector2(300, 0));
    const Levels centred = levelsNow(441);
    EXPECT_NEAR(8000.0, centred.left, 200.0);
    EXPECT_NEAR(8000.0, centred.right, 200.0);
    handle.setPosition(CVector2(200, 0));  // 100 to the left: at the radius, full gain, fully left
    const Levels left = levelsNow(441);
    EXPECT_NEAR(8000.0, left.left, 200.0);
    EXPECT_NEAR(0.0, left.right, 100.0);
}

TEST_F(Mixing, TheDefaultListenerIsTheCentreOfTheCamerasView)
{
    ASSERT_NE(nullptr, g_pGraphicsCore);
    const float halfWidth = float(g_pGraphicsCore->width) / 2.0f;
    const float halfHeight = float(g_pGraphicsCore->height) / 2.0f;
    CVector2* camera = g_pCameraManager != nullptr ? g_pCameraManager->getCurrent() : nullptr;
    CVector2 saved;
    if (camera != nullptr) {
        saved = *camera;
        *camera = CVector2(-1000.0f, 40.0f);  // scrolled 1000 to the right and 40 up
    }
    const CVector2 expected =
        camera != nullptr ? CVector2(halfWidth + 1000.0f, halfHeight - 40.0f) : CVector2(halfWidth, halfHeight);
    EXPECT_FLOAT_EQ(expected.x, manager->getListener().x);
    EXPECT_FLOAT_EQ(expected.y, manager->getListener().y);

    CSound* sound = new CSound(sine(441, 1.0));
    sound->setRange(50.0f, 0.0f);
    sound->playAt(CVector2(expected.x + 500.0f, expected.y), -1);
    const Levels right = levelsNow(441);
    EXPECT_NEAR(0.0, right.left, 100.0);
    EXPECT_NEAR(8000.0, right.right, 200.0);
    manager->setListener(CVector2(expected.x + 1000.0f, expected.y));
    manager->followCamera();  // back to the camera: right of the listener again
    manager->update();
    EXPECT_NEAR(0.0, levelsNow(441).left, 100.0);
    if (camera != nullptr)
        *camera = saved;
}
