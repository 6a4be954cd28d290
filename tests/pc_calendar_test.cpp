// The text forms of times that the tools, the settings and the automation
// read: civil date-times with or without milliseconds.
#include <gtest/gtest.h>

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

}  // namespace
