#ifndef TESTS_SUPPORT_TESTHARNESS_H
#define TESTS_SUPPORT_TESTHARNESS_H

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

class CEngine;

// Shared helpers for tests that need the real window, the real event queue and real pixels.
// Everything runs against SDL 1.2 and Mesa under the X server in DISPLAY; nothing is mocked.
namespace testing_support {

// The engine of this test process with its 1024 by 768 2D window open, created on first use and
// kept until the process ends. Test files that build their own engines must not call it.
CEngine& sharedEngine();
// The shared engine, its window cleared to transparent black and the model-view at identity: the
// blank frame a drawing test starts from.
CEngine& sharedBlankFrame();

// Captures everything written to standard output (C and C++ streams alike) between start() and
// lines(), by pointing file descriptor 1 at a temporary file.
class CStdoutCapture {
public:
    CStdoutCapture();
    ~CStdoutCapture();
    void start();
    // Stops capturing and returns what was written, split at newlines (a last unterminated
    // piece is kept as a line of its own).
    std::vector<std::string> lines();
    std::string text();

private:
    void stop();
    int savedFd;
    std::string path;
    std::string captured;
};

// Same for standard error.
class CStderrCapture {
public:
    CStderrCapture();
    ~CStderrCapture();
    void start();
    std::vector<std::string> lines();

private:
    int savedFd;
    std::string path;
    std::string captured;
};

std::vector<std::string> splitLines(const std::string& text);
// The thirteen lines the engine's start-up writes when every manager comes up quietly.
std::vector<std::string> startUpLines();
// The lines loading the ten built-in shaders writes when every file loads: an empty line, the
// banner, an empty line, one line per shader in index order, an empty line.
std::vector<std::string> builtInShaderLines();

// Empties SDL's event queue, including what the X server still has for the window.
void drainEvents();

// The rate of what SDL's disk audio driver writes for a mixer opened at mixerRate. sdl12-compat
// opens the device at 44100 Hz at least and converts the mixer's output to that (the program still
// sees its own rate); the classic SDL writes the mixer's output as it is.
int diskAudioRate(int mixerRate);
// Puts events on SDL's queue exactly as SDL itself would have queued them.
void pushKey(bool down, SDLKey key);
void pushMouseButton(bool down, Uint8 button, int x, int y);
void pushQuit();
void pushEvent(SDL_Event event);
// Moves the real X pointer inside the window and waits (up to a second) until SDL reports it there.
void movePointer(int x, int y);
// Waits (up to a second) until SDL reports the pointer at (x, y), after a move made some other way.
void waitForPointerAt(int x, int y);

// A new empty folder under $TMPDIR (or /tmp) for the files a test writes, removed with its
// contents when the test program ends.
std::string makeTempDir();
// The peak resident memory of this process in kilobytes since the last resetPeak() (Linux's VmHWM).
long peakKilobytes();
void resetPeak();

// Sets an environment variable (empty value: unsets it) until the end of the scope, then puts back
// what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const std::string& name, const std::string& value);
    ~ScopedEnvironment();

private:
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    std::string name;
    std::string saved;
    bool wasSet;
};
// Writes a PNG of one colour (an ImageMagick colour such as "#ff0000" or "none") with an alpha
// channel, through ImageMagick's convert.
void writeSolidPng(const std::string& path, int width, int height, const std::string& colour);
// Restores the mouse cursor side of the graphics core to "no custom cursor", releasing the images.
void clearCursors();

struct Rgba {
    uint8_t r, g, b, a;
};
// Reads one pixel of the back buffer in window coordinates (origin at the top-left corner).
Rgba readPixel(int x, int y);
// A box of the back buffer given from the window's top-left corner, as RGBA rows in OpenGL's
// order: the box's bottom row first.
std::vector<uint8_t> readBackRgba(int x, int y, int w, int h);
// A whole buffer of the window (GL_BACK or GL_FRONT) as top-down RGB rows.
std::vector<unsigned char> readWindowRgb(unsigned int buffer);
// An image file through SDL_image as top-down RGB rows, with its size; empty when it does not load.
std::vector<unsigned char> readImageRgb(const std::string& path, int* width, int* height);

}  // namespace testing_support

#endif
