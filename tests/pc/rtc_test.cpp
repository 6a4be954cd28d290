// The simulated RTC through its ports, as a program sees it: the year's wrap
// with and without a century counter, the register modes, the update window,
// the status registers and catching up after long gaps.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "pc/rtc.h"
#include "pc/settings.h"
#include "pc_fixture.h"
#include "pcio.h"

namespace {

using pctest::TestPc;

std::uint8_t Read(int reg)
{
    PortWriteByte(CMOS_INDEX_PORT, static_cast<unsigned char>(reg));
    return PortReadByte(CMOS_DATA_PORT);
}

void Write(int reg, std::uint8_t value)
{
    PortWriteByte(CMOS_INDEX_PORT, static_cast<unsigned char>(reg));
    PortWriteByte(CMOS_DATA_PORT, value);
}

// The register as the chip shows it at exactly `at` on the time source (the
// select before it costs one bus cycle).
std::uint8_t ReadAt(std::int64_t at, int reg)
{
    TestPc::AdvanceTo(at - pc::rtc::kBusCycleNs);
    return Read(reg);
}

struct Clock {
    int century, year, month, day, hour, minute, second;
};

Clock ReadClock()
{
    return {Read(CMOS_CENTURY), Read(RTC_YEAR),    Read(RTC_MONTH),  Read(RTC_DAY),
            Read(RTC_HOURS),    Read(RTC_MINUTES), Read(RTC_SECONDS)};
}

void ExpectClock(const Clock &expected)
{
    Clock got = ReadClock();
    EXPECT_EQ(got.century, expected.century);
    EXPECT_EQ(got.year, expected.year);
    EXPECT_EQ(got.month, expected.month);
    EXPECT_EQ(got.day, expected.day);
    EXPECT_EQ(got.hour, expected.hour);
    EXPECT_EQ(got.minute, expected.minute);
    EXPECT_EQ(got.second, expected.second);
}

TEST(PcRtc, CenturyByteAfterTheYearWrapsDependsOnTheChip)
{
    struct Case {
        const char *profile;
        int century;
    } cases[] = {{"y2k-ready", 0x20}, {"legacy-rtc", 0x19}, {"windowing-bios", 0x19}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        TestPc pc("1999-12-31 23:59:59", c.profile);
        ExpectClock({0x19, 0x99, 0x12, 0x31, 0x23, 0x59, 0x59});
        pc.Advance(1);
        ExpectClock({c.century, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00});
    }
}

TEST(PcRtc, BinaryAnd12HourModesTickInTheirOwnEncoding)
{
    struct Case {
        const char *what;
        std::uint8_t modeB;
        Clock start;
        Clock next;  // one second later
    } cases[] = {
        {"12-hour BCD, 12:59:59 PM",
         0x00,
         {0x19, 0x99, 0x06, 0x15, 0x92, 0x59, 0x59},
         {0x19, 0x99, 0x06, 0x15, 0x81, 0x00, 0x00}},
        {"12-hour BCD, 11:59:59 AM",
         0x00,
         {0x19, 0x99, 0x06, 0x15, 0x11, 0x59, 0x59},
         {0x19, 0x99, 0x06, 0x15, 0x92, 0x00, 0x00}},
        {"12-hour BCD, 11:59:59 PM",
         0x00,
         {0x19, 0x99, 0x06, 0x15, 0x91, 0x59, 0x59},
         {0x19, 0x99, 0x06, 0x16, 0x12, 0x00, 0x00}},
        {"24-hour binary, year wrap", 0x06, {19, 99, 12, 31, 23, 59, 59}, {20, 0, 1, 1, 0, 0, 0}},
        {"12-hour binary, 12:59:59 AM",
         0x04,
         {19, 99, 2, 28, 12, 59, 59},
         {19, 99, 2, 28, 1, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestPc pc("2000-03-01 10:00:00");
        Write(RTC_STATUS_B, 0x80 | c.modeB);
        const int regs[] = {CMOS_CENTURY, RTC_YEAR,    RTC_MONTH,  RTC_DAY,
                            RTC_HOURS,    RTC_MINUTES, RTC_SECONDS};
        const int values[] = {c.start.century, c.start.year,   c.start.month, c.start.day,
                              c.start.hour,    c.start.minute, c.start.second};
        for (int i = 0; i < 7; ++i)
            Write(regs[i], static_cast<std::uint8_t>(values[i]));
        Write(RTC_STATUS_B, c.modeB);
        ExpectClock(c.start);
        pc.Advance(1);
        ExpectClock(c.next);
    }
}

TEST(PcRtc, UpdateInProgressSpansTheDatasheetWindowAndTimeReadsBadInside)
{
    TestPc pc("2000-03-01 12:00:00");
    std::int64_t next = pc::RtcNextUpdateNs();
    struct Edge {
        std::int64_t offsetNs;
        bool uip;
    } edges[] = {
        {-244'001, false}, {-244'000, true}, {0, true}, {1'983'999, true}, {1'984'000, false}};
    for (const Edge &e : edges)
        EXPECT_EQ(ReadAt(next + e.offsetNs, 0x0A) & 0x80, e.uip ? 0x80 : 0) << e.offsetNs << " ns";

    // A reader that ignores UIP is caught inside the update cycle itself.
    next = pc::RtcNextUpdateNs();
    struct Sample {
        std::int64_t offsetNs;
        std::uint8_t seconds;
    } samples[] = {{-100'000, 0x01}, {0, 0xFF}, {1'983'000, 0xFF}, {1'984'000, 0x02}};
    for (const Sample &s : samples)
        EXPECT_EQ(ReadAt(next + s.offsetNs, 0x00), s.seconds) << s.offsetNs << " ns";
}

TEST(PcRtc, SetBitStopsUpdatesAbortsOneUnderWayAndHidesUip)
{
    TestPc pc("2000-03-01 12:00:00");
    Write(RTC_STATUS_B, 0x82);
    pc.Advance(3);
    EXPECT_EQ(Read(RTC_SECONDS), 0x00);
    EXPECT_EQ(ReadAt(pc::RtcNextUpdateNs(), 0x0A) & 0x80, 0);
    Write(RTC_STATUS_B, 0x02);
    pc.Advance(1.1);  // counting resumes on the chip's own phase
    EXPECT_EQ(Read(RTC_SECONDS), 0x01);

    // SET raised during an update cycle: that update never lands.
    TestPc::AdvanceTo(pc::RtcNextUpdateNs() + 500'000);
    Write(RTC_STATUS_B, 0x82);
    Write(RTC_STATUS_B, 0x02);
    pc.Advance(0.1);
    EXPECT_EQ(Read(RTC_SECONDS), 0x01);
}

TEST(PcRtc, StatusRegistersAndWritableBytes)
{
    TestPc pc("2000-03-01 12:00:00");
    pc.Advance(1);
    EXPECT_EQ(Read(RTC_STATUS_C) & 0x10, 0x10) << "update-ended flag";
    EXPECT_EQ(Read(RTC_STATUS_C), 0x00) << "reading C clears it";
    Write(RTC_STATUS_D, 0x00);
    EXPECT_EQ(Read(RTC_STATUS_D), 0x80) << "D is read-only, VRT set";
    Write(RTC_STATUS_A, 0xA6);
    EXPECT_EQ(Read(RTC_STATUS_A), 0x26) << "UIP is not writable";
    Write(0x40, 0x5A);
    EXPECT_EQ(Read(0x40), 0x5A);

    // Bit 7 of the index is the NMI mask, never part of the register number.
    PortWriteByte(CMOS_INDEX_PORT, CMOS_NMI_MASK | CMOS_CENTURY);
    EXPECT_EQ(PortReadByte(CMOS_DATA_PORT), 0x20);
    EXPECT_TRUE(pc::RtcPortIndex().nmiMasked);
    EXPECT_EQ(pc::RtcPortIndex().index, 0x32);
}

TEST(PcRtc, PeriodicFlagFollowsTheRateInRegisterA)
{
    struct Case {
        std::uint8_t rate;  // RS3..RS0
        std::int64_t periodNs;
    } cases[] = {{1, 3'906'250}, {2, 7'812'500}, {3, 122'070}, {6, 976'562}, {15, 500'000'000}};
    for (const Case &c : cases) {
        SCOPED_TRACE("RS " + std::to_string(c.rate));
        TestPc pc("2000-03-01 12:00:00");
        Write(RTC_STATUS_A, static_cast<std::uint8_t>(0x20 | c.rate));
        // Every rate ticks at the start of each update.
        std::int64_t tick = pc::RtcNextUpdateNs();
        ReadAt(tick + 500, 0x0C);
        EXPECT_EQ(ReadAt(tick + c.periodNs - 500, 0x0C) & 0x40, 0) << "before the next tick";
        EXPECT_EQ(ReadAt(tick + c.periodNs + 1'000, 0x0C) & 0xC0, 0x40) << "after it, without PIE";
    }

    TestPc pc("2000-03-01 12:00:00");
    Write(RTC_STATUS_B, 0x42);  // PIE
    pc.Advance(0.01);
    EXPECT_EQ(Read(RTC_STATUS_C) & 0xC0, 0xC0) << "with PIE the tick raises IRQF";
    Write(RTC_STATUS_A, 0x20);  // rate 0: no periodic ticks
    Read(RTC_STATUS_C);
    pc.Advance(2);
    EXPECT_EQ(Read(RTC_STATUS_C) & 0x40, 0);
}

// A run with interrupts off is never preempted on a real CPU. Here another
// program moves the clock while this one sits between its poll and its read:
// the chip still sees only this thread's own bus cycles.
TEST(PcRtc, ProgramPreemptedBetweenPollAndReadNeverReadsInsideAnUpdate)
{
    struct Case {
        const char *what;
        std::int64_t othersRunNs;
    } cases[] = {{"into UIP", 100'000},
                 {"into the update cycle", 1'000'000},
                 {"past the update", 3'000'000},
                 {"past several updates", 2'500'000'000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestPc pc("2000-03-01 12:00:07");
        std::int64_t next = pc::RtcNextUpdateNs();
        TestPc::AdvanceTo(next - 300'000);  // UIP rises 56 us later
        DisableInterrupts();
        PortWriteByte(CMOS_INDEX_PORT, RTC_STATUS_A);
        ASSERT_EQ(PortReadByte(CMOS_DATA_PORT) & RTC_UPDATE_IN_PROGRESS, 0);
        std::thread other([&c] { pc::AdvanceVirtualTime(c.othersRunNs); });
        other.join();
        PortWriteByte(CMOS_INDEX_PORT, RTC_SECONDS);
        std::uint8_t seconds = PortReadByte(CMOS_DATA_PORT);
        EnableInterrupts();
        EXPECT_EQ(seconds, 0x07);
        EXPECT_EQ(pc::Now(), next - 300'000 + c.othersRunNs) << "the stretch moved the PC's clock";
    }

    // The same protocol without interrupts off is caught inside the update.
    TestPc pc("2000-03-01 12:00:07");
    std::int64_t next = pc::RtcNextUpdateNs();
    TestPc::AdvanceTo(next - 300'000);
    PortWriteByte(CMOS_INDEX_PORT, RTC_STATUS_A);
    ASSERT_EQ(PortReadByte(CMOS_DATA_PORT) & RTC_UPDATE_IN_PROGRESS, 0);
    pc::AdvanceVirtualTime(1'000'000);
    EXPECT_EQ(Read(RTC_SECONDS), 0xFF);
}

TEST(PcRtc, DividerResetHoldsTheClockAndRestartsHalfASecondLater)
{
    TestPc pc("2000-03-01 12:00:00");
    Write(RTC_STATUS_A, 0x76);
    pc.Advance(3);
    EXPECT_EQ(Read(RTC_SECONDS), 0x00);
    Write(RTC_STATUS_A, 0x26);
    pc.Advance(0.45);
    EXPECT_EQ(Read(RTC_SECONDS), 0x00);
    pc.Advance(0.1);
    EXPECT_EQ(Read(RTC_SECONDS), 0x01);
}

TEST(PcRtc, CatchesUpLongGapsByDateWithDayOfWeek)
{
    constexpr double kDay = 86400;
    struct Case {
        const char *start;
        double seconds;
        Clock expected;
        int dayOfWeek;  // 1 = Sunday
    } cases[] = {
        {"1999-12-31 23:59:59", 1, {0x20, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00}, 7},
        {"1999-02-28 12:00:00", 366 * kDay, {0x20, 0x00, 0x02, 0x29, 0x12, 0x00, 0x00}, 3},
        {"1995-06-15 08:30:00", 3653 * kDay + 3723, {0x20, 0x05, 0x06, 0x15, 0x09, 0x32, 0x03}, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.start);
        TestPc pc(c.start);
        pc.Advance(c.seconds);
        ExpectClock(c.expected);
        EXPECT_EQ(Read(RTC_DAY_OF_WEEK), c.dayOfWeek);
    }
}

TEST(PcRtc, EightyYearGapIsCaughtUpInOneStep)
{
    TestPc pc("1999-12-31 23:59:59", "legacy-rtc");
    pc.Advance(29220.0 * 86400);
    auto begin = std::chrono::steady_clock::now();
    ExpectClock({0x19, 0x79, 0x12, 0x31, 0x23, 0x59, 0x59});
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(50));
}

// Each step moves the virtual clock on and then the phase, alternating
// between two; 2.5 s later the chip shows the time source's second as it did
// before the first change (a second ahead, as a new chip starts), counted
// from the last phase.
TEST(PcRtc, PhaseChangesMoveWhereTheSecondStartsNeverTheChipsTime)
{
    struct Case {
        int stepMs, firstPhaseMs, secondPhaseMs;
        std::uint8_t seconds;  // what the chip shows at the end
    } cases[] = {
        {45, 250, 750, 0x03},   // 3.4 s on, phase 750: second 2, plus one
        {300, 250, 750, 0x08},  // 8.5 s on: 7, plus one
        {123, 500, 600, 0x05},  // 4.96 s on, phase 600: 4, plus one
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stepMs);
        TestPc pc("2000-01-01 00:00:00");
        ASSERT_EQ(pc::RtcRegisters()[RTC_SECONDS], 0x00);
        for (int i = 0; i < 20; ++i) {
            pc.Advance(c.stepMs / 1000.0);
            pc::ChangeSetting("rtc-phase-ms",
                              std::to_string(i % 2 ? c.secondPhaseMs : c.firstPhaseMs));
        }
        pc.Advance(2.5);
        EXPECT_EQ(pc::RtcRegisters()[RTC_SECONDS], c.seconds);
        EXPECT_EQ(pc::RtcNextUpdateNs() % 1'000'000'000, c.secondPhaseMs * 1'000'000LL);
    }
}

TEST(PcRtc, StuckChipKeepsUipHigh)
{
    TestPc pc("2000-03-01 12:00:00", "stuck-rtc");
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(Read(RTC_STATUS_A) & 0x80, 0x80);
        pc.Advance(0.1);
    }
}

// A bounded poll with interrupts off ends in bus time the PC never sees.
TEST(PcRtc, StuckChipPollWithInterruptsOffLeavesTheClockWhereItWas)
{
    TestPc pc("2000-03-01 12:00:00", "stuck-rtc");
    std::int64_t before = pc::Now();
    DisableInterrupts();
    int polls = 0;
    do
        PortWriteByte(CMOS_INDEX_PORT, RTC_STATUS_A);
    while ((PortReadByte(CMOS_DATA_PORT) & RTC_UPDATE_IN_PROGRESS) && ++polls < 5000);
    EnableInterrupts();
    EXPECT_EQ(polls, 5000);
    EXPECT_EQ(pc::Now(), before);
}

}  // namespace
