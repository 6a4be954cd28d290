// The kernel's string helpers that the program uses.
#include <windows.h>

// Copies at most iMaxLength - 1 characters and always terminates, unless there
// is no room at all. Where Windows would catch the fault of a null pointer and
// fail, this fails without touching anything.
LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
    if (!lpString1 || !lpString2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (iMaxLength <= 0)
        return lpString1;
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i]; ++i)
        lpString1[i] = lpString2[i];
    lpString1[i] = '\0';
    return lpString1;
}
