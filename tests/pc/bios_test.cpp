// INT 1Ah on the simulated PC through the program's own primitive: what each
// BIOS profile puts in the registers and the carry flag.
#include <gtest/gtest.h>

#include "pc/osclock.h"
#include "pc/power.h"
#include "pc/rtc.h"
#include "pc/settings.h"
#include "pc_fixture.h"
#include "pcio.h"

namespace {

using pctest::TestPc;

// Calls the service with CX and DX holding markers, to see what it leaves.
BiosRegs Call(unsigned char function)
{
    BiosRegs regs{};
    regs.x.cx = 0xAAAA;
    regs.x.dx = 0xBBBB;
    regs.h.ah = function;
    CallBiosTimeService(&regs);
    return regs;
}

TEST(PcBios, PlainBiosReturnsTheRtcRegisters)
{
    TestPc pc("1999-12-31 23:59:55");
    BiosRegs date = Call(0x04);
    EXPECT_EQ(date.x.cflag, 0);
    EXPECT_EQ(date.h.ch, 0x19);
    EXPECT_EQ(date.h.cl, 0x99);
    EXPECT_EQ(date.h.dh, 0x12);
    EXPECT_EQ(date.h.dl, 0x31);
    BiosRegs time = Call(0x02);
    EXPECT_EQ(time.x.cflag, 0);
    EXPECT_EQ(time.h.ch, 0x23);
    EXPECT_EQ(time.h.cl, 0x59);
    EXPECT_EQ(time.h.dh, 0x55);
    EXPECT_EQ(time.h.dl, 0x00) << "no daylight saving";
}

TEST(PcBios, WindowingBiosIgnoresTheCenturyByte)
{
    struct Case {
        const char *rtc;  // century byte and year as the chip holds them
        int century;
    } cases[] = {{"2079-06-01 12:00:00", 0x20},
                 {"1980-06-01 12:00:00", 0x19},
                 {"2085-06-01 12:00:00", 0x19},
                 {"1900-01-01 00:00:00", 0x20}};
    TestPc pc("2000-01-01 00:00:00", "windowing-bios");
    for (const Case &c : cases) {
        pc::SetRtcTime(*pc::ParseCivil(c.rtc));
        BiosRegs date = Call(0x04);
        EXPECT_EQ(date.x.cflag, 0) << c.rtc;
        EXPECT_EQ(date.h.ch, c.century) << c.rtc;
    }
}

BiosRegs SetDate(unsigned char century, unsigned char year, unsigned char month, unsigned char day)
{
    BiosRegs regs{};
    regs.h.ah = 0x05;
    regs.h.ch = century;
    regs.h.cl = year;
    regs.h.dh = month;
    regs.h.dl = day;
    CallBiosTimeService(&regs);
    return regs;
}

// A running rollover leaves such a BIOS at 1900; setting its date, or the
// next boot, gives it the chip's century.
TEST(PcBios, LatchingBiosReportsTheCenturyItReadAtPowerOnUntilItsDateIsSet)
{
    TestPc pc("1999-12-31 23:59:58", "latched-century-bios");
    TestPc::Advance(3.0);
    EXPECT_EQ(pc::RtcRegisters()[CMOS_CENTURY], 0x20) << "the chip carries the century";
    BiosRegs date = Call(0x04);
    EXPECT_EQ(date.x.cflag, 0);
    EXPECT_EQ(date.h.ch, 0x19);
    EXPECT_EQ(date.h.cl, 0x00);
    EXPECT_EQ(date.h.dh, 0x01);
    EXPECT_EQ(date.h.dl, 0x01);

    BiosRegs set = SetDate(0x20, 0x00, 0x01, 0x01);
    EXPECT_EQ(set.x.cflag, 0);
    EXPECT_EQ(set.h.ah, 0x00);
    EXPECT_EQ(Call(0x04).h.ch, 0x20);

    // The chip alone goes back to 1999: the BIOS knows nothing of it until
    // it boots again.
    pc::SetRtcTime(*pc::ParseCivil("1999-12-31 12:00:00"));
    EXPECT_EQ(Call(0x04).h.ch, 0x20);
    pc::RestartWindows();
    EXPECT_EQ(Call(0x04).h.ch, 0x19);
}

TEST(PcBios, SetDateWritesTheChipAndKeepsTheCenturyWhereTheBiosKeepsIt)
{
    struct Case {
        const char *bios;
        int chipCentury;  // after setting 1998-07-04 on a chip at 2026
    } cases[] = {{"plain", 0x19}, {"windowing", 0x19}, {"latched-century", 0x20}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bios);
        TestPc pc("2026-06-15 10:20:07");
        pc::ChangeSetting("bios", c.bios);
        EXPECT_EQ(SetDate(0x19, 0x98, 0x07, 0x04).x.cflag, 0);
        std::array<std::uint8_t, 128> regs = pc::RtcRegisters();
        EXPECT_EQ(regs[RTC_YEAR], 0x98);
        EXPECT_EQ(regs[RTC_MONTH], 0x07);
        EXPECT_EQ(regs[RTC_DAY], 0x04);
        EXPECT_EQ(regs[CMOS_CENTURY], c.chipCentury);
        EXPECT_EQ(regs[RTC_HOURS], 0x10) << "the time is left alone";
        BiosRegs date = Call(0x04);
        EXPECT_EQ(date.h.ch, 0x19);
        EXPECT_EQ(date.h.cl, 0x98);
    }
}

