// The real program killed (kill -9, which it cannot answer) in each state of a
// test, then started again on the same PC in the same directory, in a real
// terminal (tmux) on the virtual clock: the date a killed test owes is offered
// back, and nothing lets a new test save over it.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tmux_terminal.h"

namespace {

using tmuxtest::Terminal;
using Bytes = std::vector<unsigned char>;

// Left by an earlier test that ended well: 1998-03-01 08:00:00.
const Bytes kEarlierRecord = {0xCE, 0x07, 3, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, 0, 0};
// What a test started at 2026-06-15 10:00:00 saves.
const Bytes kThisRecord = {0xEA, 0x07, 6, 0, 1, 0, 15, 0, 10, 0, 0, 0, 0, 0, 0, 0};

enum class State { kIdle, kConfirming, kWatching, kVerdictUp };

Bytes FileIn(const Terminal &t, const char *name)
{
    std::ifstream in(t.Directory() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool NoteExists(const Terminal &t)
{
    return std::filesystem::exists(t.Directory() / "dateowed.tmp");
}

std::string OsLocalTime(const Terminal &t)
{
    std::smatch m;
    std::string show = t.Pc("show");
    return std::regex_search(show, m, std::regex(R"(OS local time:\s+(\S+ \S+))")) ? m[1].str()
                                                                                   : show;
}

int ProgramPid(const Terminal &t)
{
    std::smatch m;
    std::string show = t.Pc("show");
    return std::regex_search(show, m, std::regex(R"(pid (\d+) .* tolvane )")) ? std::stoi(m[1]) : 0;
}

// The program sets the clock in its own time once OK is pressed.
bool ClockSetForTheTest(const Terminal &t)
{
    for (int i = 0; i < 100; ++i) {
        if (OsLocalTime(t).rfind("1999-12-31 23:59:55", 0) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A fresh PC at 2026-06-15 10:00:00 and the program in `state`; then it is
// killed. The clock stands wherever the test had put it.
void KillIn(Terminal &t, State state)
{
    ASSERT_TRUE(t.CreatePc("--virtual --start '2026-06-15 10:00:00'"));
    std::ofstream(t.Directory() / "datesave.tmp", std::ios::binary)
        .write(reinterpret_cast<const char *>(kEarlierRecord.data()), 16);
    t.Start(100, 36);
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    t.Keys("Enter");
    ASSERT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen)) << screen;
    if (state != State::kIdle) {
        t.Keys("Enter");  // TEST
        ASSERT_TRUE(t.WaitFor(std::regex("Continue with Test"), &screen)) << screen;
    }
    if (state == State::kWatching || state == State::kVerdictUp) {
        t.Keys("Enter");  // OK
        ASSERT_TRUE(ClockSetForTheTest(t)) << OsLocalTime(t);
        t.Pc("advance 7s");
        ASSERT_TRUE(t.WaitFor(std::regex("01-01-2000   00:00:0"), &screen)) << screen;
    }
    if (state == State::kVerdictUp) {
        t.Keys("Tab Enter");  // StopClocks
        ASSERT_TRUE(t.WaitFor(std::regex("Test Result"), &screen)) << screen;
    }
    int pid = ProgramPid(t);
    ASSERT_NE(pid, 0) << t.Pc("show");
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    EXPECT_EQ(t.ExitStatus(), "137");
}

// Polls the screen until `pattern` has left it or a few seconds have gone.
bool Gone(const Terminal &t, const std::regex &pattern, const std::string &copy)
{
    for (int i = 0; i < 100; ++i) {
        if (!std::regex_search(t.Screen(copy), pattern))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Starts the program again in a terminal of its own, past its About box.
std::string StartAgain(Terminal &t)
{
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

TEST(OwedDateAfterAKill, EveryStateOfATestThenAStartThatSetsTheDateBack)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    struct Case {
        const char *what;
        State state;
        bool offered;
        const char *clockAfter;  // once the offer, if any, is answered Yes
        const Bytes &dateFile;
    } cases[] = {
        {"Idle", State::kIdle, false, "2026-06-15 10:00:00", kEarlierRecord},
        {"Confirming", State::kConfirming, false, "2026-06-15 10:00:00", kEarlierRecord},
        {"Watching", State::kWatching, true, "2026-06-15 10:00:00", kThisRecord},
        {"Judged, verdict up", State::kVerdictUp, true, "2026-06-15 10:00:00", kThisRecord},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Terminal t;
        KillIn(t, c.state);
        EXPECT_EQ(NoteExists(t), c.offered);
        std::string screen = StartAgain(t);
        EXPECT_EQ(std::regex_search(screen, kOfferAtStart), c.offered) << screen;
        if (c.offered) {
            t.Keys("Enter", "again");  // Yes, the default
            ASSERT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen, "again")) << screen;
        }
        EXPECT_EQ(OsLocalTime(t).substr(0, 19), c.clockAfter);
        EXPECT_EQ(FileIn(t, "datesave.tmp"), c.dateFile);
        EXPECT_FALSE(NoteExists(t));
        t.Keys("C-c", "again");
        EXPECT_EQ(t.ExitStatus(std::chrono::seconds(5), "again"), "0");
    }
}

// The clock refuses the date back: it stays owed, and TEST offers it again
// rather than saving the clock of 2000 over it, until No forgets it.
TEST(OwedDateAfterAKill, TestAfterARefusedRestoreNeverSavesOverTheOwedDate)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    KillIn(t, State::kWatching);
    t.Pc("set set-time=denied");
    std::string screen = StartAgain(t);
    ASSERT_TRUE(std::regex_search(screen, kOfferAtStart)) << screen;
    t.Keys("Enter", "again");  // Yes
    ASSERT_TRUE(t.WaitFor(std::regex("Couldnt reset the date"), &screen, "again")) << screen;
    t.Keys("Enter", "again");
    ASSERT_TRUE(Gone(t, std::regex("Couldnt reset"), "again")) << t.Screen("again");

    t.Keys("Enter", "again");  // TEST
    ASSERT_TRUE(t.WaitFor(std::regex("A new test would save over the date an earlier test "
                                     "has[\\s\\S]*06-15-2026   10:00:00"),
                          &screen, "again"))
        << screen;
    EXPECT_EQ(FileIn(t, "datesave.tmp"), kThisRecord);
    EXPECT_TRUE(NoteExists(t));
    t.Keys("Tab Enter", "again");  // No: forgotten
    ASSERT_TRUE(Gone(t, std::regex("Date Not Restored"), "again")) << t.Screen("again");
    EXPECT_FALSE(NoteExists(t));
    EXPECT_EQ(OsLocalTime(t).substr(0, 19), "2000-01-01 00:00:02");

    t.Keys("Enter", "again");  // TEST, now a test
    EXPECT_TRUE(t.WaitFor(std::regex("Continue with Test"), &screen, "again")) << screen;
    t.Keys("Escape", "again");
    t.Keys("C-c", "again");
    EXPECT_EQ(t.ExitStatus(std::chrono::seconds(5), "again"), "0");
}

}  // namespace
