// uidriver: runs tolvane.exe as a person would, through its windows only
// (captions, BM_CLICK, list box lines, button states, message box texts), and
// reports what it saw, one fact a line, for scripts/wine-test.sh to check.
//
//   uidriver win98|nt <tolvane.exe> <report file> [<main.png> [<help.png>]]
//
// win98 checks the test's own clock (testclock.dll) against records Windows
// takes and refuses, then walks the whole program in six runs. The first, on
// that clock (loaded into the program while its About box is up):
// start-up, the four clock lines, a second copy that refuses to run, Install
// and UnInstall Fix, a test past midnight with its verdict and Reset Date, a
// test stopped before midnight, and an end of the session. The second, on the
// test's clock too: Help, which opens the help engine on the help file, then
// Close while a test is watching, which closes it too. The third and fourth,
// on the test's clock: a test whose program is terminated while it watches,
// then a start that offers the saved date back and sets it on Yes. The last
// two, on Wine's clock, which refuses to be set: a Close and an end of the
// session while the program says so. nt expects the program to refuse to run.
// Files the program writes land in the current directory, which the program
// inherits.
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <tlhelp32.h>
#include <winnetwk.h>

// A first start under an emulated CPU can take many seconds; later steps less.
#define START_TIMEOUT_MS 120000
#define STEP_TIMEOUT_MS 30000
#define POLL_MS 50
// A copy that must not run may still draw its main dialog on the way out;
// under an emulated CPU that has been seen to take two seconds.
#define MAIN_SETTLE_MS 15000

#define ID_ABOUT_TITLE 201
#define ID_DONT_WARN 302
#define ID_MSGBOX_TEXT 0xFFFF
#define ID_TEST 1
#define ID_STOPCLOCKS 102
#define ID_HELP 103
#define ID_CMOS_LINE 104
#define ID_RESET_DATE 105
#define ID_INSTALL_FIX 106
#define ID_BIOS_LINE 107
#define ID_CLOSE 108
#define ID_UTC_LINE 109
#define ID_LOCAL_LINE 117

#define COMPANION_FILE "faltrem.exe"
#define COMPANION_ATOM "_faltrem_running_"
#define DATE_FILE "datesave.tmp"
#define OWED_FILE "dateowed.tmp"
#define CLOCK_DLL "testclock.dll"
#define CLOCK_LOG "testclock.log"
#define CLOCK_MODE_VARIABLE "TESTCLOCK"

// A frozen line must outlast a change of its clock's seconds.
#define FROZEN_CHECK_MS 1500

struct ClockLine {
    int id;
    const char *name;
};

static const ClockLine gClockLines[] = {{ID_CMOS_LINE, "cmos"},
                                        {ID_BIOS_LINE, "bios"},
                                        {ID_LOCAL_LINE, "local"},
                                        {ID_UTC_LINE, "utc"}};

static HANDLE ghReport = INVALID_HANDLE_VALUE;
static PROCESS_INFORMATION gProgram;
static int gClockLogReported = 0;  // lines of this run's clock log already in the report

// ---- The report ----

static void Report(const char *format, ...)
{
    char line[2048];
    va_list args;
    int length;
    DWORD written;

    va_start(args, format);
    length = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (length < 0 || length > (int)sizeof line - 2)
        length = (int)sizeof line - 2;
    line[length++] = '\n';
    if (ghReport != INVALID_HANDLE_VALUE)
        WriteFile(ghReport, line, length, &written, NULL);
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, length, &written, NULL);
}

// Text in double quotes with control characters escaped, so blanks at either
// end and line breaks inside stay visible and the line stays one line.
static const char *Quote(const char *text, char *out, size_t size)
{
    size_t n = 0;

    out[n++] = '"';
    for (; *text && n + 4 < size; ++text) {
        switch (*text) {
        case '\n':
            out[n++] = '\\';
            out[n++] = 'n';
            break;
        case '\r':
            out[n++] = '\\';
            out[n++] = 'r';
            break;
        case '\t':
            out[n++] = '\\';
            out[n++] = 't';
            break;
        case '"':
            out[n++] = '\\';
            out[n++] = '"';
            break;
        case '\\':
            out[n++] = '\\';
            out[n++] = '\\';
            break;
        default:
            out[n++] = *text;
            break;
        }
    }
    out[n++] = '"';
    out[n] = 0;
    return out;
}

// ---- Waiting ----

static int ProgramEnded(void)
{
    return WaitForSingleObject(gProgram.hProcess, 0) == WAIT_OBJECT_0;
}

template <typename Condition>
static int WaitFor(DWORD timeoutMs, Condition done)
{
    DWORD start = GetTickCount();

    for (;;) {
        if (done())
            return 1;
        if (GetTickCount() - start >= timeoutMs)
            return 0;
        Sleep(POLL_MS);
    }
}

// ---- The program's windows ----

static int IsMessageBox(HWND hwnd)
{
    char className[64];

    GetClassNameA(hwnd, className, sizeof className);
    return strcmp(className, "#32770") == 0 && GetDlgItem(hwnd, ID_MSGBOX_TEXT) != NULL;
}

struct WindowSearch {
    const char *caption;  // NULL: any visible window with a caption
    HWND except;
    int fMessageBox;  // message boxes only
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam)
{
    WindowSearch *search = (WindowSearch *)lParam;
    char text[256];
    DWORD pid = 0;

    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != gProgram.dwProcessId || hwnd == search->except || !IsWindowVisible(hwnd))
        return TRUE;
    GetWindowTextA(hwnd, text, sizeof text);
    if (search->caption ? strcmp(text, search->caption) != 0 : text[0] == 0)
        return TRUE;
    if (search->fMessageBox && !IsMessageBox(hwnd))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

