// The steps of a run, each as a person takes it: from the start to the main
// dialog, the clock lines, Install and UnInstall Fix, the rollover test, and
// Help.
#include "steps.h"

#include <string.h>

#include "clock_loader.h"
#include "program_windows.h"
#include "screenshot.h"

// A frozen line must outlast a change of its clock's seconds.
#define FROZEN_CHECK_MS 1500

// From the program's start to its main dialog: the About box, then whatever
// the start-up checks show. NULL when the program ends instead, also when its
// main dialog goes again within `settleMs`. With fLoadClock the test's clock
// is loaded while the About box is up, before anything has read a clock.
HWND RunStartup(DWORD settleMs, int fLoadClock)
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

void ReadClocks(HWND hMain, const char *screenshot)
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

int InstallAndUnInstallFix(HWND hMain)
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
void WaitForEnabled(HWND hMain, int id, const char *what)
{
    if (!WaitFor(STEP_TIMEOUT_MS, [&] { return IsEnabled(hMain, id); }))
        ReportTimeout(what);
}

// TEST, and the warning if one shows: reported, its check box ticked when
// asked, then answered OK.
int PressTest(HWND hMain, const char *stage, int fTickDontWarn)
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
int WaitForWatching(HWND hMain, const char *stage)
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

HWND WaitForMessageBox(const char *what)
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
int RunTestPastMidnight(HWND hMain)
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
int RunTestStoppedBeforeMidnight(HWND hMain)
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
HWND OpenHelp(HWND hMain, const char *screenshot)
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

void ReportHelpAfterEnd(HWND help)
{
    WaitFor(STEP_TIMEOUT_MS, [&] { return !IsWindow(help) || !IsWindowVisible(help); });
    Report("help window after the program: %s",
           IsWindow(help) && IsWindowVisible(help) ? "open" : "closed");
}
