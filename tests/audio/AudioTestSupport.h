#ifndef TESTS_AUDIO_AUDIOTESTSUPPORT_H
#define TESTS_AUDIO_AUDIOTESTSUPPORT_H

// What the audio tests share: sine WAV files written here, and SDL's disk audio driver, which writes
// everything the mixer outputs (signed 16-bit, stereo, at outputRate()) to the file in
// SDL_DISKAUDIOFILE.
// The test program chooses that driver before its engine opens the device (SoundManagerTest.cpp).
#include "engine/audio/SoundManager.h"
#include "engine/core/Registry.h"
#include "tests/support/TestHarness.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace audio_test {

const int kRate = 22050;             // the mixer's and the test WAV files'
const int kBytesPerOutputFrame = 4;  // stereo, 16 bits per sample
// Every test frequency has a whole number of periods in this many samples at kRate (0.238 s), so
// each sits exactly on one Goertzel bin and leaks nothing into the others.
const int kWindow = 5250;
const double kPi = 3.14159265358979323846;

// The rate of the disk driver's file: the mixer's, or a multiple of it under sdl12-compat.
inline int outputRate()
{
    return testing_support::diskAudioRate(kRate);
}

// kWindow's 0.238 s in samples of the disk driver's file.
inline size_t window()
{
    return size_t(kWindow) * size_t(outputRate() / kRate);
}

inline void putLittle(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xff);
}

