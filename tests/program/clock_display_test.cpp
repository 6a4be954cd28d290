// The live clock lines as a user sees them in the main dialog.
#include <gtest/gtest.h>

#include "program_session.h"

namespace {

class ClockDisplay : public ProgramTest {};

TEST_F(ClockDisplay, StartsIdleWithEmptyLines)
{
    automation::Session session(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(session);

    EXPECT_EQ(session.TopCaption(), kMainCaption);
    EXPECT_TRUE(session.Enabled(IDC_TEST));
    EXPECT_FALSE(session.Enabled(IDC_STOPCLOCKS));
    EXPECT_FALSE(session.Enabled(IDC_RESET_DATE));
    EXPECT_TRUE(session.Enabled(IDC_INSTALL_FIX));
    EXPECT_TRUE(session.Enabled(IDC_HELP_BUTTON));
    EXPECT_TRUE(session.Enabled(IDC_CLOSE));
    for (int id : {IDC_CMOS_LINE, IDC_BIOS_LINE, IDC_LOCAL_LINE, IDC_UTC_LINE})
        EXPECT_TRUE(session.Lines(id).empty()) << "list box " << id << " before the first tick";
}

TEST_F(ClockDisplay, LinesFillAtTheFirstTick)
{
    automation::Session session(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(session);
    session.Advance(200);

    EXPECT_EQ(Line(session, IDC_CMOS_LINE), " 06-15-2026   10:20:07");
    EXPECT_EQ(Line(session, IDC_BIOS_LINE), " 06-15-2026   10:20:07");
    EXPECT_EQ(Line(session, IDC_LOCAL_LINE), " 06-15-2026   10:20:07");
    EXPECT_EQ(Line(session, IDC_UTC_LINE), " 06-15-2026   10:20:07");
}

TEST_F(ClockDisplay, ClockAtSecondZeroStaysEmptyUntilItsNextSecond)
{
    automation::Session session(Pc("y2k-ready", "2026-06-15 10:20:00.000"));
    StartToMainDialog(session);
    session.Advance(400);
    for (int id : {IDC_CMOS_LINE, IDC_BIOS_LINE, IDC_LOCAL_LINE, IDC_UTC_LINE})
        EXPECT_TRUE(session.Lines(id).empty()) << "list box " << id << " at second 0";

    session.Advance(1000);
    EXPECT_EQ(Line(session, IDC_LOCAL_LINE), " 06-15-2026   10:20:01");
    EXPECT_EQ(Line(session, IDC_CMOS_LINE), " 06-15-2026   10:20:01");
}

TEST_F(ClockDisplay, EachListBoxHoldsOneLineThatFollowsItsClock)
{
    automation::Session session(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    StartToMainDialog(session);
    session.Advance(5000);

    for (int id : {IDC_CMOS_LINE, IDC_BIOS_LINE, IDC_LOCAL_LINE, IDC_UTC_LINE})
        EXPECT_EQ(session.Lines(id).size(), 1u) << "list box " << id;
    EXPECT_EQ(Line(session, IDC_LOCAL_LINE), " 06-15-2026   10:20:12");
    EXPECT_EQ(Line(session, IDC_CMOS_LINE), " 06-15-2026   10:20:12");
}

TEST_F(ClockDisplay, UtcLineShowsTheTimeZoneBias)
{
    automation::PcSetup setup = Pc("y2k-ready", "2026-06-15 10:20:07.000");
    setup.utcOffsetMinutes = 120;
    automation::Session session(setup);
    StartToMainDialog(session);
    session.Advance(200);

    EXPECT_EQ(Line(session, IDC_LOCAL_LINE), " 06-15-2026   10:20:07");
    EXPECT_EQ(Line(session, IDC_UTC_LINE), " 06-15-2026   08:20:07");
}

TEST_F(ClockDisplay, CmosLineAtTheTestSettingEqualsTheLocalLine)
{
    automation::Session session(Pc("legacy-rtc", "1999-12-31 23:59:55.000"));
    StartToMainDialog(session);
    session.Advance(200);

    EXPECT_EQ(Line(session, IDC_CMOS_LINE), " 12-31-1999   23:59:55");
    EXPECT_EQ(Line(session, IDC_CMOS_LINE), Line(session, IDC_LOCAL_LINE));
}

TEST_F(ClockDisplay, BiosThatFailsEveryReadLeavesItsLineEmpty)
{
    for (const char *profile : {"bios-date-fails", "bios-time-fails"}) {
        SCOPED_TRACE(profile);
        automation::Session session(Pc(profile, "2026-06-15 10:20:07.000"));
        StartToMainDialog(session);
        session.Advance(3000);

        EXPECT_TRUE(session.Lines(IDC_BIOS_LINE).empty());
        EXPECT_EQ(Line(session, IDC_CMOS_LINE), " 06-15-2026   10:20:10");
        EXPECT_EQ(Line(session, IDC_LOCAL_LINE), " 06-15-2026   10:20:10");
        EXPECT_EQ(Line(session, IDC_UTC_LINE), " 06-15-2026   10:20:10");
    }
}

TEST_F(ClockDisplay, LegacyChipShowsNineteenHundredAfterMidnight)
{
    automation::Session session(Pc("legacy-rtc", "1999-12-31 23:59:58.000"));
    StartToMainDialog(session);
    session.Advance(3000);

    EXPECT_EQ(Line(session, IDC_LOCAL_LINE), " 01-01-2000   00:00:01");
    EXPECT_EQ(Line(session, IDC_CMOS_LINE), " 01-01-1900   00:00:01");
}

}  // namespace
