/* Tolvane's chief header: the control and timer ids, the process-wide state
 * and the declarations of the program's functions, subsystem by subsystem.
 * The resource compiler reads only the ids. */
#ifndef TOLVANE_H
#define TOLVANE_H

/* ---- Resources ---- */
#define IDD_MAIN 100
#define IDD_WARNING 300
#define IDD_ABOUT 500
#define IDI_TOLVANE 1111

/* ---- Main dialog controls ---- */
#define IDC_TEST 1 /* IDOK: the default button */
#define IDC_STOPCLOCKS 102
#define IDC_HELP_BUTTON 103 /* IDC_HELP is a system cursor */
#define IDC_CMOS_LINE 104
#define IDC_RESET_DATE 105
#define IDC_INSTALL_FIX 106
#define IDC_BIOS_LINE 107
#define IDC_CLOSE 108
#define IDC_UTC_LINE 109
#define IDC_CMOS_LABEL 110
#define IDC_BIOS_LABEL 112
#define IDC_SYSTEM_LABEL 113
#define IDC_CLOCKS_GROUP 115
#define IDC_LOCAL_LINE 117
#define IDC_UTC_LABEL 118
#define IDC_LOCAL_LABEL 119

/* ---- Warning dialog controls ---- */
#define IDC_WARNING_FRAME 301
#define IDC_DONT_WARN 302
#define IDC_WARNING_TEXT1 303
#define IDC_WARNING_TEXT2 304
#define IDC_WARNING_TEXT3 305
#define IDC_WARNING_TEXT4 306
#define IDC_WARNING_TEXT5 307

/* ---- About box controls ---- */
#define IDC_ABOUT_TITLE 201

/* ---- Timers ---- */
#define IDT_REFRESH 1
#define REFRESH_PERIOD_MS 200

/* The help file, located by the help engine. */
#define HELP_FILE "Tolvaneeval.hlp"

#ifndef RC_INVOKED

#include <windows.h>

#include "clocks.h"

/* ---- Process-wide state ---- */
extern HINSTANCE ghInst;        /* this module: loads the templates and the icon */
extern DWORD gChildThreadID;    /* main thread of the running fix companion; 0 when none */
extern HANDLE ghChildProcess;   /* process of the running fix companion; NULL when none */
extern int gfShowClocks;        /* the timer refreshes the clock lines while set */
extern int gfTesting;           /* a test is in progress; its saved date is restored at exit */
extern int gfFixInstalled;      /* this program started the companion and has not stopped it */
extern int gfDontShowWarning;   /* the warning dialog is skipped for the rest of this run */
extern int gfClockSetForTest;   /* this test set the clock: its saved date is owed back */
extern int gfAtomFreeAtInstall; /* no companion held the atom when ours was started */
extern HWND ghWarningDlg;       /* the warning dialog while it is open, else NULL */

/* ---- Application shell ---- */
INT_PTR CALLBACK MainDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
int InitializeApp(HWND hwnd);
int RunStartupChecks(HWND hwnd);
void ShowVersionDialog(HWND hwnd);
int IsConnectedToNetwork(void);
INT_PTR CALLBACK AboutDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WarningDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void TidyUp(HWND hwnd);
void RestartComputer(HWND hwnd);
void EndSession(HWND hwnd);
void HelpTolvane(HWND hwnd);

/* ---- Clock readings and the live display (the hardware half in clocks.h) ---- */
int GetSystemLocalDateTimeString(char *buffer);
int GetSystemUTCDateTimeString(char *buffer);
void DoCmosClock(HWND hwnd);
void DoBiosClock(HWND hwnd);
void DoSystemClock(HWND hwnd);
void DoClocks(HWND hwnd);

/* ---- Rollover test ---- */
void Test(HWND hwnd);
int PreTestChecks(HWND hwnd);
int SetClocks2000Minus5Seconds(void);
void EndTestEarlyExit(HWND hwnd);
void StopClocks(HWND hwnd);
int ResetDate(HWND hwnd);
void ShowResetFailure(HWND hwnd);
HANDLE OpenDateFile(void);
int WriteDateFile(HANDLE hFile);
int SaveDate(void);
int ReadDateFileAndRestoreDate(void);
int MarkDateOwed(void);
int ForgetOwedDate(void);
int IsDateOwed(void);
void OfferOwedDate(HWND hwnd, int fAtTest);
void ShowTestResults(HWND hwnd);

/* ---- Fix companion control ---- */
int IsFaltremRunning(void);
int FindFile(const char *name, char *buffer);
int StartChildProcess(const char *path, DWORD *threadId, HANDLE *processHandle);
void Install(HWND hwnd);
void UnInstall(HWND hwnd);
void InstallUnInstallFix(HWND hwnd);

#endif /* RC_INVOKED */

#endif
