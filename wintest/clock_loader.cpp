// The test's clock, testclock.dll: checked in the driver against what
// Windows refuses, loaded into the program while its About box is up, and
// its log of the program's sets read into the report.
#include "clock_loader.h"

#include <string.h>
#include <tlhelp32.h>

static int gClockLogReported = 0;  // lines of this run's clock log already in the report

void StartClockLog(const char *clockMode)
{
    gClockLogReported = 0;
    DeleteFileA(CLOCK_LOG);
    SetEnvironmentVariableA(CLOCK_MODE_VARIABLE, clockMode);
}

// testclock.dll lies beside the driver.
static int GetTestClockPath(char *path, size_t size)
{
    char *name = path + GetModuleFileNameA(NULL, path, size);

    while (name > path && name[-1] != '\\')
        --name;
    if ((size_t)(name - path) + sizeof CLOCK_DLL > size)
        return 0;
    strcpy(name, CLOCK_DLL);
    return 1;
}

// Loads testclock.dll into the program through a thread of the program's own
// that runs LoadLibraryA, found in the program at the same offset into the
// same system module as here.
int LoadTestClock(void)
{
    char dll[MAX_PATH], module[MAX_PATH];
    MEMORY_BASIC_INFORMATION ours;
    MODULEENTRY32 entry;
    BYTE *theirs = NULL;
    DWORD loaded = 0;
    FARPROC loadLibrary = GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA");

    if (!GetTestClockPath(dll, sizeof dll) ||
        !VirtualQuery((void *)loadLibrary, &ours, sizeof ours))
        return 0;
    GetModuleFileNameA((HMODULE)ours.AllocationBase, module, sizeof module);
    const char *moduleName = strrchr(module, '\\') ? strrchr(module, '\\') + 1 : module;

    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, gProgram.dwProcessId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    entry.dwSize = sizeof entry;
    for (BOOL ok = Module32First(snapshot, &entry); ok && !theirs;
         ok = Module32Next(snapshot, &entry))
        if (lstrcmpiA(entry.szModule, moduleName) == 0)
            theirs = entry.modBaseAddr;
    CloseHandle(snapshot);
    if (!theirs)
        return 0;

    LPTHREAD_START_ROUTINE start =
        (LPTHREAD_START_ROUTINE)(theirs + ((BYTE *)loadLibrary - (BYTE *)ours.AllocationBase));
    void *path = VirtualAllocEx(gProgram.hProcess, NULL, sizeof dll, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
    if (!path)
        return 0;
    HANDLE thread = NULL;
    if (WriteProcessMemory(gProgram.hProcess, path, dll, strlen(dll) + 1, NULL))
        thread = CreateRemoteThread(gProgram.hProcess, NULL, 0, start, path, 0, NULL);
    if (thread) {
        if (WaitForSingleObject(thread, STEP_TIMEOUT_MS) == WAIT_OBJECT_0)
            GetExitCodeThread(thread, &loaded);
        CloseHandle(thread);
    }
    VirtualFreeEx(gProgram.hProcess, path, 0, MEM_RELEASE);
    return loaded != 0;
}

// The lines of this run's clock log not yet reported, as "<stage> clock: <line>".
void ReportClockLog(const char *stage)
{
    char text[8192];
    DWORD got = 0;
    int index = 0;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE hFile = CreateFileA(CLOCK_LOG, GENERIC_READ, share, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);

    if (hFile == INVALID_HANDLE_VALUE)
        return;
    ReadFile(hFile, text, sizeof text - 1, &got, NULL);
    CloseHandle(hFile);
    text[got] = 0;
    for (char *line = text, *end; (end = strstr(line, "\r\n")) != NULL; line = end + 2, ++index) {
        *end = 0;
        if (index >= gClockLogReported)
            Report("%s clock: %s", stage, line);
    }
    if (index > gClockLogReported)
        gClockLogReported = index;
}

// The test's clock must refuse what Windows refuses, or the program would pass
// here with a record Windows would not take. Loaded into the driver itself, it
// answers the driver's own SetLocalTime.
void CheckTestClock(void)
{
    static const SYSTEMTIME records[] = {
        // year, month, day of the week, day, hour, minute, second, ms
        {2000, 2, 0, 29, 0, 0, 0, 0},        // leap day in a century divisible by 400
        {1900, 2, 0, 29, 0, 0, 0, 0},        // none in one that is not
        {1999, 12, 6, 31, 23, 59, 55, 999},  // any day of the week is taken
        {1999, 4, 0, 31, 12, 0, 0, 0},       // April has 30 days
        {1999, 13, 0, 1, 0, 0, 0, 0},       {1999, 1, 0, 0, 0, 0, 0, 0},
        {1999, 1, 0, 1, 24, 0, 0, 0},       {1999, 1, 0, 1, 23, 60, 0, 0},
        {1999, 1, 0, 1, 23, 59, 60, 0},     {1999, 1, 0, 1, 23, 59, 59, 1000},
        {1600, 12, 0, 31, 23, 59, 59, 999},  // before the first year a FILETIME holds
        {30828, 1, 0, 1, 0, 0, 0, 0},        // after the last year Windows sets
    };
    char dll[MAX_PATH];

    StartClockLog("own");
    if (!GetTestClockPath(dll, sizeof dll) || !LoadLibraryA(dll)) {
        Report("clock check: not loaded");
        return;
    }
    for (const SYSTEMTIME &record : records)
        SetLocalTime(&record);
    ReportClockLog("check");
}
