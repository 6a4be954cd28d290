// The rollover test from the TEST button to Reset Date, on the simulated PCs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "date_record.h"
#include "program_session.h"

namespace {

class RolloverTest : public ProgramTest {};
class DateFile : public ProgramTest {};

const char *const kPass = "Pass: The PC clocks are Year 2000 compliant";
const char *const kFail =
    "Fail: The PC clocks are Not Year 2000 compliant. See 'Help' / 'Testing'  for more details";
const char *const kUnknown = "Unknown: Test didnt run past midnight 2000";
const char *const kResultCaption = "Tolvane -  Test Result";
const char *const kFailCaption = "Tolvane - Test Result";
const char *const kCouldntReset =
    "Couldnt reset the date !!!\n\nDouble click on System tray clockto reset by 'hand'";

SYSTEMTIME Local()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return t;
}

struct Buttons {
    bool test, stop, reset, fix;
};

void ExpectButtons(const automation::Session &s, Buttons b, const char *state)
{
    EXPECT_EQ(s.EnabledIn(kMainCaption, IDC_TEST), b.test) << state << ": TEST";
    EXPECT_EQ(s.EnabledIn(kMainCaption, IDC_STOPCLOCKS), b.stop) << state << ": StopClocks";
    EXPECT_EQ(s.EnabledIn(kMainCaption, IDC_RESET_DATE), b.reset) << state << ": Reset Date";
    EXPECT_EQ(s.EnabledIn(kMainCaption, IDC_INSTALL_FIX), b.fix) << state << ": Install Fix";
    EXPECT_TRUE(s.EnabledIn(kMainCaption, IDC_CLOSE)) << state << ": Close";
    EXPECT_TRUE(s.EnabledIn(kMainCaption, IDC_HELP_BUTTON)) << state << ": Help";
}

// TEST and OK on the warning: the test is Watching from 23:59:55.
void StartWatching(automation::Session &s)
{
    s.Press(IDC_TEST);
    ASSERT_EQ(s.TopCaption(), kWarningCaption);
    s.PressIn(kWarningCaption, IDOK);
}

std::string Verdict(automation::Session &s)
{
    s.Press(IDC_STOPCLOCKS);
    auto box = s.TopMessageBox();
    return box ? box->text : std::string("(no message box)");
}

TEST_F(RolloverTest, WalksThroughEveryStateOnAYear2000ReadyPc)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.250"));
    StartToMainDialog(s);
    ExpectButtons(s, {true, false, false, true}, "Idle");

    s.Press(IDC_TEST);
    ASSERT_EQ(s.TopCaption(), kWarningCaption);
    ExpectButtons(s, {false, false, false, false}, "Confirming");
    s.PressIn(kWarningCaption, IDOK);
    ExpectButtons(s, {false, true, false, false}, "Watching");
    EXPECT_EQ(DateFileBytes(), Record(2026, 6, 1, 15, 10, 20, 7, 250));
    SYSTEMTIME t = Local();
    EXPECT_EQ(t.wYear, 1999);
    EXPECT_EQ(t.wHour, 23);
    EXPECT_EQ(t.wSecond, 55);

    s.Advance(7000);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), " 01-01-2000   00:00:02");
    EXPECT_EQ(Line(s, IDC_CMOS_LINE), " 01-01-2000   00:00:02");
    EXPECT_EQ(Line(s, IDC_BIOS_LINE), " 01-01-2000   00:00:02");

    EXPECT_EQ(Verdict(s), kPass);
    EXPECT_EQ(s.TopMessageBox()->caption, kResultCaption);
    EXPECT_EQ(s.TopMessageBox()->type, static_cast<unsigned>(MB_OK));
    s.Answer(IDOK);
    ExpectButtons(s, {false, false, true, false}, "Judged");

    s.Press(IDC_RESET_DATE);
    ExpectButtons(s, {true, false, false, true}, "Idle again");
    t = Local();
    // The saved time comes back as it was: the clock is behind by the test.
    EXPECT_EQ(t.wYear, 2026);
    EXPECT_EQ(t.wMonth, 6);
    EXPECT_EQ(t.wDay, 15);
    EXPECT_EQ(t.wHour, 10);
    EXPECT_EQ(t.wMinute, 20);
    EXPECT_EQ(t.wSecond, 7);
}

