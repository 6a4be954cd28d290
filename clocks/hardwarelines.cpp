// The CMOS and BIOS lines of the live display: read the clock, compare its
// seconds with the last line shown, format a new line. No Windows call, so
// the bare guest shows the lines exactly as the program does.
#include "clocks.h"

// Seconds (raw BCD) of the last line shown for each hardware clock. Never
// reset, so a frozen display picks up at the first tick whose seconds differ.
static int gCmosLastSecond = 0;
static int gBiosLastSecond = 0;

static char *PutHexByte(char *out, int value)
{
    static const char kDigits[] = "0123456789abcdef";

    out[0] = kDigits[(value >> 4) & 0x0F];
    out[1] = kDigits[value & 0x0F];
    return out + 2;
}

static char *PutText(char *out, const char *text)
{
    while (*text)
        *out++ = *text++;
    return out;
}

// The fields are bytes as the hardware gave them, so two digits each: what
// "%02x" gives for a byte, without needing the platform's formatter.
void FormatHardwareLine(char *buffer, const ClockReading *reading)
{
    char *out = buffer;

    out = PutText(out, " ");
    out = PutHexByte(out, reading->month);
    out = PutText(out, "-");
    out = PutHexByte(out, reading->day);
    out = PutText(out, "-");
    out = PutHexByte(out, reading->century);
    out = PutHexByte(out, reading->year);
    out = PutText(out, "   ");
    out = PutHexByte(out, reading->hour);
    out = PutText(out, ":");
    out = PutHexByte(out, reading->minute);
    out = PutText(out, ":");
    out = PutHexByte(out, reading->second);
    *out = '\0';
}

// A new line into buffer when the reading's seconds differ from the last
// shown.
static int NewHardwareLine(char *buffer, const ClockReading *reading, int *lastSecond)
{
    if (reading->second == *lastSecond)
        return 0;
    *lastSecond = reading->second;
    FormatHardwareLine(buffer, reading);
    return 1;
}

int GetCmosDateTimeString(char *buffer)
{
    ClockReading reading;

    GetCmosTime(&reading);
    return NewHardwareLine(buffer, &reading, &gCmosLastSecond);
}

int GetBiosDateTimeString(char *buffer)
{
    ClockReading reading;

    if (GetBiosTime(&reading) == 1)
        return 0;
    return NewHardwareLine(buffer, &reading, &gBiosLastSecond);
}
