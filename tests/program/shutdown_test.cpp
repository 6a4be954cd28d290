// Every way out of every state of a test, with and without the fix running:
// where the clock ends, what the date file holds, which messages appear and
// what is left running. The end of the session is delivered in-process the way
// the host delivers it on a signal; tests/program/session_end_e2e_test.cpp sends the
// real signals. Memory that runs out under the program is a way out too.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "date_record.h"
#include "heap_counter.h"
#include "pc/session.h"
#include "pc/settings.h"
#include "program_session.h"
#include "test_states.h"

namespace {

class Shutdown : public ProgramTest {};

const char *const kCompanionAtom = "_faltrem_running_";
const char *const kCouldntReset =
    "Couldnt reset the date !!!\n\nDouble click on System tray clockto reset by 'hand'";

// Left by some earlier test: no exit may set it.
const std::vector<unsigned char> kEarlierRecord = Record(1998, 3, 0, 1, 8, 0, 0, 0);
// What this run's test saves: the start time below.
const std::vector<unsigned char> kThisRecord = Record(2026, 6, 1, 15, 10, 20, 7, 0);

std::string LocalNow()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    wsprintfA(text, "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
              t.wSecond);
    return text;
}

void Reach(automation::Session &s, State state)
{
    if (state == State::kIdle)
        return;
    s.Press(IDC_TEST);
    ASSERT_EQ(s.TopCaption(), kWarningCaption);
    if (state == State::kConfirming)
        return;
    s.PressIn(kWarningCaption, IDOK);
    s.Advance(7000);  // past midnight
    ASSERT_EQ(LocalNow(), "2000-01-01 00:00:02");
    if (state == State::kWatching)
        return;
    s.Press(IDC_STOPCLOCKS);
    ASSERT_TRUE(s.TopMessageBox());
    if (state == State::kVerdictUp)
        return;
    s.Answer(IDOK);
}

enum class Way { kCloseButton, kCloseBox, kEnd, kForcedEnd, kCancelledEnd, kOutOfMemory };
const char *Name(Way way)
{
    switch (way) {
    case Way::kCloseButton:
        return "Close";
    case Way::kCloseBox:
        return "close command";
    case Way::kEnd:
        return "end of session (SIGTERM)";
    case Way::kForcedEnd:
        return "forced end of session (SIGHUP)";
    case Way::kCancelledEnd:
        return "cancelled end of session";
    default:
        return "memory runs out as Help reads the help file";
    }
}
bool IsEnd(Way way)
{
    return way == Way::kEnd || way == Way::kForcedEnd || way == Way::kCancelledEnd;
}
// The program's own end of session runs: after an exception that escaped it,
// the host delivers a forced one.
bool RunsEndSession(Way way)
{
    return IsEnd(way) || way == Way::kOutOfMemory;
}