TEST_F(RolloverTest, TestCommandDuringATestStartsNoSecondOne)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    StartWatching(s);
    s.Advance(2000);
    // What Windows' dialog manager sends for Enter even with TEST disabled.
    s.Post(s.Window(kMainCaption), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(s.TopCaption(), kMainCaption) << "a second warning opened";
    EXPECT_EQ(DateFileBytes(), Record(2026, 6, 1, 15, 10, 20, 7, 0))
        << "the saved date was overwritten";
    ExpectButtons(s, {false, true, false, false}, "still Watching");
}

TEST_F(RolloverTest, VerdictsOfTheProblemPcs)
{
    struct Case {
        const char *profile;
        const char *verdict;
        const char *cmosLine;
        const char *biosLine;
    } cases[] = {
        {"legacy-rtc", kFail, " 01-01-1900   00:00:02", " 01-01-1900   00:00:02"},
        {"windowing-bios", kFail, " 01-01-1900   00:00:02", " 01-01-2000   00:00:02"},
        {"bios-date-fails", kFail, " 01-01-2000   00:00:02", ""},
        {"bios-time-fails", kFail, " 01-01-2000   00:00:02", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        automation::Session s(Pc(c.profile, "2026-06-15 10:20:07.000"));
        StartToMainDialog(s);
        StartWatching(s);
        s.Advance(7000);
        EXPECT_EQ(Line(s, IDC_CMOS_LINE), c.cmosLine);
        EXPECT_EQ(Line(s, IDC_BIOS_LINE), c.biosLine);
        std::string verdict = Verdict(s);
        if (c.profile == std::string("bios-time-fails")) {
            // Only the date takes part in the verdict, and the date call works.
            EXPECT_EQ(verdict, kPass);
        } else {
            EXPECT_EQ(verdict, c.verdict);
            EXPECT_EQ(s.TopMessageBox()->caption, kFailCaption);
        }
        s.Answer(IDOK);
        s.Press(IDC_RESET_DATE);
    }
}

TEST_F(RolloverTest, StoppedBeforeMidnightIsUnknown)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    StartWatching(s);
    s.Advance(2000);
    EXPECT_EQ(Verdict(s), kUnknown);
    EXPECT_EQ(s.TopMessageBox()->caption, kResultCaption);
}

TEST_F(RolloverTest, WaitingPastTheNextMidnightFails)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    StartWatching(s);
    // A day later, as far as every clock can tell.
    SYSTEMTIME nextDay = {2000, 1, 0, 2, 0, 0, 3, 0};
    ASSERT_TRUE(SetLocalTime(&nextDay));
    s.Advance(1000);
    EXPECT_EQ(Verdict(s), kFail);
}

TEST_F(RolloverTest, FrozenLinesKeepTheirLastTextWhileTheVerdictIsUp)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    StartWatching(s);
    s.Advance(3000);
    const std::string before = Line(s, IDC_LOCAL_LINE);
    const std::string cmosBefore = Line(s, IDC_CMOS_LINE);
    EXPECT_EQ(before, " 12-31-1999   23:59:58");

    Verdict(s);
    s.Advance(3000);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), before);
    EXPECT_EQ(Line(s, IDC_CMOS_LINE), cmosBefore);
    s.Answer(IDOK);
    s.Advance(3000);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), before);

    s.Press(IDC_RESET_DATE);
    s.Advance(1200);
    EXPECT_NE(Line(s, IDC_LOCAL_LINE), before) << "display did not restart after Reset Date";
}

