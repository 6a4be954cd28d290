// The end of the session as a real host process meets it: SIGTERM, SIGHUP,
// SIGINT and SIGQUIT, a terminal that hangs up, and a cancelled end sent by
// tolvane-pc; and kill -9, which it cannot answer, followed by the next start.
// In a real terminal (tmux) on a PC on the virtual clock.
// tests/program/companion_test.cpp sends every other signal.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "date_record.h"
#include "test_states.h"
#include "tmux_terminal.h"

namespace {

using tmuxtest::Terminal;

// Left by an earlier test: 1998-03-01 08:00:00.
const std::vector<unsigned char> kEarlierRecord = Record(1998, 3, 0, 1, 8, 0, 0, 0);
// What a test started at 2026-06-15 10:00:00 saves, up to the seconds.
const std::vector<unsigned char> kThisRecordToSeconds = [] {
    std::vector<unsigned char> bytes = Record(2026, 6, 1, 15, 10, 0, 0, 0);
    bytes.resize(14);
    return bytes;
}();

std::vector<unsigned char> DateFile(const Terminal &t)
{
    std::ifstream in(t.Directory() / "datesave.tmp", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteDateFile(const Terminal &t, const std::vector<unsigned char> &bytes)
{
    std::ofstream out(t.Directory() / "datesave.tmp", std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The program's pid from the PC's table of running programs; 0 if not listed.
int ProgramPid(const Terminal &t)
{
    std::smatch m;
    std::string show = t.Pc("show");
    return std::regex_search(show, m, std::regex(R"(pid (\d+) .* tolvane )")) ? std::stoi(m[1]) : 0;
}

// Sends `signal` to the program; -1 when it is not listed, since kill() of pid
// 0 would signal this test's whole process group, ctest with it.
int SignalProgram(const Terminal &t, int signal)
{
    int pid = ProgramPid(t);
    return pid > 0 ? kill(pid, signal) : -1;
}

std::string OsLocalTime(const Terminal &t)
{
    std::smatch m;
    std::string show = t.Pc("show");
    return std::regex_search(show, m, std::regex(R"(OS local time:\s+(\S+ \S+))")) ? m[1].str()
                                                                                   : show;
}

// The program sets the clock in its own time once OK is pressed; the virtual
// clock stands still meanwhile.
bool ClockSetForTheTest(const Terminal &t)
{
    for (int i = 0; i < 100; ++i) {
        if (OsLocalTime(t).rfind("1999-12-31 23:59:55", 0) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A fresh PC and the program, its main dialog up, then on into `state`.
void StartIn(Terminal &t, State state, const std::string &shellPrefix = "", bool keepPane = true,
             bool withFix = false)
{
    ASSERT_TRUE(t.CreatePc("--virtual --start '2026-06-15 10:00:00'"));
    WriteDateFile(t, kEarlierRecord);
    t.Start(100, 36, shellPrefix, keepPane);
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    t.Keys("Enter");
    ASSERT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen)) << screen;
    if (withFix) {
        t.Keys("Tab Enter");  // Install Fix
        // The program waits on the PC's clock for the companion's atom, which
        // the companion takes in its own time.
        for (int i = 0; i < 100 && t.Screen().find("Fix Running") == std::string::npos; ++i) {
            if (t.Pc("show").find("_faltrem_running_") != std::string::npos)
                t.Pc("advance 50ms");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(t.WaitFor(std::regex("Fix Running"), &screen)) << screen;
        t.Keys("BTab");  // back to TEST
    }
    if (state == State::kIdle)
        return;
    t.Keys("Enter");  // TEST, the default button
    ASSERT_TRUE(t.WaitFor(std::regex("Continue with Test"), &screen)) << screen;
    if (state == State::kConfirming)
        return;
    t.Keys("Enter");  // OK
    // The clock must be set before time moves on, or midnight never comes.
    ASSERT_TRUE(ClockSetForTheTest(t)) << OsLocalTime(t);
    t.Pc("advance 7s");
    ASSERT_TRUE(t.WaitFor(std::regex("01-01-2000   00:00:0"), &screen)) << screen;
    if (state == State::kWatching)
        return;
    t.Keys("Tab Enter");  // StopClocks
    ASSERT_TRUE(t.WaitFor(std::regex("Test Result"), &screen)) << screen;
}

void ExpectNothingLeft(const Terminal &t, State state)
{
    EXPECT_EQ(OsLocalTime(t).substr(0, 18), "2026-06-15 10:00:0") << "the clock was not set back";
    std::vector<unsigned char> file = DateFile(t);
    if (ClockSet(state)) {
        file.resize(kThisRecordToSeconds.size());
        EXPECT_EQ(file, kThisRecordToSeconds);
    } else {
        EXPECT_EQ(file, kEarlierRecord);
    }
    std::string show = t.Pc("show");
    EXPECT_NE(show.find("running host programs: none"), std::string::npos) << show;
    EXPECT_NE(show.find("global atoms: none"), std::string::npos) << show;
}

void EndInEveryState(int signal)
{
    for (State state : {State::kIdle, State::kConfirming, State::kWatching, State::kVerdictUp}) {
        SCOPED_TRACE(Name(state));
        Terminal t;
        StartIn(t, state);
        int pid = ProgramPid(t);
        ASSERT_NE(pid, 0) << t.Pc("show");
        ASSERT_EQ(kill(pid, signal), 0);
        if (ClockSet(state)) {
            std::string screen;
            ASSERT_TRUE(
                t.WaitFor(std::regex("Tolvane -  End Session[\\s\\S]*Date Restored"), &screen))
                << screen;
            t.Keys("Enter");
        }
        EXPECT_EQ(t.ExitStatus(), "0");
        ExpectNothingLeft(t, state);
        EXPECT_EQ(t.Screen().find("StopClocks"), std::string::npos)
            << "the terminal was not given back";
    }
}

TEST(EndSessionSignals, SigtermInEveryStateUndoesTheTestAndEnds)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    EndInEveryState(SIGTERM);
}

TEST(EndSessionSignals, SighupInEveryStateUndoesTheTestAndEnds)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    EndInEveryState(SIGHUP);
}

TEST(EndSessionSignals, SigtermWithTheFixRunningStopsItBeforeTheProgramEnds)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    StartIn(t, State::kWatching, "", true, true);
    ASSERT_NE(t.Pc("show").find("faltrem"), std::string::npos) << "the companion is not running";
    ASSERT_EQ(SignalProgram(t, SIGTERM), 0);
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("Date Restored"), &screen)) << screen;
    t.Keys("Enter");
    EXPECT_EQ(t.ExitStatus(), "0");
    ExpectNothingLeft(t, State::kWatching);
}

// Ctrl+C as a signal is the close command in a terminal; a signal that would
// end a process and dump its core is an end it cannot refuse.
TEST(EndSessionSignals, SigintClosesAndSigquitEndsTheSessionBothPuttingTheDateBack)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    struct Case {
        int signal;
        bool closeCommand;  // else an end of the session, told with "Date Restored"
    } cases[] = {{SIGINT, true}, {SIGQUIT, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(strsignal(c.signal));
        Terminal t;
        StartIn(t, State::kWatching);
        ASSERT_EQ(SignalProgram(t, c.signal), 0);
        if (!c.closeCommand) {
            std::string screen;
            ASSERT_TRUE(t.WaitFor(std::regex("Date Restored"), &screen)) << screen;
            t.Keys("Enter");
        }
        EXPECT_EQ(t.ExitStatus(), "0");
        ExpectNothingLeft(t, State::kWatching);
    }
}

// The pane's shell outlives its terminal to report the exit status; the
// program's grace after an end it does not finish is cut short.
const char *const kHangUpSurvivingShell = "export TOLVANE_WAIT_TO_KILL_MS=1000; trap '' HUP; ";

TEST(EndSessionSignals, TerminalThatHangsUpMidTestStillGetsTheDateBackAndEnds)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    StartIn(t, State::kWatching, kHangUpSurvivingShell, false);
    tmuxtest::Run(t.Tmux("kill-server"));
    // Nobody is left to answer Date Restored: the program is ended after its grace.
    EXPECT_EQ(t.ExitStatus(std::chrono::seconds(10)), "0");
    ExpectNothingLeft(t, State::kWatching);
}

// The box of the cancelled end is still up when the terminal goes: the end
// that follows waits behind it, but not for ever.
TEST(EndSessionSignals, TerminalThatHangsUpAfterACancelledEndStillEndsTheProgram)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    StartIn(t, State::kWatching, kHangUpSurvivingShell, false);
    t.Pc("end-session --cancel");
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("Date Restored"), &screen)) << screen;
    tmuxtest::Run(t.Tmux("kill-server"));
    EXPECT_EQ(t.ExitStatus(std::chrono::seconds(10)), "0");
    ExpectNothingLeft(t, State::kWatching);
}

