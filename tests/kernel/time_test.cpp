// The simulated Windows' clock through the kernel calls: local and UTC time,
// SetLocalTime's validation and its write-through to the RTC, the tick count.
#include <gtest/gtest.h>

#include <windows.h>

#include "pc/osclock.h"
#include "pc/power.h"
#include "pc/rtc.h"
#include "pc/session.h"
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

SYSTEMTIME Record(int year, int month, int day, int hour, int minute, int second, int ms = 0,
                  int dayOfWeek = 3)
{
    SYSTEMTIME t;
    t.wYear = static_cast<WORD>(year);
    t.wMonth = static_cast<WORD>(month);
    t.wDayOfWeek = static_cast<WORD>(dayOfWeek);
    t.wDay = static_cast<WORD>(day);
    t.wHour = static_cast<WORD>(hour);
    t.wMinute = static_cast<WORD>(minute);
    t.wSecond = static_cast<WORD>(second);
    t.wMilliseconds = static_cast<WORD>(ms);
    return t;
}

void ExpectTime(const SYSTEMTIME &t, int year, int month, int day, int dayOfWeek, int hour,
                int minute, int second, int ms)
{
    EXPECT_EQ(t.wYear, year);
    EXPECT_EQ(t.wMonth, month);
    EXPECT_EQ(t.wDay, day);
    EXPECT_EQ(t.wDayOfWeek, dayOfWeek);
    EXPECT_EQ(t.wHour, hour);
    EXPECT_EQ(t.wMinute, minute);
    EXPECT_EQ(t.wSecond, second);
    EXPECT_EQ(t.wMilliseconds, ms);
}

TEST(PcOsClock, LocalAndUtcFollowTheTimeSourceAcrossTheZoneBias)
{
    TestPc pc("2000-01-01 00:30:00", "y2k-ready", 60);
    pc.Advance(1.25);
    SYSTEMTIME local, utc;
    GetLocalTime(&local);
    GetSystemTime(&utc);
    ExpectTime(local, 2000, 1, 1, 6, 0, 30, 1, 250);
    ExpectTime(utc, 1999, 12, 31, 5, 23, 30, 1, 250);
}

TEST(PcOsClock, SetLocalTimeAcceptsWhatWindowsAccepts)
{
    struct Case {
        SYSTEMTIME record;
        int dayOfWeek;  // as GetLocalTime computes it afterwards
    } cases[] = {
        {Record(2000, 2, 29, 12, 0, 0), 2},
        {Record(1601, 1, 1, 0, 0, 0), 1},
        {Record(30827, 12, 31, 23, 59, 59, 999), 5},
        {Record(1999, 12, 31, 23, 59, 55, 0, 0), 5},
    };
    TestPc pc("1999-06-01 12:00:00");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.record.wYear);
        ASSERT_TRUE(SetLocalTime(&c.record));
        SYSTEMTIME now;
        GetLocalTime(&now);
        ExpectTime(now, c.record.wYear, c.record.wMonth, c.record.wDay, c.dayOfWeek, c.record.wHour,
                   c.record.wMinute, c.record.wSecond, c.record.wMilliseconds);
    }
}

TEST(PcOsClock, SetLocalTimeRejectsInvalidRecordsAndLeavesTheClocks)
{
    const SYSTEMTIME bad[] = {
        Record(1999, 2, 29, 0, 0, 0),      Record(2000, 13, 1, 0, 0, 0),
        Record(2000, 0, 1, 0, 0, 0),       Record(2000, 4, 31, 0, 0, 0),
        Record(2000, 1, 0, 0, 0, 0),       Record(2000, 1, 1, 24, 0, 0),
        Record(2000, 1, 1, 0, 60, 0),      Record(2000, 1, 1, 0, 0, 60),
        Record(2000, 1, 1, 0, 0, 0, 1000), Record(1600, 12, 31, 0, 0, 0),
        Record(30828, 1, 1, 0, 0, 0),
    };
    TestPc pc("1999-06-01 12:00:00");
    for (const SYSTEMTIME &record : bad) {
        SCOPED_TRACE(std::to_string(record.wYear) + "-" + std::to_string(record.wMonth) + "-" +
                     std::to_string(record.wDay));
        SetLastError(0);
        EXPECT_FALSE(SetLocalTime(&record));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        SYSTEMTIME now;
        GetLocalTime(&now);
        ExpectTime(now, 1999, 6, 1, 2, 12, 0, 0, 0);
        EXPECT_EQ(Read(RTC_YEAR), 0x99);
    }
}

