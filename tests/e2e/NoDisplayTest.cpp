// The real sprite_demo binary on a terminal (a pseudo-terminal) with no X display: one line says
// there is no display and how to get one, nothing switches the terminal's screen or modes, and the
// program ends with a failure status.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct TerminalRun {
    std::string output;  // everything the program wrote to its terminal, standard error included
    int status = 0;
    bool ended = false;
    bool modesKept = false;
};

// Runs the demo on a new pseudo-terminal with DISPLAY unset (display null) or set.
TerminalRun runOnTerminal(const char* display)
{
    TerminalRun run;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0)
        return run;
    if (pid == 0) {
        const rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        if (display)
            setenv("DISPLAY", display, 1);
        else
            unsetenv("DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        if (chdir(SOURCE_ROOT) != 0)
            _exit(126);
        execl(SPRITE_DEMO_BINARY, SPRITE_DEMO_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    termios before{};
    tcgetattr(master, &before);
    for (int tick = 0; tick < 600; ++tick) {
        pollfd pfd{master, POLLIN, 0};
        if (poll(&pfd, 1, 50) > 0) {
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof(buffer));
            if (n > 0) {
                run.output.append(buffer, std::size_t(n));
            } else {
                if (run.ended)
                    break;      // the terminal's last user is gone and everything was read
                usleep(50000);  // hung up while no one holds the terminal: wait for the end
            }
        }
        if (!run.ended && waitpid(pid, &run.status, WNOHANG) == pid) {
            run.ended = true;
            termios after{};
            tcgetattr(master, &after);
            run.modesKept = before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag &&
                            before.c_oflag == after.c_oflag;
        }
        if (run.ended && poll(&pfd, 1, 0) <= 0)
            break;
    }
    if (!run.ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    close(master);
    return run;
}

// A display number with no X server behind it: :99 unless a server holds it (xvfb-run -a starts
// at 99), else the next free one.
std::string absentDisplay()
{
    for (int number = 99; number < 200; ++number) {
        struct stat info;
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        if (stat(socket.c_str(), &info) != 0 && stat(lock.c_str(), &info) != 0)
            return ":" + std::to_string(number);
    }
    return ":199";
}

void expectOneClearLineAndAnUntouchedTerminal(const TerminalRun& run, const std::string& why)
{
    ASSERT_TRUE(run.ended) << "the demo did not end; it wrote:\n" << run.output;
    // Status 1, not an abort: the engine's handler reports the failure and exits.
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
    EXPECT_EQ(std::string::npos, run.output.find('\x1b')) << "an escape sequence reached the terminal";
    EXPECT_TRUE(run.modesKept);
    // SDL's own text (which differs between SDL versions) between the prefix and the hint.
    const std::string prefix = "Error: SDL Could not be initialized: ";
    const std::string hint = "; no display to open the window on (" + why +
                             "); set DISPLAY to a running X server, or run the program under xvfb-run\r\n";
    const std::size_t start = run.output.find(prefix), end = run.output.find(hint);
    EXPECT_TRUE(start != std::string::npos && end != std::string::npos && start < end &&
                run.output.find('\n', start) > end)
        << run.output;
    EXPECT_EQ(std::string::npos, run.output.find("Video Surface")) << run.output;
}

}  // namespace

TEST(NoDisplay, WithDisplayUnsetOneLineSaysSoAndTheTerminalIsUntouched)
{
    const TerminalRun run = runOnTerminal(nullptr);
    expectOneClearLineAndAnUntouchedTerminal(run, "DISPLAY is not set");
}

TEST(NoDisplay, WithADisplayNoServerHoldsOneLineNamesIt)
{
    const std::string display = absentDisplay();
    const TerminalRun run = runOnTerminal(display.c_str());
    expectOneClearLineAndAnUntouchedTerminal(run, "cannot connect to the X display \"" + display + "\"");
}