TEST_F(RolloverTest, TickedCheckBoxSkipsTheWarningEvenAfterCancel)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    s.Press(IDC_TEST);
    s.PressIn(kWarningCaption, IDC_DONT_WARN);
    EXPECT_TRUE(s.Checked(IDC_DONT_WARN));
    s.PressIn(kWarningCaption, IDCANCEL);
    ExpectButtons(s, {true, false, false, true}, "after Cancel");
    EXPECT_TRUE(DateFileBytes().empty()) << "Cancel must not save the date";
    EXPECT_EQ(Local().wYear, 2026);

    s.Press(IDC_TEST);
    EXPECT_EQ(s.TopCaption(), kMainCaption) << "warning shown again";
    ExpectButtons(s, {false, true, false, false}, "Watching without a warning");
}

TEST_F(RolloverTest, UntickingTheBoxAgainKeepsTheWarning)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    s.Press(IDC_TEST);
    s.PressIn(kWarningCaption, IDC_DONT_WARN);
    s.PressIn(kWarningCaption, IDC_DONT_WARN);
    s.Key(VK_ESCAPE);
    EXPECT_EQ(s.TopCaption(), kMainCaption);
    s.Press(IDC_TEST);
    EXPECT_EQ(s.TopCaption(), kWarningCaption);
}

TEST_F(RolloverTest, WarningThatCannotBeShownIsNoConsent)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    // With its module gone the warning's template cannot be found: the dialog
    // call fails with -1, which must not count as OK.
    HINSTANCE module = ghInst;
    ghInst = reinterpret_cast<HINSTANCE>(0x5a5a0000);
    s.Press(IDC_TEST);
    ghInst = module;
    ExpectButtons(s, {true, false, false, true}, "Idle after the failed warning");
    EXPECT_TRUE(DateFileBytes().empty()) << "date saved without consent";
    EXPECT_EQ(Local().wYear, 2026) << "clock changed without consent";
}

TEST_F(RolloverTest, MainDialogStaysLiveUnderTheWarning)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    s.Press(IDC_TEST);
    s.Advance(2000);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), " 06-15-2026   10:20:09");
    EXPECT_TRUE(s.EnabledIn(kMainCaption, IDC_CLOSE));
}

TEST_F(RolloverTest, CloseWhileTheWarningIsOpenSetsNoDate)
{
    for (bool closeCommand : {false, true}) {
        SCOPED_TRACE(closeCommand ? "close command" : "Close button");
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        // A record left by an earlier test must not come back.
        PlaceDateFile(Record(1998, 3, 0, 1, 8, 0, 0, 0));
        StartToMainDialog(s);
        s.Press(IDC_TEST);
        if (closeCommand)
            s.Send(s.Window(kMainCaption), WM_CLOSE, 0, 0);
        else
            s.PressIn(kMainCaption, IDC_CLOSE);
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(s.ExitCode(), 0);
        SYSTEMTIME t = Local();
        EXPECT_EQ(t.wYear, 2026);
        EXPECT_EQ(t.wSecond, 7);
        EXPECT_EQ(DateFileBytes(), Record(1998, 3, 0, 1, 8, 0, 0, 0));
        EXPECT_TRUE(s.MessageBoxes().empty());
    }
}

TEST_F(RolloverTest, CloseWhileWatchingRestoresTheSavedDate)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    StartWatching(s);
    s.Advance(7000);
    s.PressIn(kMainCaption, IDC_CLOSE);
    EXPECT_FALSE(s.Running());
    EXPECT_EQ(s.ExitCode(), 0);
    SYSTEMTIME t = Local();
    EXPECT_EQ(t.wYear, 2026);
    EXPECT_EQ(t.wMinute, 20);
    EXPECT_EQ(t.wSecond, 7);
}

