// The main dialog: its initialisation and the routing of every event to the
// function that handles it.
#include "tolvane.h"
#include <commctrl.h>

int InitializeApp(HWND hwnd)
{
    if (!RunStartupChecks(hwnd))
        return 0;

    if (!SetTimer(hwnd, IDT_REFRESH, REFRESH_PERIOD_MS, NULL)) {
        MessageBeep(0);
        MessageBoxA(hwnd, "Not enough system resources\n\nClose down some apps", "Tolvane - Error",
                    MB_OK);
        return 0;
    }
    InitCommonControls();
    EnableWindow(GetDlgItem(hwnd, IDC_STOPCLOCKS), FALSE);
    EnableWindow(GetDlgItem(hwnd, IDC_RESET_DATE), FALSE);
    return 1;
}

static void CloseProgram(HWND hwnd)
{
    TidyUp(hwnd);
    EndDialog(hwnd, 0);
}

// Only the control id is looked at: any notification from a button runs its
// command, and the list boxes' notifications fall through as not handled.
static INT_PTR RouteCommand(HWND hwnd, int id)
{
    switch (id) {
    case IDC_TEST:
        Test(hwnd);
        return 1;
    case IDC_STOPCLOCKS:
        StopClocks(hwnd);
        return 1;
    case IDC_HELP_BUTTON:
        HelpTolvane(hwnd);
        return 1;
    case IDC_RESET_DATE:
        ResetDate(hwnd);
        return 1;
    case IDC_INSTALL_FIX:
        InstallUnInstallFix(hwnd);
        return 1;
    case IDC_CLOSE:
        CloseProgram(hwnd);
        return 1;
    default:
        return 0;
    }
}

INT_PTR CALLBACK MainDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    switch (message) {
    case WM_INITDIALOG:
        if (!InitializeApp(hwnd))
            EndDialog(hwnd, 0);
        return 1;
    case WM_TIMER:
        DoClocks(hwnd);
        return 1;
    case WM_COMMAND:
        return RouteCommand(hwnd, LOWORD(wParam));
    case WM_CLOSE:
        CloseProgram(hwnd);
        return 1;
    case WM_ENDSESSION:
        EndSession(hwnd);
        return 0;
    default:
        return 0;
    }
}
