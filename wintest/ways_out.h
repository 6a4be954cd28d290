// The ways a run of the program ends, and what the report says of the end.
#pragma once

#include "uidriver.h"

// shownBox: a message box already up, which the program's answer leaves alone.
void EndSession(HWND hMain, HWND shownBox, const char *stage);
void CloseProgram(HWND hMain);
DWORD WaitForProgramEnd(const char *timeoutWhat);
void ReportExitCode(const char *label);
void ReportCompanionAtEnd(void);

void CloseWhileWatching(HWND hMain);
void KillWhileWatching(HWND hMain);
void RunRefusedTest(HWND hMain);
void ExitWhileRefused(HWND hMain, const char *stage, int fEndSession);