TEST_F(RolloverTest, BrokenDateFileCannotBeRestoredAndLeavesTheClock)
{
    struct Case {
        const char *what;
        std::vector<unsigned char> bytes;
    } cases[] = {
        {"empty file", {}},
        {"short record", std::vector<unsigned char>(15, 0)},
        {"month 13", Record(2026, 13, 1, 15, 10, 20, 7, 0)},
        {"February 30", Record(2026, 2, 1, 30, 10, 20, 7, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        StartToMainDialog(s);
        StartWatching(s);
        s.Advance(7000);
        s.Press(IDC_STOPCLOCKS);
        s.Answer(IDOK);
        PlaceDateFile(c.bytes);
        s.Press(IDC_RESET_DATE);
        auto box = s.TopMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, kCouldntReset);
        EXPECT_EQ(box->caption, "Tolvane - Error");
        s.Answer(IDOK);
        SYSTEMTIME t = Local();
        EXPECT_EQ(t.wYear, 2000) << "clock was touched";
        EXPECT_EQ(t.wMonth, 1);
        ExpectButtons(s, {true, false, false, true}, "Idle after a failed restore");
        s.Advance(1200);
        EXPECT_EQ(Line(s, IDC_LOCAL_LINE).substr(0, 11), " 01-01-2000") << "display restarted";
    }
}

TEST_F(RolloverTest, TwentyByteFileKeepsItsLastFourBytes)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    std::vector<unsigned char> old = Record(1998, 3, 0, 1, 8, 0, 0, 0);
    old.insert(old.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    PlaceDateFile(old);
    StartToMainDialog(s);
    StartWatching(s);

    std::vector<unsigned char> expected = Record(2026, 6, 1, 15, 10, 20, 7, 0);
    expected.insert(expected.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    EXPECT_EQ(DateFileBytes(), expected);
}

TEST_F(RolloverTest, DateFileHeldOpenElsewhereStopsTheTest)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    PlaceDateFile(Record(1998, 3, 0, 1, 8, 0, 0, 0));
    HANDLE other = CreateFileA("datesave.tmp", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    StartToMainDialog(s);
    StartWatching(s);

    auto box = s.TopMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "Couldnt save the current date");
    EXPECT_EQ(box->caption, "Error");
    s.Answer(IDOK);
    ExpectButtons(s, {true, false, false, true}, "Idle after the failed save");
    EXPECT_EQ(Local().wYear, 2026);
    CloseHandle(other);
    EXPECT_EQ(DateFileBytes(), Record(1998, 3, 0, 1, 8, 0, 0, 0));
}

// A link where the date file belongs would have the test write the user's
// date over some other file: it is refused like a file that cannot be opened.
TEST_F(RolloverTest, DateFileThatIsASymbolicLinkIsNeverFollowed)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    std::ofstream("target") << "someone else's";
    std::filesystem::create_symlink(std::filesystem::absolute("target"), "datesave.tmp");
    StartToMainDialog(s);
    StartWatching(s);
    ASSERT_TRUE(s.TopMessageBox());
    EXPECT_EQ(s.TopMessageBox()->text, "Couldnt save the current date");
    s.Answer(IDOK);
    EXPECT_EQ(Local().wYear, 2026) << "the clock was set";
    std::ifstream in("target");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "someone else's");
}

TEST_F(DateFile, SaveCreatesASixteenByteRecordAndRestoreSetsIt)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.500"));
    EXPECT_EQ(ReadDateFileAndRestoreDate(), 0) << "no file: nothing to restore";
    EXPECT_TRUE(DateFileBytes().empty()) << "the restore creates an empty file";

    ASSERT_EQ(SaveDate(), 1);
    EXPECT_EQ(DateFileBytes(), Record(2026, 6, 1, 15, 10, 20, 7, 500));

    SYSTEMTIME later = {2030, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(SetLocalTime(&later));
    ASSERT_EQ(ReadDateFileAndRestoreDate(), 1);
    SYSTEMTIME t = Local();
    EXPECT_EQ(t.wYear, 2026);
    EXPECT_EQ(t.wSecond, 7);
}

}  // namespace
