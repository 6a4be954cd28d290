// The fix companion's step: the chip's century byte, then the century a BIOS
// keeps of its own. Each looks before it writes, so a PC that needs nothing
// is left alone.
#include "fixstep.h"
#include "cmos.h"
#include "pcio.h"

#define BIOS_READ_RTC_DATE 0x04
#define BIOS_SET_RTC_DATE 0x05
#define DAY_END_MARGIN 10 /* seconds before midnight in which no date is written */

// The chip's date and time as it holds them, read in one stretch.
typedef struct ChipDate {
    unsigned char statusB, century, year, month, day, hour, minute, second;
} ChipDate;

static int Binary(const ChipDate *chip)
{
    return chip->statusB & RTC_BINARY_MODE;
}

static unsigned char Century19(const ChipDate *chip)
{
    return Binary(chip) ? 19 : 0x19;
}

static unsigned char Century20(const ChipDate *chip)
{
    return Binary(chip) ? 20 : 0x20;
}

static int Decode(unsigned char value, int binary)
{
    return binary ? value : (value >> 4) * 10 + (value & 0x0F);
}

// Right after an update has finished, so nothing in it is torn. 0 for a chip
// stuck in its update.
static int ReadChipDate(ChipDate *chip)
{
    DisableInterrupts();
    if (!WaitForCmosUpdateEnd()) {
        EnableInterrupts();
        return 0;
    }
    chip->statusB = ReadCmosByte(RTC_STATUS_B);
    chip->century = ReadCmosByte(CMOS_CENTURY);
    chip->year = ReadCmosByte(RTC_YEAR);
    chip->month = ReadCmosByte(RTC_MONTH);
    chip->day = ReadCmosByte(RTC_DAY);
    chip->hour = ReadCmosByte(RTC_HOURS);
    chip->minute = ReadCmosByte(RTC_MINUTES);
    chip->second = ReadCmosByte(RTC_SECONDS);
    EnableInterrupts();
    return 1;
}

static int IsLastSecondsOfDay(const ChipDate *chip)
{
    int binary = Binary(chip);
    int hour = Decode(chip->hour & ~RTC_HOUR_PM, binary);
    int seconds;

    if (!(chip->statusB & RTC_24_HOUR_MODE))
        hour = hour % 12 + (chip->hour & RTC_HOUR_PM ? 12 : 0);
    seconds = (hour * 60 + Decode(chip->minute, binary)) * 60 + Decode(chip->second, binary);
    return seconds >= 24 * 60 * 60 - DAY_END_MARGIN;
}

// Read and write within one stretch with interrupts off, right after an update
// has finished: the chip then leaves its registers alone for at least 244 us.
static void FixCentury(void)
{
    ChipDate chip;

    // A stuck chip is left alone.
    DisableInterrupts();
    if (!WaitForCmosUpdateEnd()) {
        EnableInterrupts();
        return;
    }
    chip.statusB = ReadCmosByte(RTC_STATUS_B);
    chip.year = ReadCmosByte(RTC_YEAR);
    chip.century = ReadCmosByte(CMOS_CENTURY);
    if (chip.year == 0 && chip.century == Century19(&chip))
        WriteCmosByte(CMOS_CENTURY, Century20(&chip));
    EnableInterrupts();
}

// A BIOS that reads the century byte once, at power-on, goes on reporting 19
// after a running rollover. Setting its date (INT 1Ah 05h) is how it learns
// the new one. The date set is the chip's own, so nowhere near midnight: a
// write that came after the day changed would set yesterday.
static void FixBiosCentury(void)
{
    ChipDate chip;
    union BiosRegs regs;

    if (!ReadChipDate(&chip) || chip.century != Century20(&chip) || IsLastSecondsOfDay(&chip))
        return;
    regs.x.ax = 0;
    regs.x.cx = 0;
    regs.x.dx = 0;
    regs.h.ah = BIOS_READ_RTC_DATE;
    CallBiosTimeService(&regs);
    // The BIOS hands the chip's bytes on, in the chip's mode; only its
    // century may differ. Another date means the day turned in between.
    if (regs.x.cflag || regs.h.ch != Century19(&chip) || regs.h.cl != chip.year ||
        regs.h.dh != chip.month || regs.h.dl != chip.day)
        return;

    regs.x.ax = 0;
    regs.h.ah = BIOS_SET_RTC_DATE;
    regs.h.ch = chip.century;
    regs.h.cl = chip.year;
    regs.h.dh = chip.month;
    regs.h.dl = chip.day;
    CallBiosTimeService(&regs);
}

void FixClocks(void)
{
    FixCentury();
    FixBiosCentury();
}