static HWND FindProgramWindow(const char *caption, HWND except)
{
    WindowSearch search = {caption, except, 0, NULL};

    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

static HWND FindMessageBox(HWND except)
{
    WindowSearch search = {NULL, except, 1, NULL};

    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

static HWND WaitForProgramWindow(const char *caption, HWND except, DWORD timeoutMs)
{
    HWND found = NULL;

    WaitFor(timeoutMs, [&] {
        found = FindProgramWindow(caption, except);
        return found != NULL || ProgramEnded();
    });
    return found;
}

static int WaitUntilGone(HWND hwnd)
{
    return WaitFor(STEP_TIMEOUT_MS, [&] { return !IsWindow(hwnd) || !IsWindowVisible(hwnd); });
}

static BOOL CALLBACK ReportWindow(HWND hwnd, LPARAM lParam)
{
    char text[256], quoted[300], className[64];
    DWORD pid = 0;

    (void)lParam;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == gProgram.dwProcessId && IsWindowVisible(hwnd)) {
        GetWindowTextA(hwnd, text, sizeof text);
        GetClassNameA(hwnd, className, sizeof className);
        Report("visible window: %s class %s", Quote(text, quoted, sizeof quoted), className);
    }
    return TRUE;
}

// What was on the screen when a step did not come about: the report says why.
static void ReportTimeout(const char *what)
{
    Report("timeout: %s", what);
    EnumWindows(ReportWindow, 0);
}

static void GetText(HWND hwnd, char *buffer, int size)
{
    buffer[0] = 0;
    if (hwnd)
        GetWindowTextA(hwnd, buffer, size);
}

// Posted, not sent: a button that opens a modal box would block us until it closed.
static int ClickButton(HWND hDlg, int id)
{
    HWND button = GetDlgItem(hDlg, id);

    if (!button || !IsWindowEnabled(button)) {
        Report("cannot click: button %d %s", id, button ? "disabled" : "missing");
        return 0;
    }
    PostMessageA(button, BM_CLICK, 0, 0);
    return 1;
}

// Question boxes are answered Yes while set, else No.
static int gfAnswerYes = 0;

// Reports the box, under the stage's name where given, and answers it: OK
// where there is one, else No, which never asks the platform to restart (or
// Yes, when asked for).
static void AnswerMessageBox(HWND box, const char *stage = NULL)
{
    char caption[256], text[1024], q1[300], q2[1200];

    GetText(box, caption, sizeof caption);
    GetText(GetDlgItem(box, ID_MSGBOX_TEXT), text, sizeof text);
    Report("%s%smessage: %s %s", stage ? stage : "", stage ? " " : "",
           Quote(caption, q1, sizeof q1), Quote(text, q2, sizeof q2));
    if (gfAnswerYes && GetDlgItem(box, IDYES)) {
        Report("message answer: Yes");
        ClickButton(box, IDYES);
    } else if (GetDlgItem(box, IDOK)) {
        Report("message answer: OK");
        ClickButton(box, IDOK);
    } else if (GetDlgItem(box, IDNO)) {
        Report("message answer: No");
        ClickButton(box, IDNO);
    }
    if (!WaitUntilGone(box))
        ReportTimeout("message box stays open");
}

// ---- Reading the main dialog ----

// A program stopped in a fault must not stop the driver too: every question
// to its windows has a time limit, and an unanswered one reads as 0.
static LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;

    if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        return 0;
    return (LRESULT)result;
}

static int ListCount(HWND hMain, int id)
{
    return (int)Ask(GetDlgItem(hMain, id), LB_GETCOUNT, 0, 0);
}

// The list box's one line and the number of its lines. Read as Unicode: Wine
// hands another process's LB_GETTEXT to an ANSI caller unconverted, which
// reads as the first character alone.
static int ReadLine(HWND hMain, int id, char *line, int size)
{
    HWND list = GetDlgItem(hMain, id);
    WCHAR wide[256] = L"";
    DWORD_PTR length = 0;
    int count = (int)Ask(list, LB_GETCOUNT, 0, 0);

    line[0] = 0;
    if (count > 0 &&
        SendMessageTimeoutW(list, LB_GETTEXTLEN, 0, 0, SMTO_ABORTIFHUNG, 5000, &length) &&
        length < 256 &&
        SendMessageTimeoutW(list, LB_GETTEXT, 0, (LPARAM)wide, SMTO_ABORTIFHUNG, 5000, &length))
        WideCharToMultiByte(CP_ACP, 0, wide, -1, line, size, NULL, NULL);
    return count;
}

static int LineStartsWith(HWND hMain, int id, const char *start)
{
    char line[256];

    ReadLine(hMain, id, line, sizeof line);
    return strncmp(line, start, strlen(start)) == 0;
}

static void ReportLine(HWND hMain, const char *stage, const char *name, int id)
{
    char line[256], quoted[300];

    ReadLine(hMain, id, line, sizeof line);
    Report("%s line %s: %s", stage, name, Quote(line, quoted, sizeof quoted));
}

static void ReportClockLines(HWND hMain, const char *stage)
{
    for (const ClockLine &clock : gClockLines)
        ReportLine(hMain, stage, clock.name, clock.id);
}

static void ReportButtons(HWND hMain, const char *stage)
{
    static const int ids[] = {ID_TEST,        ID_STOPCLOCKS, ID_RESET_DATE,
                              ID_INSTALL_FIX, ID_HELP,       ID_CLOSE};
    char text[64], quoted[100];

    for (int id : ids) {
        HWND button = GetDlgItem(hMain, id);
        GetText(button, text, sizeof text);
        Report("%s button %d: %s %s", stage, id, Quote(text, quoted, sizeof quoted),
               button && IsWindowEnabled(button) ? "enabled" : "disabled");
    }
}

