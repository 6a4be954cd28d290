// The verdict of a test: CMOS, BIOS and local time read once more, judged
// against 1 January 2000, and the judgement shown in a message box.
#include "tolvane.h"
#include "judgement.h"

void ShowTestResults(HWND hwnd)
{
    ClockReading cmos;
    ClockReading bios = {0, 0, 0, 0, 0, 0, 0};
    SYSTEMTIME local;

    GetCmosTime(&cmos);
    // A failed BIOS read leaves zeros, which never pass.
    GetBiosTime(&bios);
    GetLocalTime(&local);

    switch (JudgeTestReadings(&cmos, &bios, local.wYear, local.wMonth, local.wDay)) {
    case TEST_UNKNOWN:
        MessageBoxA(hwnd, "Unknown: Test didnt run past midnight 2000", "Tolvane -  Test Result",
                    MB_OK);
        break;
    case TEST_PASS:
        MessageBoxA(hwnd, "Pass: The PC clocks are Year 2000 compliant", "Tolvane -  Test Result",
                    MB_OK);
        break;
    default:
        MessageBoxA(hwnd,
                    "Fail: The PC clocks are Not Year 2000 compliant. See 'Help' / 'Testing'  for "
                    "more details",
                    "Tolvane - Test Result", MB_OK);
        break;
    }
}
