// What the program takes from the common controls library. Its dialogs use
// only the predefined controls, so there is nothing to register.
#include <windows.h>
#include <commctrl.h>

extern "C" void WINAPI InitCommonControls(void) {}
