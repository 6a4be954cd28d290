// The test's clock, testclock.dll, which the driver loads into the program
// because Wine refuses to set its own clock.
#pragma once

#include "uidriver.h"

// Checks the test's clock, loaded into the driver, against the records
// Windows takes and refuses.
void CheckTestClock(void);
// A run's clock log starts empty; the program started next finds its clock in
// `clockMode` ("own", or "wine": Wine's clock, its sets logged).
void StartClockLog(const char *clockMode);
// Into the running program; 0 when it could not be loaded.
int LoadTestClock(void);
// The lines of this run's clock log not yet reported, as "<stage> clock: <line>".
void ReportClockLog(const char *stage);
