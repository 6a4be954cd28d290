// The clock readings and their one-line formats, read straight from the
// simulated PC without the dialog.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pc/timesource.h"
#include "program_session.h"

namespace {

class ClockFormats : public ProgramTest {};

constexpr std::int64_t kMs = 1'000'000;

TEST(ClockReadings, Bcd2HexTakesTheLowByteAndKeepsBadNibbles)
{
    struct Case {
        int in, out;
    } cases[] = {{0x19, 19},  {0x00, 0},  {0x99, 99}, {0x1A, 20},
                 {0x119, 19}, {0x59, 59}, {0xFF, 165}};
    for (const Case &c : cases)
        EXPECT_EQ(bcd2hex(c.in), c.out) << "bcd2hex(0x" << std::hex << c.in << ")";
}

TEST(ClockReadings, CmosReadingIsRawBcd)
{
    automation::Session pc(Pc("y2k-ready", "1999-12-31 23:59:55.000"));
    ClockReading r;
    GetCmosTime(&r);
    EXPECT_EQ(r.century, 0x19);
    EXPECT_EQ(r.year, 0x99);
    EXPECT_EQ(r.month, 0x12);
    EXPECT_EQ(r.day, 0x31);
    EXPECT_EQ(r.hour, 0x23);
    EXPECT_EQ(r.minute, 0x59);
    EXPECT_EQ(r.second, 0x55);
}

TEST(ClockReadings, CenturyAfterTheWrapDependsOnTheChip)
{
    struct Case {
        const char *profile;
        int century;
    } cases[] = {{"y2k-ready", 0x20}, {"legacy-rtc", 0x19}, {"windowing-bios", 0x19}};
    for (const Case &c : cases) {
        automation::Session pc(Pc(c.profile, "1999-12-31 23:59:59.500"));
        pc::AdvanceVirtualTime(1000 * kMs);
        ClockReading r;
        GetCmosTime(&r);
        EXPECT_EQ(r.year, 0x00) << c.profile;
        EXPECT_EQ(r.century, c.century) << c.profile;
        EXPECT_EQ(r.month, 0x01) << c.profile;
        EXPECT_EQ(r.day, 0x01) << c.profile;
    }
}

TEST(ClockReadings, BiosFailuresLeaveTheRecordAsTheyFoundIt)
{
    const ClockReading untouched = {0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77};
    {
        automation::Session pc(Pc("bios-date-fails", "2026-06-15 10:20:07.000"));
        ClockReading r = untouched;
        EXPECT_EQ(GetBiosDateTime(&r), 1);
        EXPECT_EQ(std::memcmp(&r, &untouched, sizeof r), 0) << "date failure wrote fields";
    }
    {
        automation::Session pc(Pc("bios-time-fails", "2026-06-15 10:20:07.000"));
        ClockReading r = untouched;
        EXPECT_EQ(GetBiosTime(&r), 1);
        EXPECT_EQ(r.century, 0x20);
        EXPECT_EQ(r.year, 0x26);
        EXPECT_EQ(r.month, 0x06);
        EXPECT_EQ(r.day, 0x15);
        EXPECT_EQ(r.hour, 0x77) << "time fields written despite the failure";
        EXPECT_EQ(r.second, 0x77);
    }
    {
        automation::Session pc(Pc("windowing-bios", "1999-12-31 23:59:59.500"));
        pc::AdvanceVirtualTime(1000 * kMs);
        ClockReading r = untouched;
        EXPECT_EQ(GetBiosTime(&r), 0);
        EXPECT_EQ(r.century, 0x20) << "the windowing BIOS hides the chip's 19";
        EXPECT_EQ(r.year, 0x00);
        EXPECT_EQ(r.month, 0x01);
    }
}

// The line is built without the platform's formatter; it must be the text
// that " %02x-%02x-%02x%02x   %02x:%02x:%02x" gives, for every byte.
TEST(ClockReadings, HardwareLineIsWhatWsprintfMakesOfTheBytes)
{
    for (int byte = 0; byte <= 0xFF; ++byte) {
        ClockReading r = {byte, 0x99 ^ byte, byte, 0xFF - byte, byte / 2, byte, 0x0F & byte};
        char ours[CLOCK_LINE_SIZE], theirs[CLOCK_LINE_SIZE];
        FormatHardwareLine(ours, &r);
        wsprintfA(theirs, " %02x-%02x-%02x%02x   %02x:%02x:%02x", r.month, r.day, r.century, r.year,
                  r.hour, r.minute, r.second);
        ASSERT_STREQ(ours, theirs) << "byte 0x" << std::hex << byte;
    }
}

TEST_F(ClockFormats, HardwareAndSystemLinesAre22CharactersAndAgree)
{
    automation::Session pc(Pc("y2k-ready", "1999-12-31 23:59:55.000"));
    char cmos[33], bios[33], local[33], utc[33];
    ASSERT_EQ(GetCmosDateTimeString(cmos), 1);
    ASSERT_EQ(GetBiosDateTimeString(bios), 1);
    ASSERT_EQ(GetSystemLocalDateTimeString(local), 1);
    ASSERT_EQ(GetSystemUTCDateTimeString(utc), 1);
    EXPECT_STREQ(cmos, " 12-31-1999   23:59:55");
    EXPECT_STREQ(bios, " 12-31-1999   23:59:55");
    EXPECT_STREQ(local, " 12-31-1999   23:59:55");
    EXPECT_EQ(std::strlen(cmos), 22u);
}

TEST_F(ClockFormats, EachFormatterReportsANewLineOncePerSecond)
{
    automation::Session pc(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    int (*formatters[])(char *) = {GetCmosDateTimeString, GetBiosDateTimeString,
                                   GetSystemLocalDateTimeString, GetSystemUTCDateTimeString};
    int newLines[4] = {0, 0, 0, 0};
    // Ten seconds of 200 ms ticks.
    for (int tick = 0; tick < 50; ++tick) {
        for (int i = 0; i < 4; ++i) {
            char line[33];
            newLines[i] += formatters[i](line);
        }
        pc::AdvanceVirtualTime(200 * kMs);
    }
    // Ten seconds pass; the chip's seconds tick half a second out of phase
    // with the OS clock's, so a hardware clock may show one second more.
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(newLines[i], 10) << "formatter " << i;
        EXPECT_LE(newLines[i], 11) << "formatter " << i << " redraws per tick";
    }
}

TEST_F(ClockFormats, NothingNewLeavesTheBufferUntouched)
{
    automation::Session pc(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    char line[33];
    ASSERT_EQ(GetSystemLocalDateTimeString(line), 1);
    std::strcpy(line, "unchanged");
    EXPECT_EQ(GetSystemLocalDateTimeString(line), 0);
    EXPECT_STREQ(line, "unchanged");
}

}  // namespace