// `main`: the main dialog's caption, which says when the fix runs.
void TakeWayOut(automation::Session &s, Way way, const std::string &main)
{
    switch (way) {
    case Way::kCloseButton:
        s.PressIn(main, IDC_CLOSE);
        break;
    // The main dialog's own close box: the warning has no owner, so it is live.
    case Way::kCloseBox:
        s.Post(s.Window(main), WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Way::kEnd:
        s.EndSession(true);
        break;
    case Way::kForcedEnd:
        s.EndSession(true, true);
        break;
    case Way::kCancelledEnd:
        s.EndSession(false);
        break;
    // The help file is about 16 KB; nothing else the program does then needs as much.
    case Way::kOutOfMemory:
        heaptest::FailNextAllocationElsewhere(12000);
        s.PressIn(main, IDC_HELP_BUTTON);
        break;
    }
}

void ExpectIdle(const automation::Session &s, const char *when)
{
    EXPECT_TRUE(s.EnabledIn(kMainCaption, IDC_TEST)) << when;
    EXPECT_FALSE(s.EnabledIn(kMainCaption, IDC_STOPCLOCKS)) << when;
    EXPECT_FALSE(s.EnabledIn(kMainCaption, IDC_RESET_DATE)) << when;
    EXPECT_TRUE(s.EnabledIn(kMainCaption, IDC_INSTALL_FIX)) << when;
}

bool InstallFix(automation::Session &s)
{
    PressInstallFix(s);
    if (s.TopMessageBox()) {
        s.Answer(IDOK);
        return false;
    }
    return s.Text(IDC_INSTALL_FIX) == "UnInstall Fix";
}

int RunningCompanions()
{
    int n = 0;
    for (const pc::RunningProgram &p : pc::ListRunningPrograms())
        n += p.name.rfind("faltrem", 0) == 0;
    return n;
}

int CompanionPid()
{
    for (const pc::RunningProgram &p : pc::ListRunningPrograms())
        if (p.name.rfind("faltrem", 0) == 0)
            return p.pid;
    return 0;
}

// The companion is another process, which acts in real time.
template <typename Condition>
bool Within(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The program waits for the companion to end outside its loop, and learns of
// the end in its own time (its caption says so); then it gets on to its next
// message. The companion leaves the PC's table before its process has ended
// (a sanitizer's checks at exit take a while), and only then does the
// program's wait return.
void WaitForTheCompanionToEnd(automation::Session &s, int pid)
{
    Within([&s, pid] {
        siginfo_t info{};
        const bool exited =
            waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid == pid;
        auto captions = s.Captions();
        return exited && RunningCompanions() == 0 && !GlobalFindAtomA(kCompanionAtom) &&
               std::find(captions.begin(), captions.end(), " Tolvane - Fix Running") ==
                   captions.end();
    });
    s.Advance(1);
}

// One state, one way out: everything a user and the machine are left with.
void CheckWayOut(State state, Way way, bool withFix)
{
    SCOPED_TRACE(std::string(Name(state)) + ", " + Name(way) + (withFix ? ", fix running" : ""));
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    PlaceDateFile(kEarlierRecord);
    StartToMainDialog(s);
    int companion = 0;
    if (withFix) {
        ASSERT_TRUE(InstallFix(s)) << "the companion did not start";
        // It enters the PC's table in its own time.
        ASSERT_TRUE(Within([] { return RunningCompanions() == 1; }));
        companion = CompanionPid();
    }
    Reach(s, state);
    const size_t boxesBefore = s.MessageBoxes().size();

    TakeWayOut(s, way, withFix ? " Tolvane - Fix Running" : kMainCaption);
    if (withFix)
        WaitForTheCompanionToEnd(s, companion);
    // A test that set the clock is told of at the end of a session, once the
    // date is back.
    if (RunsEndSession(way) && ClockSet(state)) {
        auto box = s.TopMessageBox();
        ASSERT_TRUE(box) << "no Date Restored";
        EXPECT_EQ(box->text, "Date Restored");
        EXPECT_EQ(box->caption, "Tolvane -  End Session");
        EXPECT_EQ(box->type, static_cast<unsigned>(MB_ICONINFORMATION | MB_TOPMOST));
        EXPECT_EQ(LocalNow(), "2026-06-15 10:20:07") << "the date was not back before the note";
        s.Answer(IDOK);
    }
    EXPECT_EQ(s.MessageBoxes().size(),
              boxesBefore + (RunsEndSession(way) && ClockSet(state) ? 1 : 0));

    EXPECT_EQ(LocalNow(), "2026-06-15 10:20:07");
    std::vector<unsigned char> saved = DateFileBytes();
    // Install Fix waited some polls of the PC's clock for the companion.
    if (withFix && ClockSet(state) && saved.size() == 16)
        saved[14] = saved[15] = 0;
    EXPECT_EQ(saved, ClockSet(state) ? kThisRecord : kEarlierRecord);
    EXPECT_EQ(GlobalFindAtomA(kCompanionAtom), 0);
    EXPECT_EQ(RunningCompanions(), 0);

    if (way != Way::kCancelledEnd) {
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(s.ExitCode(), 0);
        EXPECT_EQ(s.EndedBySessionEnd(), IsEnd(way));
        EXPECT_EQ(s.Fault(), way == Way::kOutOfMemory ? "std::bad_alloc" : "");
        return;
    }
    // The program goes on, in Idle whatever it was doing.
    ASSERT_TRUE(s.Running());
    if (state == State::kVerdictUp) {
        ASSERT_TRUE(s.TopMessageBox()) << "the verdict box went away";
        s.Answer(IDOK);
    }
    EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption}) << "a warning is still open";
    ExpectIdle(s, "after the cancelled end");
    EXPECT_EQ(s.Text(IDC_INSTALL_FIX), "Install Fix");
    s.Advance(3500);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), " 06-15-2026   10:20:10") << "the display stands still";
    // The date came back once: leaving now sets nothing again.
    s.PressIn(kMainCaption, IDC_CLOSE);
    EXPECT_FALSE(s.Running());
    EXPECT_EQ(LocalNow(), "2026-06-15 10:20:10");
}

const State kStates[] = {State::kIdle, State::kConfirming, State::kWatching, State::kVerdictUp,
                         State::kJudged};
