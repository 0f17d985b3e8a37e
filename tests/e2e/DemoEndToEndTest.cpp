// The real sprite_demo binary under the X server in DISPLAY: its log, a real Escape key press
// (an XTEST key event through xdotool) and the window's close request (WM_DELETE_WINDOW).
#include <gtest/gtest.h>
// After gtest: Xlib defines macros (None, Bool) that collide with gtest's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

const char* const kCaption = "Quarl Engine - Sprite Animation Demo";

// The demo as a child process whose standard output is read through a pipe.
class DemoProcess {
public:
    explicit DemoProcess(const char* workingDirectory = SOURCE_ROOT)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            if (chdir(workingDirectory) != 0)
                _exit(126);
            execl(SPRITE_DEMO_BINARY, SPRITE_DEMO_BINARY, static_cast<char*>(nullptr));
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
            const pid_t done = waitpid(pid, status, WNOHANG);
            if (done == pid) {
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

Window findNamed(Display* display, Window window, const char* name)
{
    char* windowName = nullptr;
    if (XFetchName(display, window, &windowName) && windowName) {
        const bool match = std::strcmp(windowName, name) == 0;
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

// Waits until the demo's window carries its caption (init() has finished by then).
Window waitForWindow(Display* display, DemoProcess& demo, int seconds)
{
    for (int tick = 0; tick < seconds * 10; ++tick) {
        demo.readAvailable();
        if (Window window = findNamed(display, DefaultRootWindow(display), kCaption))
            return window;
        usleep(100000);
    }
    return 0;
}

std::vector<std::string> expectedStartUp()
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
            "Initialize the Font Manager...done",
            ""};
}

// What follows the three driver lines: the built-in shaders, the pointer and the flame frames.
std::vector<std::string> expectedAfterDriverLines()
{
    std::vector<std::string> lines = {
        "",
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
        "",
        "Loading Font: Data/Font/font.tga",
        "Loading Texture: Data/MousePointer.png",
    };
    for (int frame = 1; frame <= 8; ++frame)
        lines.push_back("Loading Texture: Data/Flame/flame" + std::to_string(frame) + ".png");
    return lines;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

class DemoEndToEnd : public ::testing::Test {
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
    Display* display = nullptr;
};

} // namespace

TEST_F(DemoEndToEnd, LogsItsStartUpAndEndsOnARealEscapeKeyPress)
{
    DemoProcess demo;
    ASSERT_GT(demo.pid, 0);
    const Window window = waitForWindow(display, demo, 30);
    ASSERT_NE(0u, window) << "no window named \"" << kCaption << "\"; output so far:\n" << demo.output;

    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, window, &attributes));
    EXPECT_EQ(1024, attributes.width);
    EXPECT_EQ(768, attributes.height);

    const std::string command =
        "xdotool windowfocus --sync " + std::to_string(window) + " key Escape";
    ASSERT_EQ(0, std::system(command.c_str()));

    int status = 0;
    ASSERT_TRUE(demo.waitForExit(30, &status)) << "Escape did not end the demo";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));

    const std::vector<std::string> lines = demo.lines();
    const std::vector<std::string> startUp = expectedStartUp();
    ASSERT_GE(lines.size(), startUp.size() + 3) << demo.output;
    for (size_t i = 0; i < startUp.size(); ++i)
        EXPECT_EQ(startUp[i], lines[i]) << "line " << i + 1;
    EXPECT_TRUE(startsWith(lines[14], "Detected Video Card Vendor: ")) << lines[14];
    EXPECT_TRUE(startsWith(lines[15], "Detected Renderer: ")) << lines[15];
    EXPECT_TRUE(startsWith(lines[16], "Detected OpenGL version: ")) << lines[16];
    EXPECT_GT(lines[16].size(), std::string("Detected OpenGL version: ").size());
    const std::vector<std::string> rest = expectedAfterDriverLines();
    const std::vector<std::string> got(lines.begin() + 17, lines.end());
    EXPECT_EQ(rest, got);
}

TEST_F(DemoEndToEnd, WithoutItsGlyphSheetItEndsWithAFailureStatus)
{
    // A working folder with the shaders but no Data/: the font sheet cannot be read.
    char folder[] = "/tmp/quarl_nofont_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(folder));
    ASSERT_EQ(0, std::system(("cp -r " SOURCE_ROOT "/shaders " + std::string(folder)).c_str()));
    DemoProcess demo(folder);
    ASSERT_GT(demo.pid, 0);
    int status = 0;
    ASSERT_TRUE(demo.waitForExit(30, &status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(0, WEXITSTATUS(status));
    const std::vector<std::string> lines = demo.lines();
    ASSERT_GE(lines.size(), 2u) << demo.output;
    EXPECT_EQ("Loading Font: Data/Font/font.tga", lines[lines.size() - 2]);
    EXPECT_EQ("Could not open texture file: Data/Font/font.tga", lines.back());
}

TEST_F(DemoEndToEnd, ClosingTheWindowEndsItWithStatusZero)
{
    DemoProcess demo;
    ASSERT_GT(demo.pid, 0);
    const Window window = waitForWindow(display, demo, 30);
    ASSERT_NE(0u, window) << demo.output;

    // What a window manager sends when the user clicks the close button.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    ASSERT_TRUE(XSendEvent(display, window, False, NoEventMask, &close));
    XFlush(display);

    int status = 0;
    ASSERT_TRUE(demo.waitForExit(30, &status)) << "closing the window did not end the demo";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
}