static void ReportCaption(HWND hwnd, const char *stage)
{
    char text[256], quoted[300];

    GetText(hwnd, text, sizeof text);
    Report("%s caption: %s", stage, Quote(text, quoted, sizeof quoted));
}

static int ButtonTextIs(HWND hMain, int id, const char *expected)
{
    char text[64];

    GetText(GetDlgItem(hMain, id), text, sizeof text);
    return strcmp(text, expected) == 0;
}

static int CompanionAtomPresent(void)
{
    return GlobalFindAtomA(COMPANION_ATOM) != 0;
}

// The companion's process, if one runs: 1 when the program under test is its parent.
static int FindCompanionProcess(int *fChildOfProgram)
{
    PROCESSENTRY32 entry;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    int found = 0;

    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snapshot, &entry); ok; ok = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, COMPANION_FILE) == 0) {
            found = 1;
            if (fChildOfProgram)
                *fChildOfProgram = entry.th32ParentProcessID == gProgram.dwProcessId;
            break;
        }
    }
    CloseHandle(snapshot);
    return found;
}

// Every field, as testclock.dll logs a record it sets, so that two records
// that print alike are the same 16 bytes. `what` names the file in the report.
static void ReportRecordFile(const char *stage, const char *name, const char *what)
{
    SYSTEMTIME saved;
    DWORD got = 0;
    HANDLE hFile = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);

    if (hFile == INVALID_HANDLE_VALUE) {
        Report("%s %s: missing", stage, what);
        return;
    }
    Report("%s %s size: %lu", stage, what, (unsigned long)GetFileSize(hFile, NULL));
    if (ReadFile(hFile, &saved, sizeof saved, &got, NULL) && got == sizeof saved)
        Report("%s %s record: %04u-%02u-%02u %02u:%02u:%02u.%03u dow %u", stage, what, saved.wYear,
               saved.wMonth, saved.wDay, saved.wHour, saved.wMinute, saved.wSecond,
               saved.wMilliseconds, saved.wDayOfWeek);
    CloseHandle(hFile);
}

static void ReportDateFile(const char *stage)
{
    ReportRecordFile(stage, DATE_FILE, "date file");
}

// ---- The test's clock ----

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
static int LoadTestClock(void)
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
static void ReportClockLog(const char *stage)
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
static void CheckTestClock(void)
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

    gClockLogReported = 0;
    DeleteFileA(CLOCK_LOG);
    SetEnvironmentVariableA(CLOCK_MODE_VARIABLE, "own");
    if (!GetTestClockPath(dll, sizeof dll) || !LoadLibraryA(dll)) {
        Report("clock check: not loaded");
        return;
    }
    for (const SYSTEMTIME &record : records)
        SetLocalTime(&record);
    ReportClockLog("check");
}

// ---- The screenshot: the window as the screen shows it, as a PNG ----

static unsigned long gCrcTable[256];

static unsigned long Crc32(unsigned long crc, const unsigned char *p, size_t n)
{
    if (!gCrcTable[1]) {
        for (unsigned long i = 0; i < 256; ++i) {
            unsigned long c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            gCrcTable[i] = c;
        }
    }
    crc ^= 0xFFFFFFFFUL;
    while (n--)
        crc = gCrcTable[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFUL;
}

static void PutBigEndian(unsigned char *p, unsigned long value)
{
    p[0] = (unsigned char)(value >> 24);
    p[1] = (unsigned char)(value >> 16);
    p[2] = (unsigned char)(value >> 8);
    p[3] = (unsigned char)value;
}

// data points just past 8 bytes reserved for the length and the type.
static int WriteChunk(HANDLE hFile, const char *type, unsigned char *data, unsigned long length)
{
    unsigned char crc[4];
    DWORD written;

    PutBigEndian(data - 8, length);
    memcpy(data - 4, type, 4);
    PutBigEndian(crc, Crc32(0, data - 4, length + 4));
    return WriteFile(hFile, data - 8, length + 8, &written, NULL) && written == length + 8 &&
           WriteFile(hFile, crc, 4, &written, NULL) && written == 4;
}

// Truecolour, 8 bits a sample, no filtering, and a zlib stream of stored
// blocks: a valid PNG without a compressor.
static int WritePng(const char *path, const unsigned char *rgb, int width, int height)
{
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const unsigned long rowBytes = 1 + (unsigned long)width * 3;
    const unsigned long rawBytes = rowBytes * height;
    const unsigned long blocks = (rawBytes + 65534) / 65535;
    const unsigned long idatBytes = 2 + rawBytes + 5 * blocks + 4;
    unsigned char header[8 + 13], trailer[8];
    unsigned char *idat;
    unsigned long a = 1, b = 0, at = 8, left = rawBytes, row = 0, column = 0;
    DWORD written;
    int ok;

    idat = (unsigned char *)HeapAlloc(GetProcessHeap(), 0, 8 + idatBytes);
    if (!idat)
        return 0;
    idat[at++] = 0x78;
    idat[at++] = 0x01;
    while (left) {
        unsigned long n = left < 65535 ? left : 65535;
        left -= n;
        idat[at++] = left ? 0 : 1;
        idat[at++] = (unsigned char)n;
        idat[at++] = (unsigned char)(n >> 8);
        idat[at++] = (unsigned char)~n;
        idat[at++] = (unsigned char)(~n >> 8);
        while (n--) {
            unsigned char byte = column == 0 ? 0 : rgb[row * width * 3 + column - 1];
            if (++column == rowBytes) {
                column = 0;
                ++row;
            }
            idat[at++] = byte;
            a = (a + byte) % 65521;
            b = (b + a) % 65521;
        }
    }
    PutBigEndian(idat + at, (b << 16) | a);

    PutBigEndian(header + 8, width);
    PutBigEndian(header + 12, height);
    header[16] = 8;  // bit depth
    header[17] = 2;  // colour type: RGB
    header[18] = 0;  // deflate
    header[19] = 0;  // adaptive filtering, each row type 0
    header[20] = 0;  // not interlaced

    HANDLE hFile =
        CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ok = hFile != INVALID_HANDLE_VALUE;
    if (ok) {
        ok = WriteFile(hFile, signature, 8, &written, NULL) &&
             WriteChunk(hFile, "IHDR", header + 8, 13) &&
             WriteChunk(hFile, "IDAT", idat + 8, idatBytes) &&
             WriteChunk(hFile, "IEND", trailer + 8, 0);
        CloseHandle(hFile);
    }
    HeapFree(GetProcessHeap(), 0, idat);
    return ok;
}

static int SaveWindowPicture(HWND hwnd, const char *path)
{
    RECT rect;
    BITMAPINFO info;
    int ok = 0;

    GetWindowRect(hwnd, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const int stride = (width * 3 + 3) & ~3;
    if (width <= 0 || height <= 0)
        return 0;
    unsigned char *pixels =
        (unsigned char *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)stride * height);
    if (!pixels)
        return 0;

    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);

    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(memory, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS) == height) {
        // Rows packed and BGR turned into RGB, in place.
        for (int y = 0; y < height; ++y) {
            unsigned char *src = pixels + (size_t)y * stride;
            unsigned char *dst = pixels + (size_t)y * width * 3;
            for (int x = 0; x < width; ++x) {
                unsigned char blue = src[3 * x], green = src[3 * x + 1], red = src[3 * x + 2];
                dst[3 * x] = red;
                dst[3 * x + 1] = green;
                dst[3 * x + 2] = blue;
            }
        }
        ok = WritePng(path, pixels, width, height);
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    HeapFree(GetProcessHeap(), 0, pixels);
    return ok;
}

