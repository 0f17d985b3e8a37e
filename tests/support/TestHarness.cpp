#include "tests/support/TestHarness.h"

#include "engine/core/Engine.h"
#include "engine/core/Registry.h"
#include "engine/graphics/GraphicsCore.h"
#include "engine/input/EventManager.h"
#include "engine/texture/Texture.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace testing_support {

namespace {

// $TMPDIR when set, as mktemp does; /tmp otherwise.
std::string temporaryFolder()
{
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

std::string temporaryPath(const char* stem)
{
    std::string name = temporaryFolder() + "/quarl_" + stem + "_XXXXXX";
    const int fd = mkstemp(&name[0]);
    if (fd < 0)
        throw std::runtime_error("cannot make a temporary file");
    close(fd);
    return name;
}

// The folders makeTempDir() made, removed with everything in them when the test program ends.
// Only by the process that made them: a forked child that exits must not take its parent's files.
class CTempFolders {
public:
    CTempFolders()
        : owner(getpid())
    {
    }
    ~CTempFolders()
    {
        if (getpid() != owner)
            return;
        for (const std::string& path : paths) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
    void add(const std::string& path)
    {
        paths.push_back(path);
    }

private:
    pid_t owner;
    std::vector<std::string> paths;
};

CTempFolders& tempFolders()
{
    static CTempFolders folders;
    return folders;
}

void flushAll()
{
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

int redirect(int fd, const std::string& path)
{
    flushAll();
    const int saved = dup(fd);
    const int target = open(path.c_str(), O_WRONLY | O_TRUNC);
    dup2(target, fd);
    close(target);
    return saved;
}

std::string restore(int fd, int saved, const std::string& path)
{
    flushAll();
    dup2(saved, fd);
    close(saved);
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace

CEngine& sharedEngine()
{
    static std::unique_ptr<CEngine> engine;
    if (!engine) {
        if (std::getenv("DISPLAY") == nullptr)
            throw std::runtime_error("the window tests need an X server in DISPLAY");
        CStdoutCapture quiet;
        quiet.start();
        engine.reset(new CEngine());
        engine->setVideoMode(1024, 768, 24, false, true);
        quiet.lines();
    }
    return *engine;
}

CEngine& sharedBlankFrame()
{
    CEngine& engine = sharedEngine();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    return engine;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> result;
    std::string current;
    for (char c : text) {
        if (c == '\n') {
            result.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        result.push_back(current);
    return result;
}

std::vector<std::string> startUpLines()
{
    return {"",
            "Quarl Engine version 0.02...",
            "",
            "Initialize Graphics Core...done",
            "Initialize Texture Manager...done",
            "Initialize Window Manager...done",
            "Initialize Event Manager...done",
            "Initialize Utils...done",
            "Initialize Sound Manager...done",
            "Initialize Shader Manager...done",
            "Initialize the Camera...done",
            "Initialize the Camera Manager...done",
            "Initialize the Font Manager...done"};
}

std::vector<std::string> builtInShaderLines()
{
    return {"",
            "-------------========= Loading built in shaders ==========------------",
            "",
            "Loading simple texture shader...",
            "Loading simple color shader...",
            "Loading heightmap texture shader...",
            "Loading Directional Per Pixel Diffuse lightning shader...",
            "Loading Directional Per Vertex Diffuse lightning shader...",
            "Loading Point Per Pixel lightning shader...",
            "Loading Spot Per Pixel lightning shader...",
            "Loading Toon shader...",
            "Loading vertex diffuse light with texture shader...",
            "Loading pixel diffuse light with texture shader...",
            ""};
}

CStdoutCapture::CStdoutCapture()
    : savedFd(-1),
      path(temporaryPath("stdout"))
{
}

CStdoutCapture::~CStdoutCapture()
{
    stop();
    std::remove(path.c_str());
}

void CStdoutCapture::start()
{
    stop();
    savedFd = redirect(1, path);
}

void CStdoutCapture::stop()
{
    if (savedFd >= 0) {
        captured = restore(1, savedFd, path);
        savedFd = -1;
    }
}

std::vector<std::string> CStdoutCapture::lines()
{
    stop();
    return splitLines(captured);
}

std::string CStdoutCapture::text()
{
    stop();
    return captured;
}

CStderrCapture::CStderrCapture()
    : savedFd(-1),
      path(temporaryPath("stderr"))
{
}

CStderrCapture::~CStderrCapture()
{
    lines();
    std::remove(path.c_str());
}

void CStderrCapture::start()
{
    savedFd = redirect(2, path);
}

std::vector<std::string> CStderrCapture::lines()
{
    if (savedFd >= 0) {
        captured = restore(2, savedFd, path);
        savedFd = -1;
    }
    return splitLines(captured);
}

void drainEvents()
{
    SDL_Event event;
    // The X server may still be delivering (expose, focus, motion); drain until two quiet pumps.
    for (int quiet = 0; quiet < 2;) {
        SDL_Delay(5);
        if (SDL_PollEvent(&event)) {
            quiet = 0;
            while (SDL_PollEvent(&event)) { }
        } else {
            ++quiet;
        }
    }
    // What the engine's filter already took from SDL is waiting in the event manager.
    if (g_pEventManager != nullptr)
        g_pEventManager->discardWaiting();
}

void pushEvent(SDL_Event event)
{
    SDL_PushEvent(&event);
}

void pushKey(bool down, SDLKey key)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.type = event.type;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    pushEvent(event);
}

void pushMouseButton(bool down, Uint8 button, int x, int y)
{
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.type = event.type;
    event.button.button = button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = static_cast<Uint16>(x);
    event.button.y = static_cast<Uint16>(y);
    pushEvent(event);
}

void pushQuit()
{
    SDL_Event event{};
    event.type = SDL_QUIT;
    pushEvent(event);
}

void movePointer(int x, int y)
{
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
    waitForPointerAt(x, y);
}

void waitForPointerAt(int x, int y)
{
    // X reports a move some time later: wait, up to a second, until SDL has the pointer there.
    for (int poll = 0; poll < 200; ++poll) {
        SDL_PumpEvents();
        int atX = -1, atY = -1;
        SDL_GetMouseState(&atX, &atY);
        if (atX == x && atY == y)
            return;
        SDL_Delay(5);
    }
}

long peakKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

void resetPeak()
{
    // "5" to clear_refs starts a new peak from the current resident size.
    std::ofstream("/proc/self/clear_refs") << "5";
}

std::string makeTempDir()
{
    std::string name = temporaryFolder() + "/quarl_test_XXXXXX";
    if (mkdtemp(&name[0]) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    tempFolders().add(name);
    return name;
}

ScopedEnvironment::ScopedEnvironment(const std::string& variable, const std::string& value)
    : name(variable),
      wasSet(std::getenv(variable.c_str()) != nullptr)
{
    if (wasSet)
        saved = std::getenv(variable.c_str());
    if (value.empty())
        unsetenv(name.c_str());
    else
        setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (wasSet)
        setenv(name.c_str(), saved.c_str(), 1);
    else
        unsetenv(name.c_str());
}

void writeSolidPng(const std::string& path, int width, int height, const std::string& colour)
{
    const std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
                                " 'xc:" + colour + "' 'PNG32:" + path + "'";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("convert failed: " + command);
}

void clearCursors()
{
    CGraphicsCore* core = g_pGraphicsCore;
    delete core->cursor;
    delete core->altCursor;
    core->cursor = nullptr;
    core->altCursor = nullptr;
    core->currentCursor = nullptr;
    core->hasCursor = false;
    core->hasAltCursor = false;
}

Rgba readPixel(int x, int y)
{
    const SDL_Surface* screen = SDL_GetVideoSurface();
    const int windowHeight = screen ? screen->h : 0;
    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, windowHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    return Rgba{pixel[0], pixel[1], pixel[2], pixel[3]};
}

std::vector<uint8_t> readBackRgba(int x, int y, int w, int h)
{
    const SDL_Surface* screen = SDL_GetVideoSurface();
    const int windowHeight = screen ? screen->h : 0;
    std::vector<uint8_t> pixels(std::size_t(w > 0 ? w : 0) * std::size_t(h > 0 ? h : 0) * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, windowHeight - y - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<unsigned char> readWindowRgb(unsigned int buffer)
{
    const SDL_Surface* screen = SDL_GetVideoSurface();
    const std::size_t w = screen ? std::size_t(screen->w) : 0, h = screen ? std::size_t(screen->h) : 0;
    std::vector<unsigned char> bottomUp(w * h * 3), topDown(w * h * 3);
    glReadBuffer(buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, GLsizei(w), GLsizei(h), GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    glReadBuffer(GL_BACK);
    for (std::size_t y = 0; y < h; ++y)
        std::memcpy(&topDown[y * w * 3], &bottomUp[(h - 1 - y) * w * 3], w * 3);
    return topDown;
}

std::vector<unsigned char> readImageRgb(const std::string& path, int* width, int* height)
{
    std::vector<unsigned char> rgb;
    SDL_Surface* image = IMG_Load(path.c_str());
    if (image == nullptr)
        return rgb;
    *width = image->w;
    *height = image->h;
    const int bytes = image->format->BytesPerPixel;
    for (int y = 0; y < image->h; ++y)
        for (int x = 0; x < image->w; ++x) {
            Uint32 value = 0;
            std::memcpy(&value, static_cast<const Uint8*>(image->pixels) + y * image->pitch + x * bytes, bytes);
            Uint8 r, g, b;
            SDL_GetRGB(value, image->format, &r, &g, &b);
            rgb.insert(rgb.end(), {r, g, b});
        }
    SDL_FreeSurface(image);
    return rgb;
}

int diskAudioRate(int mixerRate)
{
    // sdl12-compat numbers itself 1.2.50 and up.
    const bool compat = SDL_Linked_Version()->patch >= 50;
    return compat && mixerRate < 44100 ? 44100 : mixerRate;
}

}  // namespace testing_support
