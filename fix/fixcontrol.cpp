// Control of the fix companion "faltrem.exe": find it, start it, tell it to stop,
// and notice one that is already running by its global atom.
#include "tolvane.h"

#define COMPANION_FILE "faltrem.exe"
#define COMPANION_ATOM "_faltrem_running_"
#define CAPTION_SIZE 64
// How long a companion gets to end on WM_QUIT before it is terminated, so one
// that ignores the request cannot freeze the program for good. On a slow
// Windows 95 machine a companion whose pages were swapped out must be read
// back in from a busy disk before it can take the message and end; 15 s
// leaves room for that, three times the 5 s that proved tight.
#define COMPANION_QUIT_TIMEOUT_MS 15000
// A terminated process can take a moment to be gone.
#define COMPANION_KILL_TIMEOUT_MS 2000
// How long a started companion gets to hold its atom, its first act. On a slow
// Windows 95 machine that is well under a second, or a second or two while
// the disk is busy swapping and its pages must be read in; a companion that
// has not said it runs by then is taken for one that does not. The program
// waits without a message loop meanwhile, so the bound stays short.
#define COMPANION_START_TIMEOUT_MS 5000
#define COMPANION_START_POLL_MS 50

int IsFaltremRunning(void)
{
    return GlobalFindAtomA(COMPANION_ATOM) != 0;
}

int FindFile(const char *name, char *buffer)
{
    DWORD length = SearchPathA(NULL, name, NULL, MAX_PATH, buffer, NULL);

    return length != 0 && length < MAX_PATH;
}

// The found file is named as the program to run, and quoted on the command
// line, so a blank in its path can never start some other program.
int StartChildProcess(const char *path, DWORD *threadId, HANDLE *processHandle)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    char commandLine[MAX_PATH + 3];

    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    wsprintfA(commandLine, "\"%s\"", path);
    if (!CreateProcessA(path, commandLine, NULL, NULL, FALSE, NORMAL_PRIORITY_CLASS, NULL, NULL,
                        &si, &pi))
        return 0;
    *threadId = pi.dwThreadId;
    *processHandle = pi.hProcess;
    CloseHandle(pi.hThread);
    return 1;
}

static void SetFixTexts(HWND hwnd, const char *buttonText, const char *caption)
{
    char buffer[CAPTION_SIZE];

    SetDlgItemTextA(hwnd, IDC_INSTALL_FIX, buttonText);
    lstrcpynA(buffer, caption, CAPTION_SIZE);
    SetWindowTextA(hwnd, buffer);
}

// A companion that ended without taking its atom away (killed, or crashed)
// left its reference behind, where the next start would take it for a
// companion still running. It held one only if the atom was free when it
// started; otherwise the atom is another companion's and stays.
static void RemoveAtomLeftBehind(void)
{
    ATOM atom = GlobalFindAtomA(COMPANION_ATOM);

    if (atom && gfAtomFreeAtInstall)
        GlobalDeleteAtom(atom);
}

// Terminates a companion that ignored WM_QUIT or never said it runs; 0 while
// it still runs.
static int StopCompanionByForce(HANDLE hProcess)
{
    TerminateProcess(hProcess, 1);
    if (WaitForSingleObject(hProcess, COMPANION_KILL_TIMEOUT_MS) != WAIT_OBJECT_0)
        return 0;
    RemoveAtomLeftBehind();
    return 1;
}

// 1 once the companion we started is alive and holds its atom. One that
// ended (the atom was another's, or it crashed) or kept silent past the
// bound is not running; the silent one is terminated.
static int WaitUntilCompanionRuns(HANDLE hProcess)
{
    DWORD start = GetTickCount();
    DWORD waited, left;

    for (;;) {
        if (WaitForSingleObject(hProcess, 0) == WAIT_OBJECT_0) {
            RemoveAtomLeftBehind();
            return 0;
        }
        if (gfAtomFreeAtInstall && IsFaltremRunning())
            return 1;
        waited = GetTickCount() - start;
        if (waited >= COMPANION_START_TIMEOUT_MS) {
            StopCompanionByForce(hProcess);
            return 0;
        }
        left = COMPANION_START_TIMEOUT_MS - waited;
        // Returns early, the moment the companion ends.
        WaitForSingleObject(hProcess,
                            left < COMPANION_START_POLL_MS ? left : COMPANION_START_POLL_MS);
    }
}

void Install(HWND hwnd)
{
    char path[MAX_PATH];
    DWORD threadId;
    HANDLE hProcess;

    if (!FindFile(COMPANION_FILE, path)) {
        MessageBoxA(hwnd, "Cant find faltrem.exe", "Tolvane - Error File Missing", MB_OK);
        gChildThreadID = 0;
        return;
    }
    // A companion adds its atom only when no other holds it.
    gfAtomFreeAtInstall = !IsFaltremRunning();
    if (!StartChildProcess(path, &threadId, &hProcess)) {
        MessageBoxA(hwnd, "Cant start faltrem.exe", "Tolvane - Error", MB_OK);
        gChildThreadID = 0;
        return;
    }
    if (!WaitUntilCompanionRuns(hProcess)) {
        CloseHandle(hProcess);
        MessageBoxA(hwnd, "faltrem.exe was started but is not running\n\nThe Fix is not installed",
                    "Tolvane - Error", MB_OK);
        gChildThreadID = 0;
        return;
    }
    gChildThreadID = threadId;
    ghChildProcess = hProcess;
    gfFixInstalled = 1;
    SetFixTexts(hwnd, "UnInstall Fix", " Tolvane - Fix Running");
}

// A companion that has already ended, killed perhaps, ends at once here, and
// the atom it left is removed.
void UnInstall(HWND hwnd)
{
    PostThreadMessageA(gChildThreadID, WM_QUIT, 0, 0);
    if (WaitForSingleObject(ghChildProcess, COMPANION_QUIT_TIMEOUT_MS) == WAIT_TIMEOUT) {
        if (!StopCompanionByForce(ghChildProcess)) {
            // Its handle stays, so UnInstall Fix can be pressed again.
            MessageBoxA(hwnd, "Cant stop faltrem.exe", "Tolvane - Error", MB_OK);
            return;
        }
    } else {
        RemoveAtomLeftBehind();
    }
    CloseHandle(ghChildProcess);
    ghChildProcess = NULL;
    gChildThreadID = 0;
    gfFixInstalled = 0;
    SetFixTexts(hwnd, "Install Fix", " Tolvane");
}

void InstallUnInstallFix(HWND hwnd)
{
    EnableWindow(GetDlgItem(hwnd, IDC_TEST), FALSE);
    EnableWindow(GetDlgItem(hwnd, IDC_STOPCLOCKS), FALSE);
    EnableWindow(GetDlgItem(hwnd, IDC_RESET_DATE), FALSE);
    EnableWindow(GetDlgItem(hwnd, IDC_CLOSE), FALSE);
    if (!gfFixInstalled)
        Install(hwnd);
    else
        UnInstall(hwnd);
    EnableWindow(GetDlgItem(hwnd, IDC_TEST), TRUE);
    EnableWindow(GetDlgItem(hwnd, IDC_CLOSE), TRUE);
}
