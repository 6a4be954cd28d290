// The text forms of times that the tools, the settings and the automation
// read: civil date-times with or without milliseconds, and time zone biases.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "pc/calendar.h"

namespace {

TEST(PcCalendar, ParsesCivilTimesWithOrWithoutMilliseconds)
{
    struct Case {
        const char *text;
        const char *formatted;  // FormatCivil with milliseconds; nullptr: refused
    } cases[] = {
        {"1999-12-31 23:59:55", "1999-12-31 23:59:55.000"},
        {"1999-12-31T23:59:55", "1999-12-31 23:59:55.000"},
        {"1999-12-31 23:59:55.250", "1999-12-31 23:59:55.250"},
        {"2000-02-29 00:00:00.999", "2000-02-29 00:00:00.999"},
        {"1900-02-29 00:00:00", nullptr},
        {"1999-12-31 23:59:55.25", nullptr},
        {"1999-12-31 23:59:55.", nullptr},
        {"1999-12-31 23:59:55,250", nullptr},
        {"1999-12-31 23:59:55.2x0", nullptr},
        {"1999-12-31 24:00:00", nullptr},
        {"1999-12-31", nullptr},
    };
    for (const Case &c : cases) {
        std::optional<pc::CivilTime> t = pc::ParseCivil(c.text);
        if (!c.formatted) {
            EXPECT_FALSE(t) << c.text;
            continue;
        }
        ASSERT_TRUE(t) << c.text;
        EXPECT_EQ(pc::FormatCivil(*t, true), c.formatted) << c.text;
    }
}

TEST(PcCalendar, UtcOffsetsAreHoursAndMinutesOrMinutesWithinFourteenHours)
{
    struct Case {
        const char *text;
        int minutes;  // INT_MIN: refused
    } cases[] = {
        {"+00:00", 0},       {"+01:00", 60},   {"-05:30", -330},    {"+14:00", 840},
        {"-14:00", -840},    {"90", 90},       {"-600", -600},      {"+14:01", INT_MIN},
        {"+14:30", INT_MIN}, {"841", INT_MIN}, {"+01:60", INT_MIN}, {"01:00", INT_MIN},
        {"+1", 1},           {"", INT_MIN},    {"60m", INT_MIN},    {"99999999999", INT_MIN},
    };
    for (const Case &c : cases) {
        std::optional<int> minutes = pc::ParseUtcOffset(c.text);
        if (c.minutes == INT_MIN) {
            EXPECT_FALSE(minutes) << c.text;
            continue;
        }
        ASSERT_TRUE(minutes) << c.text;
        EXPECT_EQ(*minutes, c.minutes) << c.text;
    }
    EXPECT_EQ(pc::FormatUtcOffset(-330), "-05:30");
    EXPECT_EQ(pc::FormatUtcOffset(840), "+14:00");
}

}  // namespace
