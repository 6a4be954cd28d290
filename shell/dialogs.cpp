// The procedures of the About box and the test's warning dialog.
#include "tolvane.h"

INT_PTR CALLBACK AboutDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK)
            return 0;
        EndDialog(hwnd, 1);
        return 1;
    case WM_CLOSE:
        EndDialog(hwnd, 0);
        return 1;
    default:
        return 0;
    }
}

// Escape arrives as IDCANCEL and abandons the test like Cancel. The check box
// counts the moment it is clicked, whichever button then ends the dialog.
INT_PTR CALLBACK WarningDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    switch (message) {
    case WM_INITDIALOG:
        // Remembered so that an exit of the program can end the warning too.
        ghWarningDlg = hwnd;
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(hwnd, 1);
            return 1;
        case IDCANCEL:
            EndDialog(hwnd, 0);
            return 1;
        case IDC_DONT_WARN:
            gfDontShowWarning = IsDlgButtonChecked(hwnd, IDC_DONT_WARN) & 1;
            return 1;
        default:
            return 0;
        }
    case WM_CLOSE:
        EndDialog(hwnd, 0);
        return 1;
    default:
        return 0;
    }
}
