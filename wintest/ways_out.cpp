// The ways a run of the program ends: Close, the end of the session, a
// program terminated as by a crash, and each of them while a test watches or
// while the program says it could not set the clock.
#include "ways_out.h"

#include "clock_loader.h"
#include "program_windows.h"
#include "steps.h"

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
void EndSession(HWND hMain, HWND shownBox, const char *stage)
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

void CloseProgram(HWND hMain)
{
    if (!ClickButton(hMain, ID_CLOSE))
        return;
    if (WaitForSingleObject(gProgram.hProcess, STEP_TIMEOUT_MS) != WAIT_OBJECT_0)
        ReportTimeout("program does not end");
}

// The program's exit code once it has ended; one that does not end in time
// is reported and terminated.
DWORD WaitForProgramEnd(const char *timeoutWhat)
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

void ReportExitCode(const char *label)
{
    Report("%s: %lu", label, (unsigned long)WaitForProgramEnd("program still running at the end"));
}

void ReportCompanionAtEnd(void)
{
    Report("end atom: %s", CompanionAtomPresent() ? "present" : "absent");
    Report("end process: %s", FindCompanionProcess(NULL) ? "running" : "absent");
}

// Close while a test is watching: the date goes back before the program ends.
void CloseWhileWatching(HWND hMain)
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
void KillWhileWatching(HWND hMain)
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
void RunRefusedTest(HWND hMain)
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
void ExitWhileRefused(HWND hMain, const char *stage, int fEndSession)
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
