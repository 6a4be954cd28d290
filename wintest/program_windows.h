// The program's windows as the driver finds, reads and answers them. Every
// question to a window of the program has a time limit, so that a program
// stopped in a fault does not stop the driver too.
#pragma once

#include "uidriver.h"

#define CLOCK_LINE_COUNT 4

struct ClockLine {
    int id;
    const char *name;
};

// The main dialog's four clock lines, as the report names them.
extern const ClockLine gClockLines[CLOCK_LINE_COUNT];

// Question boxes are answered Yes while set, else No.
extern int gfAnswerYes;

int ProgramEnded(void);

// ---- The program's windows ----
int IsMessageBox(HWND hwnd);
// A visible window of the program with this caption (NULL: any caption),
// other than `except`.
HWND FindProgramWindow(const char *caption, HWND except);
HWND FindMessageBox(HWND except);
// NULL when none came in time or the program ended.
HWND WaitForProgramWindow(const char *caption, HWND except, DWORD timeoutMs);
int WaitUntilGone(HWND hwnd);
// What was on the screen when a step did not come about: the report says why.
void ReportTimeout(const char *what);
void GetText(HWND hwnd, char *buffer, int size);
int ClickButton(HWND hDlg, int id);
// Reports the box, under the stage's name where given, and answers it.
void AnswerMessageBox(HWND box, const char *stage = NULL);

// ---- Reading the main dialog ----
LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
int ListCount(HWND hMain, int id);
int ReadLine(HWND hMain, int id, char *line, int size);
int LineStartsWith(HWND hMain, int id, const char *start);
void ReportLine(HWND hMain, const char *stage, const char *name, int id);
void ReportClockLines(HWND hMain, const char *stage);
void ReportButtons(HWND hMain, const char *stage);
void ReportCaption(HWND hwnd, const char *stage);
int ButtonTextIs(HWND hMain, int id, const char *expected);
int CompanionAtomPresent(void);
int FindCompanionProcess(int *fChildOfProgram);
void ReportRecordFile(const char *stage, const char *name, const char *what);
void ReportDateFile(const char *stage);
