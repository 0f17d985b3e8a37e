// The real sprite_demo binary with the audio driver chosen through SDL_AUDIODRIVER: a driver that
// cannot open (no audio device) and SDL's dummy driver. The demo must start, show its window and
// end on a real Escape key press (an XTEST key event through xdotool) in both cases.
#include <gtest/gtest.h>
// After gtest: Xlib defines macros (None, Bool) that collide with gtest's names.
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const kDemoCaption = "Quarl Engine - Sprite Animation Demo";

// The demo as a child process with its own audio driver, standard output read through a pipe.
class AudioDemoProcess {
public:
    explicit AudioDemoProcess(const char* audioDriver)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            setenv("SDL_AUDIODRIVER", audioDriver, 1);
            if (chdir(SOURCE_ROOT) != 0)
                _exit(126);
            execl(SPRITE_DEMO_BINARY, SPRITE_DEMO_BINARY, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        outFd = fds[0];
        fcntl(outFd, F_SETFL, O_NONBLOCK);
    }
    ~AudioDemoProcess()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (outFd >= 0)
            close(outFd);
    }

    void readAvailable()
    {
        char buffer[4096];
        ssize_t n;
        while ((n = read(outFd, buffer, sizeof(buffer))) > 0)
            output.append(buffer, static_cast<size_t>(n));
    }

    // Waits for the process to end, reading its output; false when it outlives the limit.
    bool waitForExit(int seconds, int* status)
    {
        for (int tick = 0; tick < seconds * 20; ++tick) {
            readAvailable();
            if (waitpid(pid, status, WNOHANG) == pid) {
                exited = true;
                pollfd pfd{outFd, POLLIN, 0};
                while (poll(&pfd, 1, 200) > 0 && (pfd.revents & POLLIN)) {
                    const size_t before = output.size();
                    readAvailable();
                    if (output.size() == before)
                        break;
                }
                return true;
            }
            usleep(50000);
        }
        return false;
    }

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        std::string current;
        for (char c : output) {
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

    pid_t pid = -1;
    int outFd = -1;
    bool exited = false;
    std::string output;
};

// The demo's window: its caption starts with the demo's title (the frame rate follows it once a
// second).
Window findDemoWindow(Display* display, Window window)
{
    char* windowName = nullptr;
    if (XFetchName(display, window, &windowName) && windowName) {
        const bool match = std::strncmp(windowName, kDemoCaption, std::strlen(kDemoCaption)) == 0;
        XFree(windowName);
        if (match)
            return window;
    }
    Window root, parent;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && !found; ++i)
            found = findDemoWindow(display, children[i]);
        if (children)
            XFree(children);
    }
    return found;
}

Window waitForDemoWindow(Display* display, AudioDemoProcess& demo, int seconds)
{
    for (int tick = 0; tick < seconds * 10; ++tick) {
        demo.readAvailable();
        if (Window window = findDemoWindow(display, DefaultRootWindow(display)))
            return window;
        usleep(100000);
    }
    return 0;
}

std::vector<std::string> thirteenStartUpLines()
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

class DemoAudioStartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(nullptr, display) << "the end-to-end tests need an X server in DISPLAY";
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }

    // Starts the demo with the driver, waits for its 1024 by 768 window, presses Escape and
    // returns what it logged; the demo must have ended with status 0.
    std::vector<std::string> runUntilEscape(const char* audioDriver)
    {
        AudioDemoProcess demo(audioDriver);
        EXPECT_GT(demo.pid, 0);
        if (demo.pid <= 0)
            return {};
        const Window window = waitForDemoWindow(display, demo, 30);
        EXPECT_NE(0u, window) << "no demo window; output so far:\n" << demo.output;
        if (window == 0)
            return {};
        XWindowAttributes attributes;
        EXPECT_TRUE(XGetWindowAttributes(display, window, &attributes));
        EXPECT_EQ(1024, attributes.width);
        EXPECT_EQ(768, attributes.height);

        const std::string command =
            "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
        EXPECT_EQ(0, std::system(command.c_str()));
        int status = 0;
        EXPECT_TRUE(demo.waitForExit(30, &status)) << "Escape did not end the demo";
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status)) << demo.output;
        return demo.lines();
    }

    Display* display = nullptr;
};

} // namespace

TEST_F(DemoAudioStartUp, WithoutAnAudioDeviceUnableToOpenAudioPrecedesTheSoundManagerLineOnce)
{
    const std::vector<std::string> lines = runUntilEscape("quarl-no-such-driver");
    std::vector<std::string> expected = thirteenStartUpLines();
    expected.insert(expected.begin() + 8, "Unable to open audio");
    ASSERT_GE(lines.size(), expected.size() + 1);
    const std::vector<std::string> startUp(lines.begin(), lines.begin() + 14);
    EXPECT_EQ(expected, startUp);
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), "Unable to open audio"));
    // Then the video mode's empty line and the driver lines, as with a device.
    EXPECT_EQ("", lines[14]);
    EXPECT_EQ(0u, lines[15].find("Detected Video Card Vendor: ")) << lines[15];
}

TEST_F(DemoAudioStartUp, WithSdlsDummyDriverTheStartUpIsTheThirteenLines)
{
    const std::vector<std::string> lines = runUntilEscape("dummy");
    const std::vector<std::string> expected = thirteenStartUpLines();
    ASSERT_GE(lines.size(), expected.size() + 1);
    const std::vector<std::string> startUp(lines.begin(), lines.begin() + 13);
    EXPECT_EQ(expected, startUp);
    EXPECT_EQ(0, std::count(lines.begin(), lines.end(), "Unable to open audio"));
    EXPECT_EQ("", lines[13]);
    EXPECT_EQ(0u, lines[14].find("Detected Video Card Vendor: ")) << lines[14];
}