// ---- The steps ----

// From the program's start to its main dialog: the About box, then whatever
// the start-up checks show. NULL when the program ends instead, also when its
// main dialog goes again within `settleMs`. With fLoadClock the test's clock
// is loaded while the About box is up, before anything has read a clock.
static HWND RunStartup(DWORD settleMs, int fLoadClock)
{
    char caption[256], text[256], quoted[300];
    HWND hwnd = WaitForProgramWindow(NULL, NULL, START_TIMEOUT_MS);

    if (!hwnd) {
        ReportTimeout(ProgramEnded() ? "program ended before any window" : "no window");
        return NULL;
    }
    GetText(hwnd, caption, sizeof caption);
    Report("first window: %s", Quote(caption, quoted, sizeof quoted));

    for (;;) {
        GetText(hwnd, caption, sizeof caption);
        GetClassNameA(hwnd, text, sizeof text);
        if (strcmp(text, "Tolvane") == 0) {
            DWORD seen = GetTickCount();
            if (settleMs && WaitFor(settleMs, [&] { return !IsWindow(hwnd) || ProgramEnded(); })) {
                Report("main dialog: ended at once (%lu ms)",
                       (unsigned long)(GetTickCount() - seen));
                return NULL;
            }
            Report("main dialog: shown");
            return hwnd;
        }
        if (strcmp(caption, "About Tolvane") == 0) {
            GetText(GetDlgItem(hwnd, ID_ABOUT_TITLE), text, sizeof text);
            Report("about text: %s", Quote(text, quoted, sizeof quoted));
            Report("main dialog under about: %s",
                   FindProgramWindow(" Tolvane", NULL) ? "visible" : "hidden");
            if (fLoadClock) {
                Report("test clock: %s", LoadTestClock() ? "loaded" : "not loaded");
                ReportClockLog("start");
            }
            if (!ClickButton(hwnd, IDOK))
                return NULL;
            if (!WaitUntilGone(hwnd)) {
                ReportTimeout("about box stays open");
                return NULL;
            }
        } else if (IsMessageBox(hwnd)) {
            AnswerMessageBox(hwnd);
        } else {
            Report("unexpected window: %s", Quote(caption, quoted, sizeof quoted));
            return NULL;
        }
        hwnd = WaitForProgramWindow(NULL, hwnd, STEP_TIMEOUT_MS);
        if (!hwnd) {
            if (!ProgramEnded())
                ReportTimeout("no window after start-up step");
            return NULL;
        }
    }
}

static void ReadClocks(HWND hMain, const char *screenshot)
{
    // The lines fill in at the first ticks; a seconds value of 0 waits a second.
    if (!WaitFor(STEP_TIMEOUT_MS, [&] {
            for (const ClockLine &clock : gClockLines)
                if (ListCount(hMain, clock.id) < 1)
                    return false;
            return true;
        }))
        ReportTimeout("clock lines stay empty");
    ReportCaption(hMain, "main");
    for (const ClockLine &clock : gClockLines) {
        char line[256], quoted[300];
        Report("line count %s: %d", clock.name, ReadLine(hMain, clock.id, line, sizeof line));
        Report("line %s: %s", clock.name, Quote(line, quoted, sizeof quoted));
    }
    ReportButtons(hMain, "idle");
    if (screenshot) {
        Sleep(500);  // let the last redraw reach the screen
        Report("screenshot: %s", SaveWindowPicture(hMain, screenshot) ? "saved" : "failed");
    }
}

