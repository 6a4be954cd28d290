// The main dialog's routing, keys and ways out, and clocks that go wrong while
// it runs.
#include <gtest/gtest.h>

#include "pc/settings.h"
#include "pc/timesource.h"
#include "program_session.h"

namespace {

class MainDialog : public ProgramTest {};

TEST_F(MainDialog, CommandsOfNoButtonAreNotHandled)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    HWND main = s.Window(kMainCaption);
    ASSERT_NE(main, nullptr);
    // The dialog procedure's own answer; these ids run nothing, so asking it
    // from the test's thread is safe while the program waits.
    for (int id :
         {IDCANCEL, IDC_CMOS_LINE, IDC_BIOS_LINE, IDC_UTC_LINE, IDC_LOCAL_LINE, 110, 200, 0xFFFF})
        EXPECT_EQ(MainDlg(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0), 0) << "id " << id;
    // A list box notification in the high word changes nothing either.
    EXPECT_EQ(MainDlg(main, WM_COMMAND, MAKEWPARAM(IDC_CMOS_LINE, 1 /* LBN_SELCHANGE */), 0), 0);
    EXPECT_EQ(MainDlg(main, WM_NULL, 0, 0), 0);
    EXPECT_TRUE(s.Running());
    EXPECT_TRUE(s.MessageBoxes().empty());
}

TEST_F(MainDialog, EscapeDoesNothingAndEnterPressesTest)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    s.Key(VK_ESCAPE);
    EXPECT_TRUE(s.Running());
    EXPECT_EQ(s.TopCaption(), kMainCaption);

    s.Key(VK_RETURN);
    EXPECT_EQ(s.TopCaption(), kWarningCaption) << "Enter did not press TEST";
}

TEST_F(MainDialog, CloseAndTheCloseCommandEndWithZero)
{
    {
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        StartToMainDialog(s);
        s.Press(IDC_CLOSE);
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(s.ExitCode(), 0);
    }
    {
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        StartToMainDialog(s);
        s.CloseCommand();
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(s.ExitCode(), 0);
    }
}

TEST_F(MainDialog, BiosThatFailsAfterGoodReadsKeepsItsLastLine)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(s);
    s.Advance(2000);
    const std::string last = Line(s, IDC_BIOS_LINE);
    ASSERT_FALSE(last.empty());

    pc::ChangeSetting("bios", "date-fails");
    s.Advance(3000);
    EXPECT_EQ(Line(s, IDC_BIOS_LINE), last) << "a failed read cleared or changed the line";
    EXPECT_NE(Line(s, IDC_LOCAL_LINE), " 06-15-2026   10:20:09") << "other clocks stopped";

    pc::ChangeSetting("bios", "plain");
    s.Advance(1200);
    EXPECT_NE(Line(s, IDC_BIOS_LINE), last) << "the line did not come back after a good read";
}

TEST_F(MainDialog, ChipStuckInItsUpdateNeitherHangsTheProgramNorRushesItsClocks)
{
    automation::Session s(Pc("stuck-rtc", "2026-06-15 10:20:07.000"));
    const std::int64_t start = pc::Now();
    StartToMainDialog(s);
    s.Advance(10000);
    // The chip's registers are read as they stand once the bounded wait is over.
    EXPECT_FALSE(Line(s, IDC_CMOS_LINE).empty());
    // The waits are bus cycles with interrupts off: fifty ticks of them leave
    // the clocks exactly where the ten seconds took them.
    EXPECT_EQ(pc::Now() - start, 10'000'000'000);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), " 06-15-2026   10:20:17");
    EXPECT_EQ(Line(s, IDC_CMOS_LINE), " 06-15-2026   10:20:17");
    s.Press(IDC_CLOSE);
    EXPECT_EQ(s.ExitCode(), 0);
}

}  // namespace
