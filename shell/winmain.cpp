// The entry point and the program's process-wide state: register the dialog's
// window class, then run the main dialog until it ends.
#include "tolvane.h"

// ---- Process-wide state ----
HINSTANCE ghInst;              // this module; set first thing in WinMain
DWORD gChildThreadID = 0;      // main thread of the fix companion we started; 0 when none
HANDLE ghChildProcess = NULL;  // its process, ours to close; NULL when none
int gfShowClocks = 1;          // the refresh timer redraws the clock lines while set
int gfTesting = 0;             // a test is in progress: its saved date must come back at exit
int gfClockSetForTest = 0;     // this test set the clock, so its saved date is owed back
int gfAtomFreeAtInstall = 0;   // no companion held the atom when ours was started
int gfFixInstalled = 0;        // we started the companion and have not stopped it
int gfDontShowWarning = 0;     // the user asked not to see the warning again this run
HWND ghWarningDlg = NULL;      // the open warning dialog, NULL while none is open

static void RegisterDialogClass(void)
{
    WNDCLASSA wc;

    wc.style = 0;
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = ghInst;
    wc.hIcon = LoadIconA(ghInst, MAKEINTRESOURCEA(IDI_TOLVANE));
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszMenuName = NULL;
    wc.lpszClassName = "Tolvane";
    RegisterClassA(&wc);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nShowCmd)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nShowCmd;

    ghInst = hInstance;
    RegisterDialogClass();
    return (int)DialogBoxParamA(ghInst, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDlg, 0);
}