static int InstallAndUnInstallFix(HWND hMain)
{
    int fChild = 0;

    if (!ClickButton(hMain, ID_INSTALL_FIX))
        return 0;
    // The command is over once Close, disabled for it, is enabled again.
    if (!WaitFor(STEP_TIMEOUT_MS,
                 [&] {
                     return ButtonTextIs(hMain, ID_INSTALL_FIX, "UnInstall Fix") &&
                            IsWindowEnabled(GetDlgItem(hMain, ID_CLOSE));
                 }) ||
        !WaitFor(STEP_TIMEOUT_MS, CompanionAtomPresent)) {
        HWND box = FindProgramWindow(NULL, hMain);
        if (box && IsMessageBox(box))
            AnswerMessageBox(box);
        ReportTimeout("fix not running");
    }
    ReportButtons(hMain, "fix running");
    ReportCaption(hMain, "fix running");
    Report("fix running atom: %s", CompanionAtomPresent() ? "present" : "absent");
    Report("fix running process: %s", FindCompanionProcess(&fChild) ? "running" : "absent");
    Report("fix running process parent: %s", fChild ? "tolvane" : "other");

    if (!ClickButton(hMain, ID_INSTALL_FIX))
        return 0;
    if (!WaitFor(STEP_TIMEOUT_MS,
                 [&] {
                     return ButtonTextIs(hMain, ID_INSTALL_FIX, "Install Fix") &&
                            IsWindowEnabled(GetDlgItem(hMain, ID_CLOSE));
                 }) ||
        !WaitFor(STEP_TIMEOUT_MS, [] { return !FindCompanionProcess(NULL); }))
        ReportTimeout("fix still running");
    ReportButtons(hMain, "fix stopped");
    ReportCaption(hMain, "fix stopped");
    Report("fix stopped atom: %s", CompanionAtomPresent() ? "present" : "absent");
    Report("fix stopped process: %s", FindCompanionProcess(NULL) ? "running" : "absent");
    return 1;
}

// ---- The rollover test ----

static void Label(char *buffer, size_t size, const char *stage, const char *what)
{
    snprintf(buffer, size, "%s %s", stage, what);
}

static int IsEnabled(HWND hMain, int id)
{
    return IsWindowEnabled(GetDlgItem(hMain, id)) != 0;
}

