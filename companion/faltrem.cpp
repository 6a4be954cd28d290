// faltrem, the fix companion: while it runs it holds the global atom
// "_faltrem_running_" and carries a legacy RTC's century byte from 19 to 20
// when the year register has wrapped to 00. It ends on WM_QUIT.
#include <windows.h>
#include "pcio.h"

#define COMPANION_ATOM "_faltrem_running_"
#define WATCH_PERIOD_MS 250

#define CMOS_INDEX_PORT 0x70
#define CMOS_DATA_PORT 0x71
#define RTC_YEAR 0x09
#define RTC_STATUS_A 0x0A
#define RTC_STATUS_B 0x0B
#define CMOS_CENTURY 0x32
#define RTC_UPDATE_IN_PROGRESS 0x80
#define RTC_BINARY_MODE 0x04
// Well past the longest update cycle at ISA port speed; a stuck chip is left alone.
#define UIP_POLL_LIMIT 5000

static unsigned char ReadRegister(unsigned char reg)
{
    PortWriteByte(CMOS_INDEX_PORT, reg);
    return PortReadByte(CMOS_DATA_PORT);
}

// Read and write within one stretch with interrupts off, right after an update
// has finished: the chip then leaves its registers alone for at least 244 us.
static void FixCentury(void)
{
    int polls = 0;
    unsigned char binary, year, century;
    unsigned char wrapped19, fixed20;

    DisableInterrupts();
    while (ReadRegister(RTC_STATUS_A) & RTC_UPDATE_IN_PROGRESS) {
        if (++polls >= UIP_POLL_LIMIT) {
            EnableInterrupts();
            return;
        }
    }
    binary = ReadRegister(RTC_STATUS_B) & RTC_BINARY_MODE;
    wrapped19 = binary ? 19 : 0x19;
    fixed20 = binary ? 20 : 0x20;
    year = ReadRegister(RTC_YEAR);
    century = ReadRegister(CMOS_CENTURY);
    if (year == 0 && century == wrapped19) {
        PortWriteByte(CMOS_INDEX_PORT, CMOS_CENTURY);
        PortWriteByte(CMOS_DATA_PORT, fixed20);
    }
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
    atom = GlobalAddAtomA(COMPANION_ATOM);

    // The timer gives this thread its message queue at once, so a WM_QUIT
    // posted right after the start is not lost.
    SetTimer(NULL, 0, WATCH_PERIOD_MS, NULL);
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
