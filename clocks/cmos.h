/* The clock chip as the program and the fix companion reach it: the CMOS ports,
 * the register numbers, the status bits they test, and the bounded wait for the
 * end of an update cycle. Both build on Windows, on the host and in the bare
 * guest. */
#ifndef TOLVANE_CMOS_H
#define TOLVANE_CMOS_H

#define CMOS_INDEX_PORT 0x70
#define CMOS_DATA_PORT 0x71

#define RTC_SECONDS 0x00
#define RTC_MINUTES 0x02
#define RTC_HOURS 0x04
#define RTC_DAY 0x07
#define RTC_MONTH 0x08
#define RTC_YEAR 0x09
#define RTC_STATUS_A 0x0A
#define RTC_STATUS_B 0x0B
#define CMOS_CENTURY 0x32

#define RTC_UPDATE_IN_PROGRESS 0x80 /* register A */
#define RTC_BINARY_MODE 0x04        /* register B */
#define RTC_24_HOUR_MODE 0x02       /* register B */
#define RTC_HOUR_PM 0x80            /* hours register, 12-hour mode */

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
