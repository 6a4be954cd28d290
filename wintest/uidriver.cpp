// uidriver: runs tolvane.exe as a person would, through its windows only
// (captions, BM_CLICK, list box lines, button states, message box texts), and
// reports what it saw, one fact a line, for scripts/wine-test.sh to check.
//
//   uidriver win98|nt <tolvane.exe> <report file> [<screenshot.png>]
//
// win98 walks the whole program: start-up, the four clock lines, a second
// copy that refuses to run, Install and UnInstall Fix, a test that the
// platform refuses, Close. nt expects the program to refuse to run. Files the program writes land in the current
// directory, which the program inherits.
#include <windows.h>
#include <tlhelp32.h>
#include <winnetwk.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

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

static HANDLE ghReport = INVALID_HANDLE_VALUE;
static PROCESS_INFORMATION gProgram;

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
        case '\n': out[n++] = '\\'; out[n++] = 'n'; break;
        case '\r': out[n++] = '\\'; out[n++] = 'r'; break;
        case '\t': out[n++] = '\\'; out[n++] = 't'; break;
        case '"': out[n++] = '\\'; out[n++] = '"'; break;
        case '\\': out[n++] = '\\'; out[n++] = '\\'; break;
        default: out[n++] = *text; break;
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

template <typename Condition> static int WaitFor(DWORD timeoutMs, Condition done)
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

struct WindowSearch {
    const char *caption; // NULL: any visible window with a caption
    HWND except;
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
    search->found = hwnd;
    return FALSE;
}

