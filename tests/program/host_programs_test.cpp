// The host programs started as a script would start them, without a terminal,
// in a terminal that cannot show windows, or on a PC that is off: one line on
// stderr and status 2, nothing touched.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "pc/power.h"
#include "pc/session.h"
#include "pc/state.h"
#include "pc_cli.h"
#include "pc_fixture.h"
#include "pcio.h"

namespace {

using pctest::CliRun;
using pctest::TestPc;

// Closes the program's stderr and reaps it, killing it first if it has not
// ended (`ended`: its stderr closed); its exit status into `run` if it ended.
void Reap(pid_t child, int errFd, bool ended, CliRun &run)
{
    close(errFd);
    if (!ended)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (ended && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
}

// A host program started from a script, with `argument` if given: no
// terminal, input from /dev/null, a session of its own. Status -1 if it has
// not ended within 10 s; it is killed then.
CliRun RunWithoutTerminal(const std::string &program, const char *argument = nullptr)
{
    std::string path = std::string(TOLVANE_BINARY_DIR) + "/" + program;
    int err[2];
    if (pipe(err) != 0)
        return {-1, "", "pipe"};
    pid_t child = fork();
    if (child == 0) {
        setsid();
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(err[1], 2);
        close(err[0]);
        execl(path.c_str(), path.c_str(), argument, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(err[1]);
    CliRun run{-1, "", ""};
    bool ended = false;  // its stderr closed: the program is on its way out
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ended) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{err[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[512];
        ssize_t got = read(err[0], buffer, sizeof buffer);
        if (got > 0)
            run.err.append(buffer, static_cast<std::size_t>(got));
        else
            ended = true;
    }
    Reap(child, err[0], ended, run);
    return run;
}

// Tolvane in a terminal of type `term` (a pseudo-terminal of the test's),
// its stderr apart. `shown` gets every byte it wrote to the terminal.
CliRun RunInTerminal(const char *term, std::string &shown)
{
    std::string path = std::string(TOLVANE_BINARY_DIR) + "/tolvane";
    int err[2];
    if (pipe(err) != 0)
        return {-1, "", "pipe"};
    int terminal = -1;
    winsize size{};
    size.ws_row = 36;
    size.ws_col = 100;
    pid_t child = forkpty(&terminal, nullptr, nullptr, &size);
    if (child == 0) {
        dup2(err[1], 2);
        close(err[0]);
        setenv("TERM", term, 1);
        execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(err[1]);
    CliRun run{-1, "", ""};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        pollfd fds[2] = {{err[0], POLLIN, 0}, {terminal, POLLIN, 0}};
        if (poll(fds, 2, 100) <= 0)
            continue;
        char buffer[512];
        if (fds[1].revents & POLLIN) {
            ssize_t got = read(terminal, buffer, sizeof buffer);
            if (got > 0)
                shown.append(buffer, static_cast<std::size_t>(got));
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            ssize_t got = read(err[0], buffer, sizeof buffer);
            if (got > 0)
                run.err.append(buffer, static_cast<std::size_t>(got));
            else
                ended = true;
        }
    }
    Reap(child, err[0], ended, run);
    // Whatever it wrote last is still in the terminal.
    pollfd rest{terminal, POLLIN, 0};
    char buffer[512];
    ssize_t got;
    while (poll(&rest, 1, 0) > 0 && (got = read(terminal, buffer, sizeof buffer)) > 0)
        shown.append(buffer, static_cast<std::size_t>(got));
    close(terminal);
    return run;
}

TEST(HostPrograms, StartedOnAPcThatIsOffTheySaySoAndEnd)
{
    TestPc pc;
    pc::PowerOff();
    for (const char *program : {"tolvane", "faltrem.exe"}) {
        SCOPED_TRACE(program);
        CliRun run = RunWithoutTerminal(program);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(
            run.err,
            std::string(program) +
                ": the simulated PC is switched off; switch it on with 'tolvane-pc power on'\n");
    }
    EXPECT_TRUE(pc::ListRunningPrograms().empty());
}

TEST(HostPrograms, StartedOnADamagedPcTheyNameWhatIsWrongAndEnd)
{
    TestPc pc;
    pc::detail::Attached()->rtc.index = 200;
    struct Case {
        const char *program, *argument;
    } cases[] = {{"tolvane", nullptr}, {"faltrem.exe", nullptr}, {"tolvane-pc", "show"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.program);
        CliRun run = RunWithoutTerminal(c.program, c.argument);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, std::string(c.program) + ": " + pc.Directory() +
                               "/state is damaged: rtc.index is 200, outside 0..127; replace it "
                               "with 'tolvane-pc create --force'\n");
    }
}

// A program killed while it held the PC (interrupts off, here) leaves its
// lock: the next program to start takes it over and says so first.
TEST(HostPrograms, AfterAProgramWasKilledHoldingThePcTheNextOneSaysSoAndGoesOn)
{
    TestPc pc("2026-06-15 10:00:00");
    pid_t holder = 0;
    ASSERT_NO_FATAL_FAILURE(pctest::KillAProcessHoldingThePc(holder));

    CliRun run = RunWithoutTerminal("tolvane");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "tolvane: the PC's lock was held by process " + std::to_string(holder) +
                           ", which has ended without letting go; taken over, and the PC's "
                           "state checked\n"
                           "tolvane: needs a terminal to show its windows\n");
}

TEST(HostPrograms, TolvaneStartedWithoutATerminalSaysSoAndEndsAtOnce)
{
    TestPc pc("2026-06-15 10:00:00");
    CliRun run = RunWithoutTerminal("tolvane");
    EXPECT_EQ(run.status, 2) << "still running after 10 s: " << run.err;
    EXPECT_EQ(run.err, "tolvane: needs a terminal to show its windows\n");
    EXPECT_TRUE(pc::ListRunningPrograms().empty());
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2026) << "the clock was touched";
}

// A terminal that cannot put its cursor anywhere cannot show a window:
// Tolvane says so in one line and leaves the terminal untouched.
TEST(HostPrograms, TolvaneInATerminalWithoutCursorAddressingSaysSoAndEnds)
{
    TestPc pc("2026-06-15 10:00:00");
    for (const char *term : {"dumb", "no-such-terminal"}) {
        SCOPED_TRACE(term);
        std::string shown;
        CliRun run = RunInTerminal(term, shown);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(run.err, "tolvane: this terminal (TERM=" + std::string(term) +
                               ") cannot show windows; use a terminal such as xterm\n");
        EXPECT_EQ(shown, "") << "written to the terminal";
    }
    EXPECT_TRUE(pc::ListRunningPrograms().empty());
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2026) << "the clock was touched";
}

}  // namespace
