// Whether the clocks came through midnight into 1 January 2000: the CMOS and
// BIOS dates as BCD decodes them, and the local date.
#include "judgement.h"

static int IsNewYear2000(int year, int month, int day)
{
    return year == 2000 && month == 1 && day == 1;
}

static int IsNewYear2000Reading(const ClockReading *reading)
{
    return IsNewYear2000(bcd2hex(reading->century) * 100 + bcd2hex(reading->year),
                         bcd2hex(reading->month), bcd2hex(reading->day));
}

int JudgeTestReadings(const ClockReading *cmos, const ClockReading *bios, int localYear,
                      int localMonth, int localDay)
{
    // While the OS still says 1999 the test has not reached midnight, whatever
    // the hardware clocks show.
    if (localYear == 1999)
        return TEST_UNKNOWN;
    if (IsNewYear2000Reading(cmos) && IsNewYear2000Reading(bios) &&
        IsNewYear2000(localYear, localMonth, localDay))
        return TEST_PASS;
    return TEST_FAIL;
}