static HWND FindProgramWindow(const char *caption, HWND except)
{
    WindowSearch search = {caption, except, NULL};

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

static int IsMessageBox(HWND hwnd)
{
    char className[64];

    GetClassNameA(hwnd, className, sizeof className);
    return strcmp(className, "#32770") == 0 && GetDlgItem(hwnd, ID_MSGBOX_TEXT) != NULL;
}

// Reports the box and answers it: OK where there is one, else No, which never
// asks the platform to restart.
static void AnswerMessageBox(HWND box)
{
    char caption[256], text[1024], q1[300], q2[1200];

    GetText(box, caption, sizeof caption);
    GetText(GetDlgItem(box, ID_MSGBOX_TEXT), text, sizeof text);
    Report("message: %s %s", Quote(caption, q1, sizeof q1), Quote(text, q2, sizeof q2));
    if (GetDlgItem(box, IDOK)) {
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

// Read as Unicode: Wine hands another process's LB_GETTEXT to an ANSI caller
// unconverted, which reads as the first character alone.
static void ReportLine(HWND hMain, const char *name, int id)
{
    HWND list = GetDlgItem(hMain, id);
    WCHAR wide[256] = L"";
    DWORD_PTR length = 0;
    char line[256] = "", quoted[300];
    int count = (int)Ask(list, LB_GETCOUNT, 0, 0);

    if (count > 0 && SendMessageTimeoutW(list, LB_GETTEXTLEN, 0, 0, SMTO_ABORTIFHUNG, 5000, &length) &&
        length < 256 &&
        SendMessageTimeoutW(list, LB_GETTEXT, 0, (LPARAM)wide, SMTO_ABORTIFHUNG, 5000, &length))
        WideCharToMultiByte(CP_ACP, 0, wide, -1, line, sizeof line, NULL, NULL);
    Report("line count %s: %d", name, count);
    Report("line %s: %s", name, Quote(line, quoted, sizeof quoted));
}

static void ReportButtons(HWND hMain, const char *stage)
{
    static const int ids[] = {ID_TEST, ID_STOPCLOCKS, ID_RESET_DATE, ID_INSTALL_FIX, ID_HELP, ID_CLOSE};
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

static void ReportDateFile(void)
{
    SYSTEMTIME saved;
    DWORD got = 0;
    HANDLE hFile = CreateFileA(DATE_FILE, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);

    if (hFile == INVALID_HANDLE_VALUE) {
        Report("date file: missing");
        return;
    }
    Report("date file size: %lu", (unsigned long)GetFileSize(hFile, NULL));
    if (ReadFile(hFile, &saved, sizeof saved, &got, NULL) && got == sizeof saved)
        Report("date file record: %04u-%02u-%02u %02u:%02u", saved.wYear, saved.wMonth, saved.wDay,
               saved.wHour, saved.wMinute);
    CloseHandle(hFile);
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
    header[16] = 8; // bit depth
    header[17] = 2; // colour type: RGB
    header[18] = 0; // deflate
    header[19] = 0; // adaptive filtering, each row type 0
    header[20] = 0; // not interlaced

    HANDLE hFile = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ok = hFile != INVALID_HANDLE_VALUE;
    if (ok) {
        ok = WriteFile(hFile, signature, 8, &written, NULL) && WriteChunk(hFile, "IHDR", header + 8, 13) &&
             WriteChunk(hFile, "IDAT", idat + 8, idatBytes) && WriteChunk(hFile, "IEND", trailer + 8, 0);
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
    unsigned char *pixels = (unsigned char *)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)stride * height);
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
    info.bmiHeader.biHeight = -height; // top row first
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
// main dialog goes again within `settleMs`.
static HWND RunStartup(DWORD settleMs)
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
                Report("main dialog: ended at once (%lu ms)", (unsigned long)(GetTickCount() - seen));
                return NULL;
            }
            Report("main dialog: shown");
            return hwnd;
        }
        if (strcmp(caption, "About Tolvane") == 0) {
            GetText(GetDlgItem(hwnd, ID_ABOUT_TITLE), text, sizeof text);
            Report("about text: %s", Quote(text, quoted, sizeof quoted));
            Report("main dialog under about: %s", FindProgramWindow(" Tolvane", NULL) ? "visible" : "hidden");
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
    static const int lists[] = {ID_CMOS_LINE, ID_BIOS_LINE, ID_LOCAL_LINE, ID_UTC_LINE};

    // The lines fill in at the first ticks; a seconds value of 0 waits a second.
    if (!WaitFor(STEP_TIMEOUT_MS, [&] {
            for (int id : lists)
                if (ListCount(hMain, id) < 1)
                    return false;
            return true;
        }))
        ReportTimeout("clock lines stay empty");
    ReportCaption(hMain, "main");
    ReportLine(hMain, "cmos", ID_CMOS_LINE);
    ReportLine(hMain, "bios", ID_BIOS_LINE);
    ReportLine(hMain, "local", ID_LOCAL_LINE);
    ReportLine(hMain, "utc", ID_UTC_LINE);
    ReportButtons(hMain, "idle");
    if (screenshot) {
        Sleep(500); // let the last redraw reach the screen
        Report("screenshot: %s", SaveWindowPicture(hMain, screenshot) ? "saved" : "failed");
    }
}

static int InstallAndUnInstallFix(HWND hMain)
{
    int fChild = 0;

    if (!ClickButton(hMain, ID_INSTALL_FIX))
        return 0;
    if (!WaitFor(STEP_TIMEOUT_MS, [&] { return ButtonTextIs(hMain, ID_INSTALL_FIX, "UnInstall Fix"); }) ||
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
    if (!WaitFor(STEP_TIMEOUT_MS, [&] { return ButtonTextIs(hMain, ID_INSTALL_FIX, "Install Fix"); }) ||
        !WaitFor(STEP_TIMEOUT_MS, [] { return !FindCompanionProcess(NULL); }))
        ReportTimeout("fix still running");
    ReportButtons(hMain, "fix stopped");
    ReportCaption(hMain, "fix stopped");
    Report("fix stopped atom: %s", CompanionAtomPresent() ? "present" : "absent");
    Report("fix stopped process: %s", FindCompanionProcess(NULL) ? "running" : "absent");
    return 1;
}

static int RunRefusedTest(HWND hMain)
{
    HWND warning, box;

    if (!ClickButton(hMain, ID_TEST))
        return 0;
    warning = WaitForProgramWindow(" Tolvane - Warning", NULL, STEP_TIMEOUT_MS);
    if (!warning) {
        ReportTimeout("no warning");
        return 0;
    }
    Report("warning: shown");
    Report("warning check box: %s",
           Ask(GetDlgItem(warning, ID_DONT_WARN), BM_GETCHECK, 0, 0) == BST_CHECKED ? "checked" : "unchecked");
    ReportButtons(hMain, "confirming");
    if (!ClickButton(warning, IDOK))
        return 0;
    if (!WaitUntilGone(warning))
        ReportTimeout("warning stays open");

    box = WaitForProgramWindow(NULL, hMain, STEP_TIMEOUT_MS);
    if (box && IsMessageBox(box)) {
        ReportDateFile(); // while the box is up: what this test saved, before anything else runs
        AnswerMessageBox(box);
    } else {
        ReportTimeout("no message after the warning");
    }
    if (!WaitFor(STEP_TIMEOUT_MS, [&] { return IsWindowEnabled(GetDlgItem(hMain, ID_TEST)) != 0; }))
        ReportTimeout("TEST stays disabled");
    ReportButtons(hMain, "after test");
    return 1;
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

static void ReportEnd(void)
{
    Report("exit code: %lu", (unsigned long)WaitForProgramEnd("program still running at the end"));
    Report("end atom: %s", CompanionAtomPresent() ? "present" : "absent");
    Report("end process: %s", FindCompanionProcess(NULL) ? "running" : "absent");
}

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

// A second copy, started while the first runs, must end after its About box
// with the already-running message, never showing its main dialog.
static void RunSecondCopy(const char *path)
{
    PROCESS_INFORMATION first = gProgram;

    Report("second copy: starting");
    if (StartProgram(path)) {
        HWND hMain = RunStartup(MAIN_SETTLE_MS);
        if (hMain) {
            Report("second copy: main dialog shown");
            CloseProgram(hMain);
        }
        Report("second copy: exit code %lu", (unsigned long)WaitForProgramEnd("second copy still running"));
        CloseHandle(gProgram.hProcess);
    }
    gProgram = first;
}

int main(int argc, char **argv)
{
    if (argc < 4 || (strcmp(argv[1], "win98") != 0 && strcmp(argv[1], "nt") != 0)) {
        fprintf(stderr, "usage: uidriver win98|nt <tolvane.exe> <report file> [<screenshot.png>]\n");
        return 2;
    }
    ghReport = CreateFileA(argv[3], GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    Report("scenario: %s", argv[1]);
    ReportPlatform();
    Report("start atom: %s", CompanionAtomPresent() ? "present" : "absent");
    if (!StartProgram(argv[2]))
        return 1;

    HWND hMain = RunStartup(strcmp(argv[1], "win98") == 0 ? 0 : MAIN_SETTLE_MS);
    if (hMain && strcmp(argv[1], "win98") == 0) {
        ReadClocks(hMain, argc > 4 ? argv[4] : NULL);
        RunSecondCopy(argv[2]);
        InstallAndUnInstallFix(hMain);
        RunRefusedTest(hMain);
        CloseProgram(hMain);
    } else if (hMain) {
        CloseProgram(hMain);
    }
    ReportEnd();
    Report("driver: done");
    CloseHandle(ghReport);
    return 0;
}
