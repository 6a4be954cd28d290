// The live clock display: four one-line list boxes, each redrawn only when the
// seconds of its own clock change.
#include "tolvane.h"

// Seconds of the last line shown for each system clock (the hardware lines
// keep theirs in hardwarelines.cpp). Never reset, so a frozen display picks up
// at the first tick whose seconds differ.
static WORD gLocalLastSecond = 0;
static WORD gUtcLastSecond = 0;

static void FormatSystemLine(char *buffer, const SYSTEMTIME *time)
{
    wsprintfA(buffer, " %02i-%02i-%04i   %02i:%02i:%02i", time->wMonth, time->wDay, time->wYear,
              time->wHour, time->wMinute, time->wSecond);
}

// A new line into buffer when `time`'s seconds differ from the last shown.
static int NewSystemLine(char *buffer, const SYSTEMTIME *time, WORD *lastSecond)
{
    if (time->wSecond == *lastSecond)
        return 0;
    *lastSecond = time->wSecond;
    FormatSystemLine(buffer, time);
    return 1;
}

int GetSystemLocalDateTimeString(char *buffer)
{
    SYSTEMTIME time;

    GetLocalTime(&time);
    return NewSystemLine(buffer, &time, &gLocalLastSecond);
}

int GetSystemUTCDateTimeString(char *buffer)
{
    SYSTEMTIME time;

    GetSystemTime(&time);
    return NewSystemLine(buffer, &time, &gUtcLastSecond);
}

static void ReplaceLine(HWND hwnd, int id, const char *text)
{
    SendMessageA(GetDlgItem(hwnd, id), LB_DELETESTRING, 0, 0);
    SendMessageA(GetDlgItem(hwnd, id), LB_ADDSTRING, 0, (LPARAM)text);
}

void DoCmosClock(HWND hwnd)
{
    char line[CLOCK_LINE_SIZE];

    if (GetCmosDateTimeString(line))
        ReplaceLine(hwnd, IDC_CMOS_LINE, line);
}

void DoBiosClock(HWND hwnd)
{
    char line[CLOCK_LINE_SIZE];

    if (GetBiosDateTimeString(line))
        ReplaceLine(hwnd, IDC_BIOS_LINE, line);
}

void DoSystemClock(HWND hwnd)
{
    char line[CLOCK_LINE_SIZE];

    if (GetSystemUTCDateTimeString(line))
        ReplaceLine(hwnd, IDC_UTC_LINE, line);
    if (GetSystemLocalDateTimeString(line))
        ReplaceLine(hwnd, IDC_LOCAL_LINE, line);
}

void DoClocks(HWND hwnd)
{
    if (!gfShowClocks)
        return;
    DoCmosClock(hwnd);
    DoBiosClock(hwnd);
    DoSystemClock(hwnd);
}
