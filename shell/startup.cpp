// The start-up checks run before the main dialog appears: the About box, the
// platform, another copy of Tolvane, a date a test still owes, network
// software, and a fix companion that is already running.
#include "tolvane.h"
#include <winnetwk.h>

#define OSVERSIONINFOA_SIZE 148
#define RUNNING_MUTEX "Tolvane_Clock_Test_Running"

// Held for the life of the process; Windows lets go of it when the process ends.
static HANDLE hRunningMutex;

void ShowVersionDialog(HWND hwnd)
{
    DialogBoxParamA(ghInst, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, AboutDlg, 0);
}

// Closing an enumeration that never opened reports an invalid handle; anything
// else means network software answered, whether or not anything is connected.
int IsConnectedToNetwork(void)
{
    HANDLE hEnum = NULL;

    WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, 0, NULL, &hEnum);
    if (WNetCloseEnum(hEnum) == ERROR_INVALID_HANDLE)
        return 0;
    return 1;
}

static int IsWindows9x(void)
{
    OSVERSIONINFOA version;

    version.dwOSVersionInfoSize = OSVERSIONINFOA_SIZE;
    if (!GetVersionExA(&version))
        return 0;
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

// A second copy would save the first one's test date as the date to restore,
// and both would set the clock.
static int IsAnotherCopyRunning(void)
{
    SetLastError(ERROR_SUCCESS);  // not every Windows clears it on a new name
    hRunningMutex = CreateMutexA(NULL, FALSE, RUNNING_MUTEX);
    return hRunningMutex != NULL && GetLastError() == ERROR_ALREADY_EXISTS;
}

int RunStartupChecks(HWND hwnd)
{
    int fAnotherCopy;

    // The copy started first keeps the PC, whichever About box goes first.
    fAnotherCopy = IsAnotherCopyRunning();
    ShowVersionDialog(hwnd);

    if (!IsWindows9x()) {
        MessageBeep(0);
        MessageBoxA(hwnd, "This version is for windows 95/98 only", "Tolvane -  Not windows 95/98",
                    MB_ICONERROR | MB_TOPMOST);
        return 0;
    }

    if (fAnotherCopy) {
        MessageBoxA(hwnd,
                    "Tolvane is already running.\n\nUse the copy that is open, or close it first.",
                    "Tolvane -  Already Running", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
        return 0;
    }

    OfferOwedDate(hwnd, 0);

    if (IsConnectedToNetwork()) {
        if (MessageBoxA(hwnd,
                        "Network Software Detected\n\nTo test the machine you should log off from "
                        "the network\n and remove network cables.\n\nIf you have done this click "
                        "'OK' otherwise click 'Cancel'.          \n\n",
                        "Tolvane -  Network Warning",
                        MB_OKCANCEL | MB_ICONWARNING | MB_TOPMOST) == IDCANCEL)
            return 0;
    }

    if (IsFaltremRunning()) {
        if (MessageBoxA(
                hwnd,
                "The Fix software was running before you started Tolvane !\n\nTolvane will "
                "Not run until the Fix software is removed from the system.    \nTo do this "
                "you will have to restart Windows\n\nRestarting means you will lose any "
                "unsaved information in applications currently running.\n\nRestart "
                "Windows now ?",
                "Tolvane -  Fix Software Running",
                MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2 | MB_TOPMOST) == IDYES)
            RestartComputer(hwnd);
        return 0;
    }
    return 1;
}
