// The program's windows as the driver finds, reads and answers them: its top
// windows and message boxes, the main dialog's lines and buttons, the
// companion's atom and process, and the files the program writes.
#include "program_windows.h"

#include <string.h>
#include <tlhelp32.h>

const ClockLine gClockLines[CLOCK_LINE_COUNT] = {{ID_CMOS_LINE, "cmos"},
                                                 {ID_BIOS_LINE, "bios"},
                                                 {ID_LOCAL_LINE, "local"},
                                                 {ID_UTC_LINE, "utc"}};

int ProgramEnded(void)
{
    return WaitForSingleObject(gProgram.hProcess, 0) == WAIT_OBJECT_0;
}

int IsMessageBox(HWND hwnd)
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

HWND FindProgramWindow(const char *caption, HWND except)
{
    WindowSearch search = {caption, except, 0, NULL};

    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

HWND FindMessageBox(HWND except)
{
    WindowSearch search = {NULL, except, 1, NULL};

    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

HWND WaitForProgramWindow(const char *caption, HWND except, DWORD timeoutMs)
{
    HWND found = NULL;

    WaitFor(timeoutMs, [&] {
        found = FindProgramWindow(caption, except);
        return found != NULL || ProgramEnded();
    });
    return found;
}

int WaitUntilGone(HWND hwnd)
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
void ReportTimeout(const char *what)
{
    Report("timeout: %s", what);
    EnumWindows(ReportWindow, 0);
}

void GetText(HWND hwnd, char *buffer, int size)
{
    buffer[0] = 0;
    if (hwnd)
        GetWindowTextA(hwnd, buffer, size);
}

// Posted, not sent: a button that opens a modal box would block us until it closed.
int ClickButton(HWND hDlg, int id)
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
int gfAnswerYes = 0;

// Reports the box, under the stage's name where given, and answers it: OK
// where there is one, else No, which never asks the platform to restart (or
// Yes, when asked for).
void AnswerMessageBox(HWND box, const char *stage)
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
LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;

    if (!SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        return 0;
    return (LRESULT)result;
}

int ListCount(HWND hMain, int id)
{
    return (int)Ask(GetDlgItem(hMain, id), LB_GETCOUNT, 0, 0);
}

// The list box's one line and the number of its lines. Read as Unicode: Wine
// hands another process's LB_GETTEXT to an ANSI caller unconverted, which
// reads as the first character alone.
int ReadLine(HWND hMain, int id, char *line, int size)
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

int LineStartsWith(HWND hMain, int id, const char *start)
{
    char line[256];

    ReadLine(hMain, id, line, sizeof line);
    return strncmp(line, start, strlen(start)) == 0;
}

void ReportLine(HWND hMain, const char *stage, const char *name, int id)
{
    char line[256], quoted[300];

    ReadLine(hMain, id, line, sizeof line);
    Report("%s line %s: %s", stage, name, Quote(line, quoted, sizeof quoted));
}

void ReportClockLines(HWND hMain, const char *stage)
{
    for (const ClockLine &clock : gClockLines)
        ReportLine(hMain, stage, clock.name, clock.id);
}

void ReportButtons(HWND hMain, const char *stage)
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

void ReportCaption(HWND hwnd, const char *stage)
{
    char text[256], quoted[300];

    GetText(hwnd, text, sizeof text);
    Report("%s caption: %s", stage, Quote(text, quoted, sizeof quoted));
}

int ButtonTextIs(HWND hMain, int id, const char *expected)
{
    char text[64];

    GetText(GetDlgItem(hMain, id), text, sizeof text);
    return strcmp(text, expected) == 0;
}

int CompanionAtomPresent(void)
{
    return GlobalFindAtomA(COMPANION_ATOM) != 0;
}

// The companion's process, if one runs: 1 when the program under test is its parent.
int FindCompanionProcess(int *fChildOfProgram)
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
void ReportRecordFile(const char *stage, const char *name, const char *what)
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

void ReportDateFile(const char *stage)
{
    ReportRecordFile(stage, DATE_FILE, "date file");
}
