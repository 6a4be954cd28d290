/* The clock chip as the program and the fix companion reach it: byte reads and
 * writes through the CMOS ports and the bounded wait for the end of an update
 * cycle. Both build on Windows, on the host and in the bare guest. */
#ifndef TOLVANE_CMOS_H
#define TOLVANE_CMOS_H

#include "rtc_registers.h"

/* An update cycle keeps UIP high for 244 + 1984 us; a poll costs two port
 * accesses of about 1 us each on the ISA bus, so 5000 polls wait well past any
 * real update. A chip whose UIP never clears is not waited for any longer,
 * rather than hanging the caller with interrupts off. */
#define UIP_POLL_LIMIT 5000

unsigned char ReadCmosByte(unsigned char reg);
void WriteCmosByte(unsigned char reg, unsigned char value);

/* With interrupts off: polls UIP until it is clear, at most UIP_POLL_LIMIT
 * times. Returns 1 when it cleared (the registers then stay still for at least
 * 244 us), 0 when the chip is stuck in its update. */
int WaitForCmosUpdateEnd(void);

#endif
