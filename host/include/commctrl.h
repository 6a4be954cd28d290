/* Common controls of the host's Win32 subset: the program only initialises them. */
#ifndef TOLVANE_HOST_COMMCTRL_H
#define TOLVANE_HOST_COMMCTRL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

void WINAPI InitCommonControls(void);

#ifdef __cplusplus
}
#endif

#endif
