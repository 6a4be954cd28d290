/* The clock code that needs nothing of Windows: the two hardware clock
 * readings, the BCD conversion and the hardware lines of the live display.
 * The program builds it, and so does the bare guest that boots it on an
 * emulated PC, where no Windows runs. */
#ifndef TOLVANE_CLOCKS_H
#define TOLVANE_CLOCKS_H

/* A clock line: 32 characters and the terminator. */
#define CLOCK_LINE_SIZE 33

/* Raw bytes of a hardware clock reading, BCD as the chip or BIOS gave them. */
typedef struct ClockReading {
    int century;
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
} ClockReading;

int ReadCmosRegister(int reg);
void GetCmosTime(ClockReading *reading);
int GetBiosDateTime(ClockReading *reading);
int GetBiosTime(ClockReading *reading);
int bcd2hex(int value);

/* " MM-DD-CCYY   hh:mm:ss", each byte of the reading as two lower-case hex
 * digits, so BCD shows as the decimal digits it stands for. */
void FormatHardwareLine(char *buffer, const ClockReading *reading);
/* 1 after writing a new line into buffer, 0 when the clock's seconds have
 * not changed (or the BIOS call failed) and buffer is untouched. */
int GetCmosDateTimeString(char *buffer);
int GetBiosDateTimeString(char *buffer);

#endif
