// faltrem, the fix companion: while it runs it holds the global atom
// "_faltrem_running_" and carries a legacy RTC's century byte from 19 to 20
// when the year register has wrapped to 00. It ends on WM_QUIT.
#include <windows.h>
#include "cmos.h"
#include "pcio.h"

#define COMPANION_ATOM "_faltrem_running_"
#define WATCH_PERIOD_MS 250

// Read and write within one stretch with interrupts off, right after an update
// has finished: the chip then leaves its registers alone for at least 244 us.
static void FixCentury(void)
{
    unsigned char binary, year, century;
    unsigned char wrapped19, fixed20;

    // A stuck chip is left alone.
    DisableInterrupts();
    if (!WaitForCmosUpdateEnd()) {
        EnableInterrupts();
        return;
    }
    binary = ReadCmosByte(RTC_STATUS_B) & RTC_BINARY_MODE;
    wrapped19 = binary ? 19 : 0x19;
    fixed20 = binary ? 20 : 0x20;
    year = ReadCmosByte(RTC_YEAR);
    century = ReadCmosByte(CMOS_CENTURY);
    if (year == 0 && century == wrapped19)
        WriteCmosByte(CMOS_CENTURY, fixed20);
    EnableInterrupts();
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    MSG msg;
    ATOM atom;

    (void)hInstance;
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nShowCmd;

    // The atom belongs to the companion that is already running.
    if (GlobalFindAtomA(COMPANION_ATOM))
        return 0;
    // The timer gives this thread its message queue before the atom says it
    // runs, so a WM_QUIT posted once the atom shows is never lost.
    SetTimer(NULL, 0, WATCH_PERIOD_MS, NULL);
    atom = GlobalAddAtomA(COMPANION_ATOM);
    FixCentury();
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.message == WM_TIMER)
            FixCentury();
        else
            DispatchMessageA(&msg);
    }
    GlobalDeleteAtom(atom);
    return (int)msg.wParam;
}
