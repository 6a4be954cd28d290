/* The clock chip's register map: the index and data ports, the registers and
 * the bits of each, as the MC146818A datasheet numbers them. The one list that
 * the program, the fix companion, the bare guest, the simulated PC and the
 * tests all read, so it is plain C. */
#ifndef TOLVANE_RTC_REGISTERS_H
#define TOLVANE_RTC_REGISTERS_H

#define CMOS_INDEX_PORT 0x70 /* write-only: bit 7 masks NMI, bits 0-6 select */
#define CMOS_DATA_PORT 0x71
#define CMOS_NMI_MASK 0x80
#define CMOS_REGISTER_COUNT 128

/* The time and date, in BCD or binary as register B says. */
#define RTC_SECONDS 0x00
#define RTC_MINUTES 0x02
#define RTC_HOURS 0x04
#define RTC_DAY_OF_WEEK 0x06 /* 1 = Sunday */
#define RTC_DAY 0x07
#define RTC_MONTH 0x08
#define RTC_YEAR 0x09
#define RTC_STATUS_A 0x0A
#define RTC_STATUS_B 0x0B
#define RTC_STATUS_C 0x0C
#define RTC_STATUS_D 0x0D
/* Not the chip's: the byte of battery-backed RAM where PC BIOSes keep the century. */
#define CMOS_CENTURY 0x32

/* Register A */
#define RTC_UPDATE_IN_PROGRESS 0x80
#define RTC_DIVIDER_MASK 0x70
#define RTC_DIVIDER_RUNNING 0x20 /* DV = 010: 32.768 kHz time base, counting */
#define RTC_RATE_MASK 0x0F

/* Register B */
#define RTC_SET 0x80
#define RTC_PERIODIC_INTERRUPT 0x40
#define RTC_UPDATE_INTERRUPT 0x10
#define RTC_BINARY_MODE 0x04
#define RTC_24_HOUR_MODE 0x02
#define RTC_DAYLIGHT_SAVING 0x01

/* Register C: read-only flags, cleared by reading them */
#define RTC_INTERRUPT_REQUEST 0x80
#define RTC_PERIODIC_FLAG 0x40
#define RTC_UPDATE_ENDED_FLAG 0x10

/* Register D */
#define RTC_VALID_RAM 0x80

/* The hours register in 12-hour mode */
#define RTC_HOUR_PM 0x80

#endif
