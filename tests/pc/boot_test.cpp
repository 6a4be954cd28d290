// Power and boot of the simulated PC: the power-off half of a Year 2000 test
// on every kind of BIOS and Windows, the warm boot that reloads the clock, and
// a PC that is off refusing programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pc/atoms.h"
#include "pc/machine.h"
#include "pc/osclock.h"
#include "pc/power.h"
#include "pc/rtc.h"
#include "pc/session.h"
#include "pc/settings.h"
#include "pc_fixture.h"

namespace {

using pctest::TestPc;

constexpr double kMinutes = 60;
constexpr double kDays = 86400;

std::string ChipDate()
{
    pc::RtcTime t = pc::DecodeRtc(pc::RtcRegisters());
    if (!t.valid || t.century < 0)
        return "(not a date)";
    return pc::FormatCivil(
        pc::CivilTime{t.century * 100 + t.year, t.month, t.day, t.hour, t.minute, t.second, 0, 0});
}

std::string OsDate()
{
    return pc::FormatCivil(pc::OsLocalNow(), true);
}

// Switched off at 1999-12-31 23:58:00, on again `off` seconds later.
void PowerOffOverMidnight(const char *platform, double off)
{
    pc::ChangeSetting("platform", platform);
    pc::PowerOff();
    TestPc::Advance(off);
    pc::PowerOn();
}

TEST(PcBoot, PowerOffOverMidnightOnEveryProfileAndPlatform)
{
    struct Case {
        const char *profile;
        const char *platform;
        double off;
        const char *chip;  // after the boot
        const char *os;
    } cases[] = {
        {"y2k-ready", "win98", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"y2k-ready", "win95", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"y2k-ready", "nt4", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        // Case 1: the chip says 1900.
        {"legacy-rtc", "win98", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"legacy-rtc", "win98se", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"legacy-rtc", "win95", 5 * kMinutes, "1900-01-01 00:03:00", "1980-01-04 00:03:00.000"},
        {"legacy-rtc", "nt4", 5 * kMinutes, "1900-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        // Off for over a year: Windows 98 does not catch 1901.
        {"legacy-rtc", "win98", 400 * kDays, "1901-02-03 23:58:00", "1980-01-04 23:58:00.000"},
        {"legacy-rtc", "nt4", 400 * kDays, "1901-02-03 23:58:00", "2001-02-03 23:58:00.000"},
        // The BIOS hands Windows 9x its own century; NT reads the chip.
        {"windowing-bios", "win98", 5 * kMinutes, "1900-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"windowing-bios", "win95", 5 * kMinutes, "1900-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"windowing-bios", "nt4", 5 * kMinutes, "1900-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"post-fix-bios", "win98", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"post-fix-bios", "win95", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        {"post-fix-bios", "nt4", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
        // Case 2: 2000 is outside the years the BIOS allows.
        {"range-bios", "win98", 5 * kMinutes, "2094-01-01 00:03:00", "2094-01-01 00:03:00.000"},
        {"range-bios", "win95", 5 * kMinutes, "2094-01-01 00:03:00", "2094-01-01 00:03:00.000"},
        {"range-bios", "nt4", 5 * kMinutes, "2094-01-01 00:03:00", "2094-01-01 00:03:00.000"},
        {"range-bios", "win98", 1 * kMinutes, "1999-12-31 23:59:00", "1999-12-31 23:59:00.000"},
        // Windows 9x get nothing from a BIOS that fails; NT never asks it.
        {"bios-date-fails", "win98", 5 * kMinutes, "2000-01-01 00:03:00",
         "1980-01-01 00:00:00.000"},
        {"bios-time-fails", "win95", 5 * kMinutes, "2000-01-01 00:03:00",
         "1980-01-01 00:00:00.000"},
        {"stuck-rtc", "win98", 5 * kMinutes, "2000-01-01 00:03:00", "1980-01-01 00:00:00.000"},
        {"stuck-rtc", "nt4", 5 * kMinutes, "2000-01-01 00:03:00", "2000-01-01 00:03:00.000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " on " + c.platform + ", off " +
                     std::to_string(c.off) + " s");
        TestPc pc("1999-12-31 23:58:00", c.profile);
        PowerOffOverMidnight(c.platform, c.off);
        EXPECT_EQ(ChipDate(), c.chip);
        EXPECT_EQ(OsDate(), c.os);
    }
}

TEST(PcBoot, ReportSaysWhatPostAndTheBootDidToTheDate)
{
    struct Case {
        const char *profile;
        const char *platform;
        const char *post;
        const char *boot;
    } cases[] = {
        {"y2k-ready", "win98", "POST: chip 2000-01-01 00:03:00, left as it was",
         "boot: chip 2000-01-01 00:03:00, Windows 98 took it"},
        {"legacy-rtc", "win98", "POST: chip 1900-01-01 00:03:00, left as it was",
         "boot: chip 1900-01-01 00:03:00, Windows 98 set 2000-01-01 and wrote century 20"},
        {"legacy-rtc", "win95", "POST: chip 1900-01-01 00:03:00, left as it was",
         "boot: chip 1900-01-01 00:03:00, Windows 95 took it as 1980-01-04 (DOS dates start in 1980)"},
        {"legacy-rtc", "nt4", "POST: chip 1900-01-01 00:03:00, left as it was",
         "boot: chip 1900-01-01 00:03:00, Windows NT 4.0 read it as 2000-01-01"},
        {"windowing-bios", "win98", "POST: chip 1900-01-01 00:03:00, left as it was",
         "boot: chip 1900-01-01 00:03:00, BIOS handed 2000-01-01 00:03:00, Windows 98 took it"},
        {"post-fix-bios", "win95",
         "POST: chip 1900-01-01 00:03:00, the BIOS carried the century: 2000-01-01 00:03:00",
         "boot: chip 2000-01-01 00:03:00, Windows 95 took it"},
        {"range-bios", "win98",
         "POST: chip 2000-01-01 00:03:00, outside the years the BIOS allows: reset to 2094-01-01 00:03:00",
         "boot: chip 2094-01-01 00:03:00, Windows 98 took it"},
        {"bios-date-fails", "win98", "POST: chip 2000-01-01 00:03:00, left as it was",
         "boot: chip 2000-01-01 00:03:00, the BIOS call failed (carry set), Windows 98 started at "
         "1980-01-01 00:00:00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " on " + c.platform);
        TestPc pc("1999-12-31 23:58:00", c.profile);
        EXPECT_TRUE(pc::LastBootReport().empty()) << "a PC just made has not booted";
        PowerOffOverMidnight(c.platform, 5 * kMinutes);
        EXPECT_EQ(pc::LastBootReport(), (std::vector<std::string>{c.post, c.boot}));
    }
}

// The other half: with the PC running the chip's own wrap decides; a warm boot
// then runs POST and reloads the clock as a cold one does.
TEST(PcBoot, RestartReloadsTheOsClockFromTheChip)
{
    struct Case {
        const char *profile;
        const char *chipRunning;  // after the running rollover
        const char *chipRestarted;
        const char *osRestarted;
    } cases[] = {
        {"y2k-ready", "2000-01-01 00:00:03", "2000-01-01 00:00:03", "2000-01-01 00:00:03.000"},
        {"legacy-rtc", "1900-01-01 00:00:03", "2000-01-01 00:00:03", "2000-01-01 00:00:03.000"},
        {"post-fix-bios", "1900-01-01 00:00:03", "2000-01-01 00:00:03", "2000-01-01 00:00:03.000"},
        {"range-bios", "2000-01-01 00:00:03", "2094-01-01 00:00:03", "2094-01-01 00:00:03.000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        TestPc pc("1999-12-31 23:59:58", c.profile);
        pc.Advance(5.25);
        EXPECT_EQ(ChipDate(), c.chipRunning);
        EXPECT_EQ(OsDate(), "2000-01-01 00:00:03.250");
        std::uint32_t boot = pc::BootCount();
        pc::RestartWindows();
        EXPECT_EQ(pc::BootCount(), boot + 1);
        EXPECT_EQ(ChipDate(), c.chipRestarted);
        EXPECT_EQ(OsDate(), c.osRestarted);
    }

    // Whatever the OS clock said before, the chip is what counts at a boot.
    TestPc pc("2000-06-01 12:00:00");
    pc::SetRtcTime(*pc::ParseCivil("2005-05-05 05:05:05"));
    pc::RestartWindows();
    EXPECT_EQ(OsDate(), "2005-05-05 05:05:05.000");
    EXPECT_EQ(pc::OsUtcNow().hour, 5) << "local time equals UTC on this PC";
}

TEST(PcBoot, TheOsClockStartsInLocalTime)
{
    TestPc pc("1999-12-31 23:58:00", "legacy-rtc", 120);
    PowerOffOverMidnight("win98", 5 * kMinutes);
    EXPECT_EQ(OsDate(), "2000-01-01 00:03:00.000");
    EXPECT_EQ(pc::FormatCivil(pc::OsUtcNow()), "1999-12-31 22:03:00");
}

TEST(PcBoot, APcThatIsOffRunsNoProgramAndKeepsOnlyItsChip)
{
    TestPc pc("1999-12-31 23:58:00");
    std::uint16_t atom = pc::AddAtom("_faltrem_running_").atom;
    ASSERT_NE(atom, 0);

    // A program running on the PC keeps it on.
    ASSERT_TRUE(pc::RegisterThisProcess("tolvane"));
    EXPECT_THROW(pc::PowerOff(), pc::PcError);
    EXPECT_TRUE(pc::PoweredOn());
    pc::UnregisterThisProcess();

    pc::PowerOff();
    EXPECT_FALSE(pc::PoweredOn());
    EXPECT_FALSE(pc::RegisterThisProcess("tolvane")) << "a program started on a PC that is off";
    EXPECT_THROW(pc::PowerOff(), pc::PcError);
    std::uint32_t boot = pc::BootCount();
    pc::RestartWindows();
    EXPECT_EQ(pc::BootCount(), boot) << "a PC that is off does not restart";

    pc.Advance(2 * kMinutes);
    EXPECT_EQ(ChipDate(), "2000-01-01 00:00:00") << "the chip runs on its battery";
    pc::PowerOn();
    EXPECT_EQ(pc::BootCount(), boot + 1);
    EXPECT_EQ(pc::OsTickCount(), 0u);
    EXPECT_EQ(pc::FindAtom("_faltrem_running_").atom, 0) << "the atoms went with the power";
    EXPECT_THROW(pc::PowerOn(), pc::PcError);
}

}  // namespace
