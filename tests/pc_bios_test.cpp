// INT 1Ah on the simulated PC through the program's own primitive: what each
// BIOS profile puts in the registers and the carry flag.
#include <gtest/gtest.h>

#include "pc/rtc.h"
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

TEST(PcBios, FailingCallsSetCarryAndLeaveTheRegisters)
{
    struct Case {
        const char *profile;
        unsigned char function;
        bool fails;
    } cases[] = {{"bios-date-fails", 0x04, true},  {"bios-date-fails", 0x02, false},
                 {"bios-time-fails", 0x04, false}, {"bios-time-fails", 0x02, true},
                 {"y2k-ready", 0x00, true},        {"y2k-ready", 0x05, true}};
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
