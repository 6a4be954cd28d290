// The steps of a run, each as a person takes it; each reports what it saw
// and returns 0 (or NULL) where the run cannot go on.
#pragma once

#include "uidriver.h"

// From the program's start to its main dialog, which it returns.
HWND RunStartup(DWORD settleMs, int fLoadClock);
void ReadClocks(HWND hMain, const char *screenshot);
int InstallAndUnInstallFix(HWND hMain);

// ---- The rollover test ----
void WaitForEnabled(HWND hMain, int id, const char *what);
int PressTest(HWND hMain, const char *stage, int fTickDontWarn);
int WaitForWatching(HWND hMain, const char *stage);
HWND WaitForMessageBox(const char *what);
int RunTestPastMidnight(HWND hMain);
int RunTestStoppedBeforeMidnight(HWND hMain);

// ---- Help ----
HWND OpenHelp(HWND hMain, const char *screenshot);
void ReportHelpAfterEnd(HWND help);
