/* The judgement of a rollover test from its three readings, apart from the
 * message box that tells it: the bare guest on an emulated PC judges its
 * readings with the same code. */
#ifndef TOLVANE_JUDGEMENT_H
#define TOLVANE_JUDGEMENT_H

#include "clocks.h"

#define TEST_UNKNOWN 0 /* the local clock is still in 1999 */
#define TEST_PASS 1
#define TEST_FAIL 2

/* CMOS and BIOS readings and the local date; the hours, minutes and seconds
 * take no part. */
int JudgeTestReadings(const ClockReading *cmos, const ClockReading *bios, int localYear,
                      int localMonth, int localDay);

#endif