TEST(PcBios, SetDateOnAStuckChipFailsAndWritesNothing)
{
    TestPc pc("2026-06-15 10:20:07", "stuck-rtc");
    std::array<std::uint8_t, 128> before = pc::RtcRegisters();
    EXPECT_NE(SetDate(0x19, 0x98, 0x07, 0x04).x.cflag, 0);
    EXPECT_EQ(pc::RtcRegisters()[RTC_YEAR], before[RTC_YEAR]);
}

// Windows 9x set the date through the BIOS, so the BIOS learns the century
// of a date a program sets; NT writes the chip alone.
TEST(PcBios, WindowsSettingTheDateTellsALatchingBiosOnlyOnWindows9x)
{
    struct Case {
        const char *platform;
        int century;  // the BIOS reports after the OS set 1999
    } cases[] = {{"win95", 0x19}, {"win98", 0x19}, {"nt4", 0x20}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.platform);
        TestPc pc("2026-06-15 10:20:07", "latched-century-bios");
        pc::ChangeSetting("platform", c.platform);
        ASSERT_EQ(pc::SetOsLocalTime(*pc::ParseCivil("1999-12-31 23:59:55")),
                  pc::SetTimeResult::Ok);
        EXPECT_EQ(pc::RtcRegisters()[CMOS_CENTURY], 0x19);
        EXPECT_EQ(Call(0x04).h.ch, c.century);
    }
}

TEST(PcBios, FailingCallsSetCarryAndLeaveTheRegisters)
{
    struct Case {
        const char *profile;
        unsigned char function;
        bool fails;
    } cases[] = {{"bios-date-fails", 0x04, true},  {"bios-date-fails", 0x02, false},
                 {"bios-time-fails", 0x04, false}, {"bios-time-fails", 0x02, true},
                 {"y2k-ready", 0x00, true},        {"y2k-ready", 0x09, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " function " + std::to_string(c.function));
        TestPc pc("1999-12-31 23:59:55", c.profile);
        BiosRegs regs = Call(c.function);
        EXPECT_EQ(regs.x.cflag != 0, c.fails);
        if (c.fails) {
            EXPECT_EQ(regs.x.cx, 0xAAAA);
            EXPECT_EQ(regs.x.dx, 0xBBBB);
        }
    }
}

// The call runs with interrupts off: its polls pass on the chip's side only,
// and the PC's clocks stand where the test left them.
TEST(PcBios, WaitsOutAnUpdateInsteadOfReadingIt)
{
    TestPc pc("2000-03-01 12:00:55");
    std::int64_t next = pc::RtcNextUpdateNs();
    TestPc::AdvanceTo(next - 100'000);  // UIP is high
    std::int64_t before = pc::Now();
    BiosRegs time = Call(0x02);
    EXPECT_EQ(time.x.cflag, 0);
    EXPECT_EQ(time.h.dh, 0x56);
    EXPECT_EQ(pc::Now(), before);
}

TEST(PcBios, StuckChipFailsAfterABoundedWaitThatCostsThePcNoTime)
{
    TestPc pc("2000-03-01 12:00:00", "stuck-rtc");
    std::int64_t before = pc::Now();
    EXPECT_NE(Call(0x02).x.cflag, 0);
    EXPECT_EQ(pc::Now(), before);
}

}  // namespace