TEST(PcOsClock, SetLocalTimeWritesThroughInTheChipsModes)
{
    struct Case {
        const char *what;
        std::uint8_t modeB;
        SYSTEMTIME record;
        int century, year, month, day, dayOfWeek, hour, minute, second;
    } cases[] = {
        {"BCD 24-hour", 0x02, Record(1999, 12, 31, 23, 59, 55, 0, 0), 0x19, 0x99, 0x12, 0x31, 6,
         0x23, 0x59, 0x55},
        {"binary 12-hour", 0x04, Record(2000, 1, 1, 13, 5, 9), 20, 0, 1, 1, 7, 0x81, 5, 9},
        {"BCD 12-hour", 0x00, Record(2000, 1, 1, 0, 30, 0), 0x20, 0x00, 0x01, 0x01, 7, 0x12, 0x30,
         0x00},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestPc pc("2000-06-01 12:00:00");
        PortWriteByte(CMOS_INDEX_PORT, RTC_STATUS_B);
        PortWriteByte(CMOS_DATA_PORT, c.modeB);
        ASSERT_TRUE(SetLocalTime(&c.record));
        EXPECT_EQ(Read(CMOS_CENTURY), c.century);
        EXPECT_EQ(Read(RTC_YEAR), c.year);
        EXPECT_EQ(Read(RTC_MONTH), c.month);
        EXPECT_EQ(Read(RTC_DAY), c.day);
        EXPECT_EQ(Read(RTC_DAY_OF_WEEK), c.dayOfWeek);
        EXPECT_EQ(Read(RTC_HOURS), c.hour);
        EXPECT_EQ(Read(RTC_MINUTES), c.minute);
        EXPECT_EQ(Read(RTC_SECONDS), c.second);
    }
}

TEST(PcOsClock, RolloverAfterSetLocalTimeReachesTheChip)
{
    TestPc pc("2000-06-01 12:00:00", "legacy-rtc");
    SYSTEMTIME test = Record(1999, 12, 31, 23, 59, 55);
    ASSERT_TRUE(SetLocalTime(&test));
    pc.Advance(6);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2000);
    EXPECT_EQ(Read(RTC_YEAR), 0x00);
    EXPECT_EQ(Read(CMOS_CENTURY), 0x19);
}

TEST(PcOsClock, DeniedSetLocalTimeFailsWithPrivilegeError)
{
    TestPc pc("2000-06-01 12:00:00");
    pc::ChangeSetting("set-time", "denied");
    SYSTEMTIME test = Record(1999, 12, 31, 23, 59, 55);
    EXPECT_FALSE(SetLocalTime(&test));
    EXPECT_EQ(GetLastError(), ERROR_PRIVILEGE_NOT_HELD);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2000);
}

TEST(PcOsClock, TickCountIgnoresTheDateAndRestartsWithWindows)
{
    TestPc pc("2000-06-01 12:00:00");
    DWORD start = GetTickCount();
    SYSTEMTIME test = Record(1999, 12, 31, 23, 59, 55);
    ASSERT_TRUE(SetLocalTime(&test));
    pc.Advance(2.5);
    EXPECT_EQ(GetTickCount() - start, 2500u);
    pc::RestartWindows();
    EXPECT_EQ(GetTickCount(), 0u);
}

TEST(PcOsClock, SyncReturnsToTheTimeSourceAndTheChipFollows)
{
    TestPc pc("2000-06-01 12:00:00");
    SYSTEMTIME test = Record(1999, 12, 31, 23, 59, 55);
    ASSERT_TRUE(SetLocalTime(&test));
    pc::SyncOsClock();
    SYSTEMTIME now;
    GetLocalTime(&now);
    ExpectTime(now, 2000, 6, 1, 4, 12, 0, 0, 0);
    EXPECT_EQ(Read(RTC_YEAR), 0x00);
    EXPECT_EQ(Read(RTC_MONTH), 0x06);
}

}  // namespace
