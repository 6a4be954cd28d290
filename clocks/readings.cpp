// The two hardware views of the clock: the RTC's registers read through the
// CMOS ports, and the BIOS time-of-day service; plus the BCD conversion.
#include "clocks.h"
#include "cmos.h"
#include "pcio.h"

#define BIOS_READ_RTC_TIME 0x02
#define BIOS_READ_RTC_DATE 0x04

int ReadCmosRegister(int reg)
{
    int value;

    // A stuck chip is read as it stands.
    DisableInterrupts();
    WaitForCmosUpdateEnd();
    value = ReadCmosByte((unsigned char)reg);
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

// INT 1Ah with `function` in AH and the other registers it reads cleared;
// 1 when the BIOS set the carry flag.
static int CallBiosClock(unsigned char function, union BiosRegs *regs)
{
    regs->x.ax = 0;
    regs->x.cx = 0;
    regs->x.dx = 0;
    regs->h.ah = function;
    CallBiosTimeService(regs);
    return regs->x.cflag ? 1 : 0;
}

int GetBiosDateTime(ClockReading *reading)
{
    union BiosRegs regs;

    if (CallBiosClock(BIOS_READ_RTC_DATE, &regs))
        return 1;
    reading->century = regs.h.ch;
    reading->year = regs.h.cl;
    reading->month = regs.h.dh;
    reading->day = regs.h.dl;

    if (CallBiosClock(BIOS_READ_RTC_TIME, &regs))
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
