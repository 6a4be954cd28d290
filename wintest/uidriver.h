// What every part of the UI driver shares: its time limits, the program's
// control ids and files, the program under test, the report and waiting.
#pragma once

#include <windows.h>
#include <stddef.h>

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

// The run's program, started by StartProgram.
extern PROCESS_INFORMATION gProgram;

// ---- The report (report.cpp) ----

// Opens the report file; every line goes there and to standard output.
void OpenReport(const char *path);
void CloseReport(void);
// One line, formatted as by printf.
void Report(const char *format, ...);
// Text in double quotes with control characters escaped, so blanks at either
// end and line breaks inside stay visible and the line stays one line.
const char *Quote(const char *text, char *out, size_t size);
// "<stage> <what>", the name of a step's report lines.
void Label(char *buffer, size_t size, const char *stage, const char *what);

// ---- Waiting ----

// Polls until `done()` holds (1) or `timeoutMs` has passed (0).
template <typename Condition>
int WaitFor(DWORD timeoutMs, Condition done)
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