const Way kWays[] = {Way::kCloseButton, Way::kCloseBox,     Way::kEnd,
                     Way::kForcedEnd,   Way::kCancelledEnd, Way::kOutOfMemory};

// Under the verdict box the main dialog takes no input: only an end of the
// session reaches it.
bool Possible(State state, Way way)
{
    return state != State::kVerdictUp || IsEnd(way);
}

TEST_F(Shutdown, EveryWayOutOfEveryStateLeavesTheClockTheDateFileAndTheMessagesRight)
{
    for (State state : kStates)
        for (Way way : kWays)
            if (Possible(state, way))
                CheckWayOut(state, way, false);
}

TEST_F(Shutdown, EveryWayOutWithTheFixRunningStopsTheCompanion)
{
    for (State state : kStates)
        for (Way way : kWays)
            if (Possible(state, way))
                CheckWayOut(state, way, true);
}

TEST_F(Shutdown, DateRestoredOnlyWhenTheRestoreWorked)
{
    for (bool really : {false, true}) {
        SCOPED_TRACE(really ? "end of session" : "cancelled end of session");
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        StartToMainDialog(s);
        Reach(s, State::kWatching);
        PlaceDateFile({});
        s.EndSession(really);
        auto box = s.TopMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, kCouldntReset);
        s.Answer(IDOK);
        EXPECT_FALSE(s.TopMessageBox()) << "a second box: " << s.TopMessageBox()->text;
        EXPECT_EQ(s.MessageBoxes().back().text, kCouldntReset);
        EXPECT_EQ(LocalNow(), "2000-01-01 00:00:02") << "the clock stays where the test left it";
        EXPECT_EQ(s.Running(), !really);
    }
}

// The clock refused the test's setting, so the saved date is the user's own
// time of a minute ago: an exit while the box says so must not set it back,
// even where setting the clock works again by then.
TEST_F(Shutdown, AnExitWhileTheClockCouldNotBeSetRestoresNothing)
{
    for (Way way : {Way::kCloseBox, Way::kEnd, Way::kForcedEnd, Way::kCancelledEnd}) {
        SCOPED_TRACE(Name(way));
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        PlaceDateFile(kEarlierRecord);
        StartToMainDialog(s);
        pc::ChangeSetting("set-time", "denied");
        s.Press(IDC_TEST);
        s.PressIn(kWarningCaption, IDOK);
        ASSERT_TRUE(s.TopMessageBox());
        ASSERT_EQ(s.TopMessageBox()->text, "Couldnt set clocks for test");
        s.Advance(60000);
        pc::ChangeSetting("set-time", "allowed");
        const size_t boxesBefore = s.MessageBoxes().size();

        TakeWayOut(s, way, kMainCaption);
        EXPECT_EQ(LocalNow(), "2026-06-15 10:21:07") << "the clock was set back";
        EXPECT_EQ(DateFileBytes(), kThisRecord);
        if (way == Way::kEnd || way == Way::kForcedEnd) {
            EXPECT_EQ(s.MessageBoxes().size(), boxesBefore);
            EXPECT_FALSE(s.Running());
            continue;
        }
        // Still the one box, which the user answers; the close command then
        // ends the program as its box goes, a cancelled end leaves it in Idle.
        ASSERT_TRUE(s.TopMessageBox());
        EXPECT_EQ(s.TopMessageBox()->text, "Couldnt set clocks for test");
        s.Answer(IDOK);
        EXPECT_EQ(s.MessageBoxes().size(), boxesBefore);
        EXPECT_EQ(LocalNow(), "2026-06-15 10:21:07");
        if (way == Way::kCloseBox) {
            EXPECT_FALSE(s.Running());
            continue;
        }
        ExpectIdle(s, "after the box");
        s.PressIn(kMainCaption, IDC_CLOSE);
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(LocalNow(), "2026-06-15 10:21:07");
    }
}

TEST_F(Shutdown, CancelledEndDuringTheWarningLeavesNoTestBehind)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    PlaceDateFile(kEarlierRecord);
    StartToMainDialog(s);
    Reach(s, State::kConfirming);
    s.EndSession(false);
    ASSERT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});

    // The next test is a whole one of its own, and the only one.
    s.Press(IDC_TEST);
    EXPECT_EQ(s.Captions(), (std::vector<std::string>{kMainCaption, kWarningCaption}));
    s.PressIn(kWarningCaption, IDOK);
    EXPECT_EQ(DateFileBytes(), kThisRecord);
    EXPECT_EQ(LocalNow(), "1999-12-31 23:59:55");
    EXPECT_TRUE(s.EnabledIn(kMainCaption, IDC_STOPCLOCKS));
}

}  // namespace