TEST(EndSessionSignals, RestartFromTolvanePcEndsTheProgramAndTheFixBeforeWindowsRestarts)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    StartIn(t, State::kWatching, "", true, true);
    // The restart waits for the programs to end, and this one waits for its box.
    auto restart = std::async(std::launch::async, [&t] { return t.Pc("restart"); });
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("Date Restored"), &screen)) << screen;
    t.Keys("Enter");
    EXPECT_EQ(restart.get(), "Windows restarted; 2 running host programs ended first\n");
    EXPECT_EQ(t.ExitStatus(), "0");
    ExpectNothingLeft(t, State::kWatching);
    EXPECT_NE(t.Pc("show").find("boot count 2"), std::string::npos) << t.Pc("show");
}

TEST(EndSessionSignals, CancelledEndFromTolvanePcLeavesTheProgramRunningInIdle)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    StartIn(t, State::kWatching);
    EXPECT_EQ(t.Pc("end-session --cancel"),
              "cancelled end of session delivered to 1 running host program\n");
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("Date Restored"), &screen)) << screen;
    t.Keys("Enter");
    EXPECT_EQ(OsLocalTime(t).substr(0, 18), "2026-06-15 10:00:0");

    t.Pc("advance 3s");
    EXPECT_TRUE(t.WaitFor(std::regex("06-15-2026   10:00:0[23]"), &screen))
        << "the display stands still\n"
        << screen;
    EXPECT_EQ(screen.find("Date Restored"), std::string::npos) << screen;
    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
}

