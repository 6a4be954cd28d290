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
#include <stdio.h>
#include <string.h>
#include <winnetwk.h>

#include "clock_loader.h"
#include "program_windows.h"
#include "steps.h"
#include "uidriver.h"
#include "ways_out.h"

PROCESS_INFORMATION gProgram;

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
    StartClockLog(clockMode);
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
    OpenReport(argv[3]);
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
    CloseReport();
    return 0;
}
