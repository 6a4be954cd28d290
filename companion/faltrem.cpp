// faltrem, the fix companion: while it runs it holds the global atom
// "_faltrem_running_" and runs its fix step (fixstep.cpp) four times a
// second. It ends on WM_QUIT.
#include <windows.h>
#include "fixstep.h"

#define COMPANION_ATOM "_faltrem_running_"
#define WATCH_PERIOD_MS 250

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
    FixClocks();
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (msg.message == WM_TIMER)
            FixClocks();
        else
            DispatchMessageA(&msg);
    }
    GlobalDeleteAtom(atom);
    return (int)msg.wParam;
}
