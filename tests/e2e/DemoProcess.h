#ifndef TESTS_E2E_DEMOPROCESS_H
#define TESTS_E2E_DEMOPROCESS_H

#include <gtest/gtest.h>
// After gtest: Xlib defines macros (None, Bool) that collide with gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tests/support/TestHarness.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

// A demo binary as a child process, its standard output read through a pipe, for the end-to-end
// tests that drive it through the X server in DISPLAY.
namespace e2e {

class DemoProcess {
public:
    // Starts binary in the working directory with extra environment variables (NAME, value).
    DemoProcess(const char* binary, const char* workingDirectory,
                const std::vector<std::pair<std::string, std::string>>& environment = {})
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            for (const auto& variable : environment)
                setenv(variable.first.c_str(), variable.second.c_str(), 1);
            if (chdir(workingDirectory) != 0)
                _exit(126);
            execl(binary, binary, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        outFd = fds[0];
        fcntl(outFd, F_SETFL, O_NONBLOCK);
    }
    ~DemoProcess()
    {
        if (pid > 0 && !exited) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (outFd >= 0)
            close(outFd);
    }
    DemoProcess(const DemoProcess&) = delete;
    DemoProcess& operator=(const DemoProcess&) = delete;

    void readAvailable()
    {
        char buffer[4096];
        ssize_t n;
        while ((n = read(outFd, buffer, sizeof(buffer))) > 0)
            output.append(buffer, static_cast<size_t>(n));
    }

    // Waits for the process to end, reading its output; false when it outlives the time limit.
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
        return testing_support::splitLines(output);
    }

    pid_t pid = -1;
    int outFd = -1;
    bool exited = false;
    std::string output;
};

// The window whose title starts with the caption: once a second the frame rate is appended to it.
inline Window findNamed(Display* display, Window window, const char* name)
{
    char* windowName = nullptr;
    if (XFetchName(display, window, &windowName) && windowName) {
        const bool match = std::strncmp(windowName, name, std::strlen(name)) == 0;
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
            found = findNamed(display, children[i], name);
        if (children)
            XFree(children);
    }
    return found;
}

// Waits until a window carries the caption (the demo's init() has finished by then).
inline Window waitForWindow(Display* display, DemoProcess& demo, const char* caption, int seconds)
{
    for (int tick = 0; tick < seconds * 10; ++tick) {
        demo.readAvailable();
        if (Window window = findNamed(display, DefaultRootWindow(display), caption))
            return window;
        usleep(100000);
    }
    return 0;
}

// Windows of demos that have just ended vanish while findNamed() walks the tree: such a BadWindow
// only means "not this one". Xlib's default handler would end the test process instead.
inline int ignoreVanishedWindows(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow)
        return 0;
    char text[256];
    XGetErrorText(display, error->error_code, text, sizeof(text));
    ADD_FAILURE() << "X error: " << text;
    return 0;
}

// A test with its own connection to the X server the demos run on.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XSetErrorHandler(ignoreVanishedWindows);
        display = XOpenDisplay(nullptr);
        ASSERT_NE(nullptr, display) << "the end-to-end tests need an X server in DISPLAY";
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }

    Display* display = nullptr;
};

}  // namespace e2e

#endif