// A mono 16-bit PCM WAV at 22050 Hz holding a sine of the given frequency and peak amplitude.
inline void writeSineWav(const std::string& path, double frequency, double seconds, int amplitude = 8000)
{
    const uint32_t samples = uint32_t(seconds * kRate);
    const uint32_t dataBytes = samples * 2;
    std::string out = "RIFF";
    putLittle(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    putLittle(out, 16, 4);  // fmt chunk size
    putLittle(out, 1, 2);   // PCM
    putLittle(out, 1, 2);   // mono
    putLittle(out, kRate, 4);
    putLittle(out, kRate * 2, 4);  // bytes per second
    putLittle(out, 2, 2);          // bytes per frame
    putLittle(out, 16, 2);         // bits per sample
    out += "data";
    putLittle(out, dataBytes, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const double value = amplitude * std::sin(2.0 * kPi * frequency * i / kRate);
        putLittle(out, uint32_t(uint16_t(int16_t(std::lround(value)))), 2);
    }
    std::ofstream file(path, std::ios::binary);
    file.write(out.data(), std::streamsize(out.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

inline std::string diskAudioPath()
{
    const char* path = std::getenv("SDL_DISKAUDIOFILE");
    return path ? path : "";
}

// Bytes the disk driver has written so far, rounded down to whole output frames.
inline uint64_t outputSize()
{
    struct stat info;
    if (stat(diskAudioPath().c_str(), &info) != 0)
        return 0;
    return uint64_t(info.st_size) / kBytesPerOutputFrame * kBytesPerOutputFrame;
}

// The left channel of the frames the device outputs from byte offset on. Waits for the driver to
// write them; an empty result means it never did (the device is not running).
inline std::vector<int16_t> recordFrom(uint64_t offset, int frames)
{
    const uint64_t end = offset + uint64_t(frames) * kBytesPerOutputFrame;
    for (int wait = 0; outputSize() < end && wait < 3000; ++wait)
        SDL_Delay(10);
    if (outputSize() < end)
        return {};
    std::ifstream file(diskAudioPath(), std::ios::binary);
    file.seekg(std::streamoff(offset));
    std::vector<int16_t> interleaved(static_cast<size_t>(frames) * 2);
    file.read(reinterpret_cast<char*>(interleaved.data()), std::streamsize(interleaved.size() * sizeof(int16_t)));
    if (!file)
        return {};
    std::vector<int16_t> left(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        left[size_t(i)] = interleaved[size_t(i) * 2];
    return left;
}

// Both channels of the frames the device outputs from byte offset on, as recordFrom() waits for them.
struct Stereo {
    std::vector<int16_t> left;
    std::vector<int16_t> right;
};

inline Stereo recordStereoFrom(uint64_t offset, int frames)
{
    const uint64_t end = offset + uint64_t(frames) * kBytesPerOutputFrame;
    for (int wait = 0; outputSize() < end && wait < 3000; ++wait)
        SDL_Delay(10);
    Stereo heard;
    if (outputSize() < end)
        return heard;
    std::ifstream file(diskAudioPath(), std::ios::binary);
    file.seekg(std::streamoff(offset));
    std::vector<int16_t> interleaved(static_cast<size_t>(frames) * 2);
    file.read(reinterpret_cast<char*>(interleaved.data()), std::streamsize(interleaved.size() * sizeof(int16_t)));
    if (!file)
        return heard;
    for (size_t i = 0; i < size_t(frames); ++i) {
        heard.left.push_back(interleaved[i * 2]);
        heard.right.push_back(interleaved[i * 2 + 1]);
    }
    return heard;
}

// Index of the first sample louder than the threshold, or the size when there is none.
inline size_t firstLoud(const std::vector<int16_t>& samples, int threshold = 200)
{
    for (size_t i = 0; i < samples.size(); ++i)
        if (std::abs(int(samples[i])) > threshold)
            return i;
    return samples.size();
}

// The peak amplitude of the frequency's component in window() samples from start (Goertzel).
inline double amplitudeAt(const std::vector<int16_t>& samples, size_t start, double frequency)
{
    if (start + window() > samples.size())
        return -1.0;
    const double coefficient = 2.0 * std::cos(2.0 * kPi * frequency / outputRate());
    double previous = 0.0, beforePrevious = 0.0;
    for (size_t i = start; i < start + window(); ++i) {
        const double current = samples[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power =
        previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / double(window());
}

inline double rms(const std::vector<int16_t>& samples, size_t start)
{
    if (start + window() > samples.size())
        return -1.0;
    double sum = 0.0;
    for (size_t i = start; i < start + window(); ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(window()));
}

// The folder for this program's WAV files, made by the first audio test suite.
inline std::string& scratchFolder()
{
    static std::string path;
    return path;
}

// Frames to record after a play so that the whole of a sound of the given length is in them: the
// device may still write up to a few chunks mixed before the play.
inline int framesCovering(double seconds)
{
    return (3 * 4096 + int(seconds * kRate) + kWindow) * (outputRate() / kRate);
}

// Waits until everything mixed before now has left the device, so that a recording started next
// hears nothing of an earlier sound: sdl12-compat's conversion holds more of it in flight than the
// classic SDL's single device buffer does.
inline void waitForSilence()
{
    const int frames = 2 * 4096 * (outputRate() / kRate);
    for (int attempt = 0; attempt < 20; ++attempt) {
        const std::vector<int16_t> recent = recordFrom(outputSize(), frames);
        if (recent.empty() || firstLoud(recent, 100) == recent.size())
            return;
    }
}

// The shared engine with the disk driver; every test starts and ends with silence, empty registries
// and full volumes, whatever the test before it left.
class AudioTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testing_support::sharedEngine();
        if (scratchFolder().empty())
            scratchFolder() = testing_support::makeTempDir();
    }

    void SetUp() override
    {
        testing_support::sharedEngine();
        manager = g_pSoundManager;
        ASSERT_NE(nullptr, manager);
        char name[32] = "";
        ASSERT_NE(nullptr, SDL_AudioDriverName(name, sizeof(name))) << "no audio device is open";
        ASSERT_STREQ("disk", name) << "the audio tests listen through SDL's disk driver";
        reset();
        waitForSilence();
    }

    void TearDown() override
    {
        reset();
    }

    void reset()
    {
        // What the mixing tests change: master, category volumes, pauses and budgets, the listener,
        // the music's pause and end notice.
        manager->setMasterVolume(1.0f);
        for (const char* category : {"effects", "voice", "ui", "music"}) {
            manager->setCategoryVolume(category, 1.0f);
            manager->resumeCategory(category);
            manager->setCategoryBudget(category, 0, EVoicePolicy::StopOldest);
        }
        manager->followCamera();
        manager->setMusicEndCallback(nullptr);
        manager->hasMusicEnded();
        Mix_HookMusicFinished(nullptr);
        Mix_HaltChannel(-1);
        manager->haltMusic();
        manager->freeAllSounds();
        manager->freeAllMusic();
        manager->setSoundVolume(MIX_MAX_VOLUME);
        manager->setMusicVolume(MIX_MAX_VOLUME);
    }

    // A sine WAV in this program's folder, written once per frequency, length and amplitude.
    static std::string sine(double frequency, double seconds, int amplitude = 8000)
    {
        const std::string path = scratchFolder() + "/sine_" + std::to_string(int(frequency)) + "_" +
                                 std::to_string(int(seconds * 1000)) + "_" + std::to_string(amplitude) + ".wav";
        struct stat info;
        if (stat(path.c_str(), &info) != 0)
            writeSineWav(path, frequency, seconds, amplitude);
        return path;
    }

    CSoundManager* manager = nullptr;
};

}  // namespace audio_test

#endif
