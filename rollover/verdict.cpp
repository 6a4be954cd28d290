// The verdict of a test: CMOS, BIOS and local time read once more and judged
// against 1 January 2000.
#include "tolvane.h"

void ShowTestResults(HWND hwnd)
{
    ClockReading cmos;
    ClockReading bios = {0, 0, 0, 0, 0, 0, 0};
    SYSTEMTIME local;
    int cmosYear, biosYear;

    GetCmosTime(&cmos);
    // A failed BIOS read leaves zeros, which never pass.
    GetBiosTime(&bios);
    GetLocalTime(&local);
    cmosYear = bcd2hex(cmos.century) * 100 + bcd2hex(cmos.year);
    biosYear = bcd2hex(bios.century) * 100 + bcd2hex(bios.year);

    // While the OS still says 1999 the test has not reached midnight, whatever
    // the hardware clocks show.
    if (local.wYear == 1999) {
        MessageBoxA(hwnd, "Unknown: Test didnt run past midnight 2000", "Tolvane -  Test Result",
                    MB_OK);
        return;
    }
    if (cmosYear == 2000 && biosYear == 2000 && local.wYear == 2000 && bcd2hex(cmos.month) == 1 &&
        bcd2hex(bios.month) == 1 && local.wMonth == 1 && bcd2hex(cmos.day) == 1 &&
        bcd2hex(bios.day) == 1 && local.wDay == 1) {
        MessageBoxA(hwnd, "Pass: The PC clocks are Year 2000 compliant", "Tolvane -  Test Result",
                    MB_OK);
        return;
    }
    MessageBoxA(hwnd,
                "Fail: The PC clocks are Not Year 2000 compliant. See 'Help' / 'Testing'  for more "
                "details",
                "Tolvane - Test Result", MB_OK);
}
