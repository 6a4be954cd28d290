// Runs a measurement on the program's thread inside the real main dialog,
// built from its template on a Year 2000 ready PC with a virtual clock, as
// the dialog's timer would run it.
#pragma once

#include <windows.h>

// Shows the dialog, calls `measure` with it once it is up, then ends it.
void RunOnMainDialog(void (*measure)(HWND dialog));
