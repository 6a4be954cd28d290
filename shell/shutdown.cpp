// Every way out of the program: undo what a test or the fix left behind, at
// Close, at the window's close command, at the end of the Windows session, and
// before the restart offered at start-up.
#include "tolvane.h"

// An exit before the test set the clock (the warning, or the box saying the
// clock could not be set, is up): there is nothing to restore; end the warning
// so the test stops where it stands.
static void AbandonPendingTest(void)
{
    gfTesting = 0;
    if (ghWarningDlg)
        EndDialog(ghWarningDlg, 0);
}

void TidyUp(HWND hwnd)
{
    if (gfTesting) {
        if (gfClockSetForTest)
            ResetDate(hwnd);
        else
            AbandonPendingTest();
        gfTesting = 0;
    }
    if (gfFixInstalled) {
        UnInstall(hwnd);
        gfFixInstalled = 0;
    }
    WinHelpA(hwnd, HELP_FILE, HELP_QUIT, 0);
}

void RestartComputer(HWND hwnd)
{
    TidyUp(hwnd);
    ExitWindowsEx(EWX_REBOOT, 0);
}

// The whole clean-up runs whether or not the session really ends: a cancelled
// end leaves the program in Idle with the companion stopped.
void EndSession(HWND hwnd)
{
    int fWasRestoring = gfTesting && gfClockSetForTest;
    int fRestored = 0;

    if (fWasRestoring) {
        fRestored = ResetDate(hwnd);
        gfTesting = 0;
    }
    TidyUp(hwnd);
    if (fRestored)
        MessageBoxA(hwnd, "Date Restored", "Tolvane -  End Session",
                    MB_ICONINFORMATION | MB_TOPMOST);
}
