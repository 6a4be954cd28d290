// Calls the host does not provide yet (processes; help and the session). Each
// fails as Windows does for a service that is not there, and gives way to its
// real implementation as soon as one is linked in.
#include <windows.h>

#define ERROR_NOT_PROVIDED 120L /* ERROR_CALL_NOT_IMPLEMENTED */

extern "C" {
__attribute__((weak)) BOOL WINAPI WinHelpA(HWND, LPCSTR, UINT, ULONG_PTR)
{
    SetLastError(ERROR_NOT_PROVIDED);
    return FALSE;
}
__attribute__((weak)) BOOL WINAPI ExitWindowsEx(UINT, DWORD)
{
    SetLastError(ERROR_NOT_PROVIDED);
    return FALSE;
}
__attribute__((weak)) DWORD WINAPI SearchPathA(LPCSTR, LPCSTR, LPCSTR, DWORD, LPSTR, LPSTR *)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}
__attribute__((weak)) BOOL WINAPI CreateProcessA(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                                                 DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION)
{
    SetLastError(ERROR_NOT_PROVIDED);
    return FALSE;
}
__attribute__((weak)) BOOL WINAPI PostThreadMessageA(DWORD, UINT, WPARAM, LPARAM)
{
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
}
__attribute__((weak)) DWORD WINAPI WaitForSingleObject(HANDLE, DWORD)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}
__attribute__((weak)) BOOL WINAPI TerminateProcess(HANDLE, UINT)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
}
