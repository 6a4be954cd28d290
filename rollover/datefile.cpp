// The date save file: the local time before a test, as one 16-byte SYSTEMTIME
// in "datesave.tmp" in the current directory, and its restore.
#include "tolvane.h"

#define DATE_FILE "datesave.tmp"

// Opened when present, created empty when absent; never truncated, so bytes
// after the record survive. No sharing: a second opener is refused.
HANDLE OpenDateFile(void)
{
    HANDLE hFile = CreateFileA(DATE_FILE, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        hFile = CreateFileA(DATE_FILE, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, NULL);
    return hFile;
}

int WriteDateFile(HANDLE hFile)
{
    SYSTEMTIME now;
    DWORD written = 0;
    BOOL ok;

    GetLocalTime(&now);
    // On the disk before anything that relies on it is written: a short
    // write, or one a power cut could still lose, is no save.
    ok = WriteFile(hFile, &now, sizeof now, &written, NULL) && written == sizeof now &&
         FlushFileBuffers(hFile);
    CloseHandle(hFile);
    return ok;
}

int SaveDate(void)
{
    HANDLE hFile = OpenDateFile();

    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    return WriteDateFile(hFile) ? 1 : 0;
}

int ReadDateFileAndRestoreDate(void)
{
    SYSTEMTIME saved;
    DWORD got = 0;
    BOOL ok;
    HANDLE hFile = OpenDateFile();

    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    ok = ReadFile(hFile, &saved, sizeof saved, &got, NULL);
    CloseHandle(hFile);
    if (!ok || got < sizeof saved)
        return 0;
    return SetLocalTime(&saved) ? 1 : 0;
}
