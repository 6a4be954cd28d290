// The fix companion's step on its own, on the simulated PC: what it writes,
// and when it leaves the clocks alone.
#include <gtest/gtest.h>

#include <array>

#include "fixstep.h"
#include "pc/calendar.h"
#include "pc/rtc.h"
#include "pc_fixture.h"
#include "pcio.h"

namespace {

using pctest::TestPc;

struct BiosDate {
    int century, year, month, day;
    bool operator==(const BiosDate &) const = default;
};

BiosDate BiosSays()
{
    BiosRegs regs{};
    regs.h.ah = 0x04;
    CallBiosTimeService(&regs);
    EXPECT_EQ(regs.x.cflag, 0);
    return {regs.h.ch, regs.h.cl, regs.h.dh, regs.h.dl};
}

std::ostream &operator<<(std::ostream &out, const BiosDate &d)
{
    return out << std::hex << d.century << "-" << d.year << "-" << d.month << "-" << d.day;
}

TEST(FixStep, TellsABiosThatKeptCentury19TheChipsDate)
{
    TestPc pc("1999-12-31 23:59:58", "latched-century-bios");
    TestPc::Advance(3.0);
    ASSERT_EQ(BiosSays(), (BiosDate{0x19, 0x00, 0x01, 0x01}));
    std::array<std::uint8_t, 128> before = pc::RtcRegisters();
    FixClocks();
    EXPECT_EQ(BiosSays(), (BiosDate{0x20, 0x00, 0x01, 0x01}));
    EXPECT_EQ(pc::RtcRegisters(), before) << "the chip was right and is left as it was";
}

// The step reads the chip, asks the BIOS, then sets the date: near midnight
// the day could turn in between and the BIOS be set to yesterday.
TEST(FixStep, SetsNoDateInTheLastTenSecondsOfADay)
{
    struct Case {
        const char *chip;
        BiosDate after;
    } cases[] = {{"2000-01-01 23:59:49", {0x20, 0x00, 0x01, 0x01}},
                 {"2000-01-01 23:59:50", {0x19, 0x00, 0x01, 0x01}},
                 {"2000-01-01 23:59:59", {0x19, 0x00, 0x01, 0x01}},
                 {"2000-01-02 00:00:00", {0x20, 0x00, 0x01, 0x02}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chip);
        TestPc pc("1999-12-31 23:59:58", "latched-century-bios");
        // The chip alone moves on: the BIOS keeps the century it booted with.
        pc::SetRtcTime(*pc::ParseCivil(c.chip));
        FixClocks();
        EXPECT_EQ(BiosSays(), c.after);
    }
}

// Nothing to mend: the step writes nothing, the chip's registers stay as
// they were to the byte.
TEST(FixStep, LeavesClocksThatAgreeAlone)
{
    struct Case {
        const char *profile, *start;
    } cases[] = {{"y2k-ready", "2000-01-01 00:00:05"},
                 {"latched-century-bios", "2000-01-01 00:00:05"},
                 {"legacy-rtc", "1999-12-31 12:00:00"},
                 {"bios-date-fails", "2000-01-01 00:00:05"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        TestPc pc(c.start, c.profile);
        std::array<std::uint8_t, 128> before = pc::RtcRegisters();
        FixClocks();
        EXPECT_EQ(pc::RtcRegisters(), before);
    }
}

}  // namespace
