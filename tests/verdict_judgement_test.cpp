// The judgement of a test from its readings, apart from the message box: the
// same function judges on Windows, on the host and in the bare guest.
#include <gtest/gtest.h>

#include "judgement.h"

namespace {

// Raw BCD, as the hardware gives them: century, year, month, day, then a time
// that takes no part.
constexpr ClockReading kNewYear2000 = {0x20, 0x00, 0x01, 0x01, 0x00, 0x00, 0x05};
constexpr ClockReading kNewYear1900 = {0x19, 0x00, 0x01, 0x01, 0x00, 0x00, 0x05};
constexpr ClockReading kNewYearsEve = {0x19, 0x99, 0x12, 0x31, 0x23, 0x59, 0x58};
constexpr ClockReading kSecondOfJanuary = {0x20, 0x00, 0x01, 0x02, 0x00, 0x00, 0x05};
constexpr ClockReading kFailedBiosRead = {0, 0, 0, 0, 0, 0, 0};

TEST(Judgement, AllThreeOnNewYearsDay2000PassAnythingElseFails)
{
    struct Case {
        const char *what;
        ClockReading cmos, bios;
        int year, month, day;  // local
        int verdict;
    } cases[] = {
        {"all three on 2000-01-01", kNewYear2000, kNewYear2000, 2000, 1, 1, TEST_PASS},
        {"OS still in 1999", kNewYear2000, kNewYear2000, 1999, 12, 31, TEST_UNKNOWN},
        {"OS in 1999, hardware too", kNewYearsEve, kNewYearsEve, 1999, 12, 31, TEST_UNKNOWN},
        {"the chip's century stayed", kNewYear1900, kNewYear2000, 2000, 1, 1, TEST_FAIL},
        {"the BIOS kept century 19", kNewYear2000, kNewYear1900, 2000, 1, 1, TEST_FAIL},
        {"the BIOS read failed", kNewYear2000, kFailedBiosRead, 2000, 1, 1, TEST_FAIL},
        {"a day too late", kSecondOfJanuary, kSecondOfJanuary, 2000, 1, 2, TEST_FAIL},
        {"OS in 2001", kNewYear2000, kNewYear2000, 2001, 1, 1, TEST_FAIL},
    };
    for (const Case &c : cases)
        EXPECT_EQ(JudgeTestReadings(&c.cmos, &c.bios, c.year, c.month, c.day), c.verdict) << c.what;
}

}  // namespace
