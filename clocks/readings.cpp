// The two hardware views of the clock: the RTC's registers read through the
// CMOS ports, and the BIOS time-of-day service; plus the BCD conversion.
#include "tolvane.h"
#include "pcio.h"

#define CMOS_INDEX_PORT 0x70
#define CMOS_DATA_PORT 0x71
#define RTC_STATUS_A 0x0A
#define RTC_UPDATE_IN_PROGRESS 0x80

// An update cycle keeps UIP high for 244 + 1984 us; a poll costs two port
// accesses of about 1 us each on the ISA bus, so 5000 polls wait well past any
// real update. A chip whose UIP never clears is read as it stands rather than
// hanging the program with interrupts off.
#define UIP_POLL_LIMIT 5000

#define RTC_SECONDS 0x00
#define RTC_MINUTES 0x02
#define RTC_HOURS 0x04
#define RTC_DAY 0x07
#define RTC_MONTH 0x08
#define RTC_YEAR 0x09
#define CMOS_CENTURY 0x32

#define BIOS_READ_RTC_TIME 0x02
#define BIOS_READ_RTC_DATE 0x04

int ReadCmosRegister(int reg)
{
    int polls = 0;
    int value;

    DisableInterrupts();
    do {
        PortWriteByte(CMOS_INDEX_PORT, RTC_STATUS_A);
    } while ((PortReadByte(CMOS_DATA_PORT) & RTC_UPDATE_IN_PROGRESS) && ++polls < UIP_POLL_LIMIT);
    PortWriteByte(CMOS_INDEX_PORT, (unsigned char)reg);
    value = PortReadByte(CMOS_DATA_PORT);
    EnableInterrupts();
    return value;
}

void GetCmosTime(ClockReading *reading)
{
    reading->century = ReadCmosRegister(CMOS_CENTURY);
    reading->year = ReadCmosRegister(RTC_YEAR);
    reading->month = ReadCmosRegister(RTC_MONTH);
    reading->day = ReadCmosRegister(RTC_DAY);
    reading->hour = ReadCmosRegister(RTC_HOURS);
    reading->minute = ReadCmosRegister(RTC_MINUTES);
    reading->second = ReadCmosRegister(RTC_SECONDS);
}

int GetBiosDateTime(ClockReading *reading)
{
    union BiosRegs regs;

    regs.x.ax = 0;
    regs.x.cx = 0;
    regs.x.dx = 0;
    regs.h.ah = BIOS_READ_RTC_DATE;
    CallBiosTimeService(&regs);
    if (regs.x.cflag)
        return 1;
    reading->century = regs.h.ch;
    reading->year = regs.h.cl;
    reading->month = regs.h.dh;
    reading->day = regs.h.dl;

    regs.x.ax = 0;
    regs.x.cx = 0;
    regs.x.dx = 0;
    regs.h.ah = BIOS_READ_RTC_TIME;
    CallBiosTimeService(&regs);
    if (regs.x.cflag)
        return 1;
    reading->hour = regs.h.ch;
    reading->minute = regs.h.cl;
    reading->second = regs.h.dh;
    return 0;
}

int GetBiosTime(ClockReading *reading)
{
    return GetBiosDateTime(reading);
}

int bcd2hex(int value)
{
    return (value & 0x0F) + ((value >> 4) & 0x0F) * 10;
}