static int IsChecked(HWND hDlg, int id)
{
    return Ask(GetDlgItem(hDlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// A box is gone before the command that showed it has returned; the buttons
// it sets afterwards are waited for.
static void WaitForEnabled(HWND hMain, int id, const char *what)
{
    if (!WaitFor(STEP_TIMEOUT_MS, [&] { return IsEnabled(hMain, id); }))
        ReportTimeout(what);
}

// TEST, and the warning if one shows: reported, its check box ticked when
// asked, then answered OK.
static int PressTest(HWND hMain, const char *stage, int fTickDontWarn)
{
    char label[128];
    HWND warning = NULL;

    if (!ClickButton(hMain, ID_TEST))
        return 0;
    WaitFor(STEP_TIMEOUT_MS, [&] {
        warning = FindProgramWindow(" Tolvane - Warning", NULL);
        return warning || IsEnabled(hMain, ID_STOPCLOCKS) || FindMessageBox(NULL) || ProgramEnded();
    });
    if (!warning) {
        Report("%s warning: none", stage);
        return 1;
    }
    Report("%s warning: shown", stage);
    Report("%s warning check box: %s", stage,
           IsChecked(warning, ID_DONT_WARN) ? "checked" : "unchecked");
    Label(label, sizeof label, stage, "confirming");
    ReportButtons(hMain, label);
    if (fTickDontWarn) {
        if (!ClickButton(warning, ID_DONT_WARN))
            return 0;
        if (!WaitFor(STEP_TIMEOUT_MS, [&] { return IsChecked(warning, ID_DONT_WARN); }))
            ReportTimeout("check box stays unchecked");
        Report("%s warning check box: ticked", stage);
    }
    if (!ClickButton(warning, IDOK))
        return 0;
    if (!WaitUntilGone(warning)) {
        ReportTimeout("warning stays open");
        return 0;
    }
    return 1;
}

// After OK: the clock set and StopClocks enabled, or a message box that says
// why not, which is reported and answered.
static int WaitForWatching(HWND hMain, const char *stage)
{
    HWND box = NULL;

    if (!WaitFor(STEP_TIMEOUT_MS,
                 [&] {
                     box = FindMessageBox(NULL);
                     return box || IsEnabled(hMain, ID_STOPCLOCKS) || ProgramEnded();
                 }) ||
        ProgramEnded()) {
        ReportTimeout("StopClocks stays disabled");
        return 0;
    }
    if (box) {
        Report("%s: not watching", stage);
        AnswerMessageBox(box, stage);
        return 0;
    }
    Report("%s: watching", stage);
    return 1;
}

static HWND WaitForMessageBox(const char *what)
{
    HWND box = NULL;

    WaitFor(STEP_TIMEOUT_MS,
            [&] { return (box = FindMessageBox(NULL)) != NULL || ProgramEnded(); });
    if (!box)
        ReportTimeout(what);
    return box;
}

// The local line from the test's setting until it has passed midnight: every
// text it shows in turn.
static int WatchMidnight(HWND hMain)
{
    char line[256], shown[256] = "", quoted[300];

    if (!WaitFor(STEP_TIMEOUT_MS,
                 [&] { return LineStartsWith(hMain, ID_LOCAL_LINE, " 12-31-1999"); })) {
        ReportTimeout("local line never reads 1999");
        return 0;
    }
    if (!WaitFor(STEP_TIMEOUT_MS, [&] {
            ReadLine(hMain, ID_LOCAL_LINE, line, sizeof line);
            if (strcmp(line, shown) != 0) {
                strcpy(shown, line);
                Report("watching line local: %s", Quote(line, quoted, sizeof quoted));
            }
            return strncmp(line, " 01-01-2000", 11) == 0;
        })) {
        ReportTimeout("local line never reaches 2000");
        return 0;
    }
    return 1;
}

// TEST with the warning's check box ticked, watching past midnight, the
// verdict with the lines frozen under it, and Reset Date.
static int RunTestPastMidnight(HWND hMain)
{
    HWND box;

    if (!PressTest(hMain, "test", 1) || !WaitForWatching(hMain, "test"))
        return 0;
    ReportDateFile("test");
    ReportClockLog("test");
    ReportButtons(hMain, "watching");
    if (!WatchMidnight(hMain) || !ClickButton(hMain, ID_STOPCLOCKS))
        return 0;
    if (!(box = WaitForMessageBox("no verdict")))
        return 0;
    ReportClockLines(hMain, "verdict");
    Sleep(FROZEN_CHECK_MS);
    ReportClockLines(hMain, "verdict later");
    AnswerMessageBox(box);
    WaitForEnabled(hMain, ID_RESET_DATE, "Reset Date stays disabled");
    ReportButtons(hMain, "judged");

    if (!ClickButton(hMain, ID_RESET_DATE))
        return 0;
    WaitForEnabled(hMain, ID_TEST, "TEST stays disabled after Reset Date");
    ReportClockLog("reset");
    ReportButtons(hMain, "reset");
    if (!WaitFor(STEP_TIMEOUT_MS,
                 [&] { return !LineStartsWith(hMain, ID_LOCAL_LINE, " 01-01-2000"); }))
        ReportTimeout("local line stays in 2000");
    ReportLine(hMain, "reset", "local", ID_LOCAL_LINE);
    return 1;
}

// TEST again, now without the warning, and StopClocks before midnight.
static int RunTestStoppedBeforeMidnight(HWND hMain)
{
    HWND box;

    if (!PressTest(hMain, "second test", 0) || !WaitForWatching(hMain, "second test"))
        return 0;
    ReportDateFile("second test");
    ReportClockLog("second test");
    if (!WaitFor(STEP_TIMEOUT_MS,
                 [&] { return LineStartsWith(hMain, ID_LOCAL_LINE, " 12-31-1999"); }))
        ReportTimeout("local line never reads 1999");
    ReportLine(hMain, "second test", "local", ID_LOCAL_LINE);
    if (!ClickButton(hMain, ID_STOPCLOCKS) || !(box = WaitForMessageBox("no verdict")))
        return 0;
    AnswerMessageBox(box);
    WaitForEnabled(hMain, ID_RESET_DATE, "Reset Date stays disabled");
    ReportButtons(hMain, "second judged");
    return 1;
}

// ---- Ways out ----

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    BOOL fReplied;
};

static DWORD WINAPI SendMessageThread(LPVOID parameter)
{
    SentMessage *sent = (SentMessage *)parameter;
    DWORD_PTR result;

    sent->fReplied = SendMessageTimeoutA(sent->hwnd, sent->message, sent->wParam, 0, SMTO_NORMAL,
                                         STEP_TIMEOUT_MS, &result) != 0;
    return 0;
}

// Sends from a thread of its own and waits for the reply as a sender does;
// every message box the program shows before it replies (other than `shownBox`,
// already up) is reported under the stage's name and answered.
static void SendAnsweringBoxes(HWND hwnd, UINT message, WPARAM wParam, HWND shownBox,
                               const char *stage)
{
    SentMessage sent = {hwnd, message, wParam, FALSE};
    HANDLE thread = CreateThread(NULL, 0, SendMessageThread, &sent, 0, NULL);

    if (!thread) {
        Report("%s: not sent", stage);
        return;
    }
    while (WaitForSingleObject(thread, POLL_MS) == WAIT_TIMEOUT) {
        HWND box = FindMessageBox(shownBox);
        if (box)
            AnswerMessageBox(box, stage);
    }
    CloseHandle(thread);
    Report("%s: %s", stage, sent.fReplied ? "replied" : "no reply");
}

// The end of the session as Windows delivers it to a program: the question,
// then WM_ENDSESSION saying whether the session ends, which it does when the
// program agrees; Windows then ends the process without asking it again.
static void EndSession(HWND hMain, HWND shownBox, const char *stage)
{
    char label[128];
    LRESULT agreed = Ask(hMain, WM_QUERYENDSESSION, 0, 0);

    Label(label, sizeof label, stage, "WM_QUERYENDSESSION");
    Report("%s: %s", label, agreed ? "agreed" : "refused");
    Label(label, sizeof label, stage, "WM_ENDSESSION");
    SendAnsweringBoxes(hMain, WM_ENDSESSION, agreed != 0, shownBox, label);
    ReportClockLog(label);
    if (agreed && !ProgramEnded()) {
        TerminateProcess(gProgram.hProcess, 0);
        WaitForSingleObject(gProgram.hProcess, STEP_TIMEOUT_MS);
    }
}

static void CloseProgram(HWND hMain)
{
    if (!ClickButton(hMain, ID_CLOSE))
        return;
    if (WaitForSingleObject(gProgram.hProcess, STEP_TIMEOUT_MS) != WAIT_OBJECT_0)
        ReportTimeout("program does not end");
}

// The program's exit code once it has ended; one that does not end in time
// is reported and terminated.
static DWORD WaitForProgramEnd(const char *timeoutWhat)
{
    DWORD exitCode = STILL_ACTIVE;

    if (WaitForSingleObject(gProgram.hProcess, STEP_TIMEOUT_MS) != WAIT_OBJECT_0) {
        ReportTimeout(timeoutWhat);
        TerminateProcess(gProgram.hProcess, 1);
        WaitForSingleObject(gProgram.hProcess, STEP_TIMEOUT_MS);
    }
    GetExitCodeProcess(gProgram.hProcess, &exitCode);
    return exitCode;
}

static void ReportExitCode(const char *label)
{
    Report("%s: %lu", label, (unsigned long)WaitForProgramEnd("program still running at the end"));
}

static void ReportCompanionAtEnd(void)
{
    Report("end atom: %s", CompanionAtomPresent() ? "present" : "absent");
    Report("end process: %s", FindCompanionProcess(NULL) ? "running" : "absent");
}

// ---- The help engine: a process of its own, known by its windows ----

struct HelpSearch {
    HWND found[8];
    int count;
};

// Visible captioned windows of neither the driver nor the program: the help
// engine's window, and any box it shows.
static BOOL CALLBACK MatchHelpWindow(HWND hwnd, LPARAM lParam)
{
    HelpSearch *search = (HelpSearch *)lParam;
    char text[256];
    DWORD pid = 0;

    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == gProgram.dwProcessId || pid == GetCurrentProcessId() || !IsWindowVisible(hwnd))
        return TRUE;
    GetWindowTextA(hwnd, text, sizeof text);
    if (text[0] && search->count < (int)(sizeof search->found / sizeof search->found[0]))
        search->found[search->count++] = hwnd;
    return TRUE;
}

static HelpSearch FindHelpWindows(void)
{
    HelpSearch search;

    search.count = 0;
    EnumWindows(MatchHelpWindow, (LPARAM)&search);
    return search;
}

// Help: the help engine opens the help file beside the program; its windows
// are reported, the first pictured. Returns the help window, or NULL.
static HWND OpenHelp(HWND hMain, const char *screenshot)
{
    HelpSearch search;
    char caption[256], quoted[300], className[64];

    if (!ClickButton(hMain, ID_HELP))
        return NULL;
    if (!WaitFor(START_TIMEOUT_MS, [&] { return (search = FindHelpWindows()).count > 0; })) {
        ReportTimeout("no help window");
        return NULL;
    }
    Sleep(1000);  // an error box of the help engine would follow its window
    search = FindHelpWindows();
    Report("help windows: %d", search.count);
    for (int i = 0; i < search.count; ++i) {
        GetText(search.found[i], caption, sizeof caption);
        GetClassNameA(search.found[i], className, sizeof className);
        Report("help window: %s class %s", Quote(caption, quoted, sizeof quoted), className);
    }
    if (screenshot)
        Report("help screenshot: %s",
               SaveWindowPicture(search.found[0], screenshot) ? "saved" : "failed");
    return search.found[0];
}

static void ReportHelpAfterEnd(HWND help)
{
    WaitFor(STEP_TIMEOUT_MS, [&] { return !IsWindow(help) || !IsWindowVisible(help); });
    Report("help window after the program: %s",
           IsWindow(help) && IsWindowVisible(help) ? "open" : "closed");
}

// Close while a test is watching: the date goes back before the program ends.
static void CloseWhileWatching(HWND hMain)
{
    if (!PressTest(hMain, "close test", 0) || !WaitForWatching(hMain, "close test"))
        return;
    ReportDateFile("close test");
    ReportClockLog("close test");
    CloseProgram(hMain);
    ReportExitCode("close exit code");
    ReportClockLog("close");
}

// A test whose program is ended while it watches, as by a crash: the date it
// saved and its note that the date is owed stay behind.
static void KillWhileWatching(HWND hMain)
{
    if (!PressTest(hMain, "killed test", 0) || !WaitForWatching(hMain, "killed test"))
        return;
    ReportDateFile("killed test");
    ReportRecordFile("killed test", OWED_FILE, "note");
    ReportClockLog("killed test");
    TerminateProcess(gProgram.hProcess, 1);
    WaitForSingleObject(gProgram.hProcess, STEP_TIMEOUT_MS);
    Report("killed test: terminated");
}

// A test that Wine refuses, answered: the program back in Idle.
static void RunRefusedTest(HWND hMain)
{
    HWND box;

    if (!PressTest(hMain, "refused test", 0) ||
        !(box = WaitForMessageBox("no message after the warning")))
        return;
    ReportDateFile(
        "refused test");  // while the box is up: what this test saved, before anything else runs
    ReportClockLog("refused test");
    AnswerMessageBox(box);
    WaitForEnabled(hMain, ID_TEST, "TEST stays disabled");
    WaitForEnabled(hMain, ID_INSTALL_FIX, "Install Fix stays disabled");
    ReportButtons(hMain, "after test");
}

// A test that Wine refuses, and a way out taken while the program still says
// so: the date this test saved was never changed, so nothing is restored.
static void ExitWhileRefused(HWND hMain, const char *stage, int fEndSession)
{
    char label[128];
    HWND box;

    if (!PressTest(hMain, stage, 0) || !(box = WaitForMessageBox("no message after the warning")))
        return;
    ReportClockLog(stage);
    if (fEndSession) {
        EndSession(hMain, box, stage);
        return;
    }
    Label(label, sizeof label, stage, "WM_CLOSE");
    SendAnsweringBoxes(hMain, WM_CLOSE, 0, box, label);
    ReportClockLog(label);
    AnswerMessageBox(box, stage);
    Label(label, sizeof label, stage, "exit code");
    ReportExitCode(label);
    Label(label, sizeof label, stage, "end");
    ReportClockLog(label);
}

// ---- Runs ----

// What the program's start-up checks will find, asked the same way.
static void ReportPlatform(void)
{
    OSVERSIONINFOA version;
    HANDLE hEnum = NULL;
    DWORD opened, closed;

    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version))
        Report("platform: id %lu version %lu.%lu", (unsigned long)version.dwPlatformId,
               (unsigned long)version.dwMajorVersion, (unsigned long)version.dwMinorVersion);
    opened = WNetOpenEnumA(RESOURCE_CONNECTED, RESOURCETYPE_ANY, 0, NULL, &hEnum);
    closed = WNetCloseEnum(hEnum);
    Report("network: open %lu handle %s close %lu", (unsigned long)opened, hEnum ? "set" : "null",
           (unsigned long)closed);
}

