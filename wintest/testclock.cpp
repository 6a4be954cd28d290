// testclock.dll: the Wine test's own clock inside tolvane.exe, since Wine
// refuses to set its clock. Loaded into the program by wintest/uidriver.exe, it
// points the program's imports of GetLocalTime, GetSystemTime and SetLocalTime
// at a clock that runs at Wine's pace from wherever the program last set it;
// everything else the program calls stays Wine's. With TESTCLOCK=wine in the
// environment only SetLocalTime is taken, and handed on to Wine unchanged.
// Each set, with its record and result, goes to testclock.log in the current
// directory for the driver to read.
#include <windows.h>

#define LOG_FILE "testclock.log"
#define CLOCK_MODE_VARIABLE "TESTCLOCK"

// How far the program's clock runs from Wine's, in 100 ns ticks; 0 until the
// program first sets it. Only the program's own thread moves it.
static LONGLONG gOffsetTicks = 0;
static int gfOwnClock = 1;

// ---- The log ----

static void Log(const char *line)
{
    DWORD written;
    HANDLE hFile = CreateFileA(LOG_FILE, FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);

    if (hFile == INVALID_HANDLE_VALUE)
        return;
    WriteFile(hFile, line, lstrlenA(line), &written, NULL);
    WriteFile(hFile, "\r\n", 2, &written, NULL);
    CloseHandle(hFile);
}

// The record as the driver prints a date file's: every field, so that two
// records that print alike are the same 16 bytes.
static void LogSet(const SYSTEMTIME *t, BOOL ok, DWORD error)
{
    char line[128];

    wsprintfA(line, "set %04u-%02u-%02u %02u:%02u:%02u.%03u dow %u: ", t->wYear, t->wMonth, t->wDay,
              t->wHour, t->wMinute, t->wSecond, t->wMilliseconds, t->wDayOfWeek);
    if (ok)
        lstrcatA(line, "ok");
    else
        wsprintfA(line + lstrlenA(line), "error %lu", error);
    Log(line);
}

// ---- The clock ----

static int IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// What Windows accepts: the day of the week is ignored, every other field
// must name a real moment in the range of a FILETIME.
static int IsValidSystemTime(const SYSTEMTIME *t)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

    if (t->wYear < 1601 || t->wYear > 30827 || t->wMonth < 1 || t->wMonth > 12 || t->wDay < 1)
        return 0;
    if (t->wDay > days[t->wMonth - 1] + (t->wMonth == 2 && IsLeapYear(t->wYear)))
        return 0;
    return t->wHour < 24 && t->wMinute < 60 && t->wSecond < 60 && t->wMilliseconds < 1000;
}

static LONGLONG TicksOf(const SYSTEMTIME *t)
{
    FILETIME ft;
    ULARGE_INTEGER ticks;

    SystemTimeToFileTime(t, &ft);
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    return (LONGLONG)ticks.QuadPart;
}

static void Shift(const SYSTEMTIME *real, SYSTEMTIME *out)
{
    ULARGE_INTEGER ticks;
    FILETIME ft;

    ticks.QuadPart = (ULONGLONG)(TicksOf(real) + gOffsetTicks);
    ft.dwLowDateTime = ticks.LowPart;
    ft.dwHighDateTime = ticks.HighPart;
    FileTimeToSystemTime(&ft, out);
}

static void WINAPI TestGetLocalTime(LPSYSTEMTIME time)
{
    SYSTEMTIME real;

    GetLocalTime(&real);
    Shift(&real, time);
}

// The same offset on Wine's UTC keeps UTC = local + the real zone's bias.
static void WINAPI TestGetSystemTime(LPSYSTEMTIME time)
{
    SYSTEMTIME real;

    GetSystemTime(&real);
    Shift(&real, time);
}

static BOOL WINAPI TestSetLocalTime(const SYSTEMTIME *time)
{
    SYSTEMTIME real, realUtc;

    if (!time) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!gfOwnClock) {
        BOOL ok = SetLocalTime(time);
        DWORD error = GetLastError();
        LogSet(time, ok, error);
        SetLastError(error);
        return ok;
    }
    GetLocalTime(&real);
    GetSystemTime(&realUtc);
    // A local time at the start of the range can fall before it in UTC.
    if (!IsValidSystemTime(time) || TicksOf(time) + TicksOf(&realUtc) - TicksOf(&real) < 0) {
        LogSet(time, FALSE, ERROR_INVALID_PARAMETER);
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    gOffsetTicks = TicksOf(time) - TicksOf(&real);
    LogSet(time, TRUE, 0);
    return TRUE;
}

// ---- Into the program ----

struct Hook {
    const char *name;
    void *function;
    int fOwnClockOnly;  // left to Wine when the test runs on Wine's clock
};

static const Hook gHooks[] = {
    {"SetLocalTime", (void *)TestSetLocalTime, 0},
    {"GetLocalTime", (void *)TestGetLocalTime, 1},
    {"GetSystemTime", (void *)TestGetSystemTime, 1},
};

static void *HookFor(const char *name)
{
    for (const Hook &hook : gHooks)
        if (lstrcmpA(name, hook.name) == 0 && (gfOwnClock || !hook.fOwnClockOnly))
            return hook.function;
    return NULL;
}

// Rewrites the program's import address table for kernel32, by the names in
// its import lookup table; other modules' imports are left alone.
static int PatchProgramImports(void)
{
    BYTE *base = (BYTE *)GetModuleHandleA(NULL);
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    DWORD rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    int patched = 0;

    for (IMAGE_IMPORT_DESCRIPTOR *dll = (IMAGE_IMPORT_DESCRIPTOR *)(base + rva); rva && dll->Name;
         ++dll) {
        if (lstrcmpiA((const char *)(base + dll->Name), "kernel32.dll") != 0 ||
            !dll->OriginalFirstThunk)
            continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + dll->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            void *hook = HookFor(
                (const char *)((IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData))->Name);
            DWORD old;
            if (!hook || !VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function,
                                         PAGE_READWRITE, &old))
                continue;
            slots->u1.Function = (DWORD_PTR)hook;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            ++patched;
        }
    }
    return patched;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved)
{
    char mode[16], line[64];

    (void)hInstance;
    if (reason == DLL_PROCESS_ATTACH) {
        gfOwnClock = !(GetEnvironmentVariableA(CLOCK_MODE_VARIABLE, mode, sizeof mode) &&
                       lstrcmpA(mode, "wine") == 0);
        wsprintfA(line, "loaded: %s clock; imports taken: %d", gfOwnClock ? "own" : "Wine's",
                  PatchProgramImports());
        Log(line);
    } else if (reason == DLL_PROCESS_DETACH && reserved) {
        // Written as the program ends of itself, never when it is terminated.
        Log("process end");
    }
    return TRUE;
}
