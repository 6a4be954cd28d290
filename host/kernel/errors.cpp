// The calling thread's last error, as every kernel call leaves it.
#include <windows.h>

namespace {
thread_local DWORD tLastError = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError(void)
{
    return tLastError;
}

void WINAPI SetLastError(DWORD dwErrCode)
{
    tLastError = dwErrCode;
}