static int StartProgram(const char *path)
{
    STARTUPINFOA si;

    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    if (!CreateProcessA(path, NULL, NULL, NULL, FALSE, 0, NULL, NULL, &si, &gProgram)) {
        Report("start: failed, error %lu", (unsigned long)GetLastError());
        return 0;
    }
    CloseHandle(gProgram.hThread);
    Report("start: ok");
    return 1;
}

// A run of the program up to its main dialog, on the test's clock in
// `clockMode` ("own", or "wine": Wine's clock, its sets logged); the clock's
// log starts empty.
static HWND StartRun(const char *path, const char *name, const char *clockMode)
{
    Report("run: %s", name);
    gClockLogReported = 0;
    DeleteFileA(CLOCK_LOG);
    SetEnvironmentVariableA(CLOCK_MODE_VARIABLE, clockMode);
    return StartProgram(path) ? RunStartup(0, 1) : NULL;
}

// A run that stopped short leaves its program running: it is ended here, so
// that the next run starts alone.
static void EndRun(void)
{
    if (!gProgram.hProcess)
        return;
    if (!ProgramEnded()) {
        ReportTimeout("program still running at the end of its run");
        TerminateProcess(gProgram.hProcess, 1);
        WaitForSingleObject(gProgram.hProcess, STEP_TIMEOUT_MS);
    }
    CloseHandle(gProgram.hProcess);
    ZeroMemory(&gProgram, sizeof gProgram);
}