// ---- Killed: the next start offers the date a killed test owes ----

bool NoteExists(const Terminal &t)
{
    return std::filesystem::exists(t.Directory() / "dateowed.tmp");
}

// Polls the screen until `pattern` has left it or a few seconds have gone.
bool Gone(const Terminal &t, const std::regex &pattern)
{
    for (int i = 0; i < 100; ++i) {
        if (!std::regex_search(t.Screen("again"), pattern))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Kills the program, then starts it again in a terminal of its own, past its
// About box: the screen then.
std::string KillAndStartAgain(Terminal &t)
{
    EXPECT_EQ(SignalProgram(t, SIGKILL), 0);
    EXPECT_EQ(t.ExitStatus(), "137");
    t.Start(100, 36, "", true, "again");
    std::string screen;
    EXPECT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen, "again")) << screen;
    t.Keys("Enter", "again");
    EXPECT_TRUE(t.WaitFor(std::regex("Date Not Restored|StopClocks"), &screen, "again")) << screen;
    return screen;
}

const std::regex kOfferAtStart(
    "Tolvane -  Date Not Restored[\\s\\S]*Tolvane ended during a test before it could set the "
    "date back ![\\s\\S]*06-15-2026   10:00:00[\\s\\S]*The clock now reads:[\\s\\S]*"
    "01-01-2000   00:00:0[\\s\\S]*Set the saved date and time again \\?");

TEST(Killed, InEveryStateTheNextStartOffersTheDateATestOwesAndYesSetsIt)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    for (State state : {State::kIdle, State::kConfirming, State::kWatching, State::kVerdictUp}) {
        SCOPED_TRACE(Name(state));
        Terminal t;
        StartIn(t, state);
        std::string screen = KillAndStartAgain(t);
        EXPECT_EQ(std::regex_search(screen, kOfferAtStart), ClockSet(state)) << screen;
        if (ClockSet(state)) {
            t.Keys("Enter", "again");  // Yes, the default
            EXPECT_TRUE(Gone(t, std::regex("Date Not Restored"))) << t.Screen("again");
        }
        EXPECT_FALSE(NoteExists(t));
        t.Keys("C-c", "again");
        EXPECT_EQ(t.ExitStatus(std::chrono::seconds(5), "again"), "0");
        ExpectNothingLeft(t, state);
    }
}

// The clock refuses the date back: it stays owed, and TEST offers it again
// rather than saving the clock of 2000 over it, until No forgets it.
TEST(Killed, TestAfterARefusedRestoreNeverSavesOverTheOwedDate)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    StartIn(t, State::kWatching);
    t.Pc("set set-time=denied");
    std::string screen = KillAndStartAgain(t);
    ASSERT_TRUE(std::regex_search(screen, kOfferAtStart)) << screen;
    t.Keys("Enter", "again");  // Yes
    ASSERT_TRUE(t.WaitFor(std::regex("Couldnt reset the date"), &screen, "again")) << screen;
    t.Keys("Enter", "again");
    ASSERT_TRUE(Gone(t, std::regex("Couldnt reset"))) << t.Screen("again");

    t.Keys("Enter", "again");  // TEST
    ASSERT_TRUE(t.WaitFor(std::regex("A new test would save over the date an earlier test "
                                     "has[\\s\\S]*06-15-2026   10:00:00"),
                          &screen, "again"))
        << screen;
    std::vector<unsigned char> file = DateFile(t);
    file.resize(kThisRecordToSeconds.size());
    EXPECT_EQ(file, kThisRecordToSeconds);
    EXPECT_TRUE(NoteExists(t));
    t.Keys("Tab Enter", "again");  // No: forgotten
    ASSERT_TRUE(Gone(t, std::regex("Date Not Restored"))) << t.Screen("again");
    EXPECT_FALSE(NoteExists(t));
    EXPECT_EQ(OsLocalTime(t).substr(0, 18), "2000-01-01 00:00:0");

    t.Keys("Enter", "again");  // TEST, now a test
    EXPECT_TRUE(t.WaitFor(std::regex("Continue with Test"), &screen, "again")) << screen;
    t.Keys("Escape", "again");
    t.Keys("C-c", "again");
    EXPECT_EQ(t.ExitStatus(std::chrono::seconds(5), "again"), "0");
}

}  // namespace