// A second copy, started while the first runs, must end after its About box
// with the already-running message, never showing its main dialog.
static void RunSecondCopy(const char *path)
{
    PROCESS_INFORMATION first = gProgram;

    Report("second copy: starting");
    if (StartProgram(path)) {
        HWND hMain = RunStartup(MAIN_SETTLE_MS, 0);
        if (hMain) {
            Report("second copy: main dialog shown");
            CloseProgram(hMain);
        }
        Report("second copy: exit code %lu",
               (unsigned long)WaitForProgramEnd("second copy still running"));
        CloseHandle(gProgram.hProcess);
    }
    gProgram = first;
}

// The next start, on the test's clock loaded before the offer is answered
// Yes: the saved date is set again and the note goes.
static void RestartAfterTheKill(const char *path)
{
    HWND hMain;

    gfAnswerYes = 1;
    hMain = StartRun(path, "after the kill", "own");
    gfAnswerYes = 0;
    if (!hMain)
        return;
    ReportClockLog("after the kill");
    ReportRecordFile("after the kill", OWED_FILE, "note");
    ReportDateFile("after the kill");
    CloseProgram(hMain);
    ReportExitCode("after the kill exit code");
}

static void RunWin98(const char *program, const char *screenshot, const char *helpScreenshot)
{
    HWND hMain, help = NULL;

    if ((hMain = StartRun(program, "main", "own")) != NULL) {
        ReadClocks(hMain, screenshot);
        RunSecondCopy(program);
        InstallAndUnInstallFix(hMain);
        if (RunTestPastMidnight(hMain) && RunTestStoppedBeforeMidnight(hMain)) {
            EndSession(hMain, NULL, "judged");
            ReportCompanionAtEnd();
        }
    }
    EndRun();

    if ((hMain = StartRun(program, "help, then close while watching", "own")) != NULL) {
        help = OpenHelp(hMain, helpScreenshot);
        CloseWhileWatching(hMain);
        if (help)
            ReportHelpAfterEnd(help);
    }
    EndRun();

    if ((hMain = StartRun(program, "killed while watching", "own")) != NULL)
        KillWhileWatching(hMain);
    EndRun();
    RestartAfterTheKill(program);
    EndRun();

    if ((hMain = StartRun(program, "refused, then close", "wine")) != NULL) {
        RunRefusedTest(hMain);
        ExitWhileRefused(hMain, "refused close", 0);
    }
    EndRun();

    if ((hMain = StartRun(program, "refused, then end of session", "wine")) != NULL)
        ExitWhileRefused(hMain, "refused end session", 1);
    EndRun();
}

int main(int argc, char **argv)
{
    if (argc < 4 || (strcmp(argv[1], "win98") != 0 && strcmp(argv[1], "nt") != 0)) {
        fprintf(stderr,
                "usage: uidriver win98|nt <tolvane.exe> <report file> [<main.png> [<help.png>]]\n");
        return 2;
    }
    ghReport = CreateFileA(argv[3], GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    Report("scenario: %s", argv[1]);
    ReportPlatform();
    Report("start atom: %s", CompanionAtomPresent() ? "present" : "absent");
    if (strcmp(argv[1], "win98") == 0) {
        CheckTestClock();
        RunWin98(argv[2], argc > 4 ? argv[4] : NULL, argc > 5 ? argv[5] : NULL);
    } else if (StartProgram(argv[2])) {
        HWND hMain = RunStartup(MAIN_SETTLE_MS, 0);
        if (hMain)
            CloseProgram(hMain);
        ReportExitCode("exit code");
        ReportCompanionAtEnd();
    }
    Report("driver: done");
    CloseHandle(ghReport);
    return 0;
}
