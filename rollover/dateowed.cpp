// The note that a date is owed: from the moment a test is about to set the
// clock until its saved date is back, "dateowed.tmp" beside the date file
// holds a copy of the saved record, so that a crash, a killed process or a
// power cut is followed at the next start by the offer to set it back.
#include "tolvane.h"

#define DATE_FILE "datesave.tmp"
#define OWED_FILE "dateowed.tmp"
#define OWED_CAPTION "Tolvane -  Date Not Restored"
#define OFFER_TEXT_SIZE 512

// Bytes that can name a moment; what a write torn by a power cut leaves
// (zeros, or whatever the disk held before) seldom does.
static int IsWholeRecord(const SYSTEMTIME *t)
{
    return t->wMonth >= 1 && t->wMonth <= 12 && t->wDay >= 1 && t->wDay <= 31 && t->wHour < 24 &&
           t->wMinute < 60 && t->wSecond < 60 && t->wMilliseconds < 1000;
}

// The first 16 bytes of the file, read without sharing, as the date file is.
static int ReadRecord(const char *name, SYSTEMTIME *record)
{
    DWORD got = 0;
    BOOL ok;
    HANDLE hFile =
        CreateFileA(name, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);

    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    ok = ReadFile(hFile, record, sizeof *record, &got, NULL);
    CloseHandle(hFile);
    return ok && got == sizeof *record && IsWholeRecord(record);
}

// Run once the date file's record is on the disk, before the clock moves. The
// copy is read back from the date file, so the note can only name the record
// that was saved; it is on the disk before the clock is set.
int MarkDateOwed(void)
{
    SYSTEMTIME saved;
    DWORD written = 0;
    BOOL ok;
    HANDLE hFile;

    if (!ReadRecord(DATE_FILE, &saved))
        return 0;
    hFile =
        CreateFileA(OWED_FILE, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    ok = WriteFile(hFile, &saved, sizeof saved, &written, NULL) && written == sizeof saved &&
         FlushFileBuffers(hFile);
    CloseHandle(hFile);
    if (!ok)
        DeleteFileA(OWED_FILE);
    return ok ? 1 : 0;
}

int ForgetOwedDate(void)
{
    return DeleteFileA(OWED_FILE) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// Only a note that is certainly absent owes nothing: one that is there but
// cannot be opened just now still does.
int IsDateOwed(void)
{
    HANDLE hFile = CreateFileA(OWED_FILE, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);

    if (hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(hFile);
        return 1;
    }
    return GetLastError() != ERROR_FILE_NOT_FOUND;
}

// The note's own copy; else the date file's record, which was on the disk
// before the note was begun: a note torn by a power cut was being written
// while the clock was still the user's.
static int FindOwedRecord(SYSTEMTIME *record)
{
    return ReadRecord(OWED_FILE, record) || ReadRecord(DATE_FILE, record);
}

// No record can be read: Yes reads again (another program may have held the
// files), No forgets. 1 once a record has been found.
static int RetryUnreadableDate(HWND hwnd, SYSTEMTIME *record)
{
    while (!FindOwedRecord(record)) {
        if (MessageBoxA(hwnd,
                        "The date saved before a test has not been set back, and it cannot be "
                        "read from datesave.tmp !\n\nDouble click on System tray clock to reset "
                        "by 'hand'.\n\nTry to read the saved date again ?\n\n(No forgets it.)",
                        OWED_CAPTION, MB_YESNO | MB_ICONERROR | MB_TOPMOST) == IDNO)
            return 0;
    }
    return 1;
}

static void ShowCouldntForget(HWND hwnd)
{
    MessageBoxA(hwnd, "Couldnt remove dateowed.tmp\n\nDelete it by hand to test again",
                "Tolvane - Error", MB_OK);
}

// Yes sets the owed date again and the note goes once that has worked; No
// forgets it. The saved time comes back as it was saved, as Reset Date does.
void OfferOwedDate(HWND hwnd, int fAtTest)
{
    SYSTEMTIME owed, now;
    char text[OFFER_TEXT_SIZE];

    if (!IsDateOwed())
        return;
    if (!RetryUnreadableDate(hwnd, &owed)) {
        if (!ForgetOwedDate())
            ShowCouldntForget(hwnd);
        return;
    }
    GetLocalTime(&now);
    wsprintfA(text,
              "%s\n\nThe date and time saved before the test:\n      %02u-%02u-%04u   "
              "%02u:%02u:%02u\nThe clock now reads:\n      %02u-%02u-%04u   %02u:%02u:%02u\n\n"
              "Set the saved date and time again ?\n\n(No forgets the saved date.)",
              fAtTest ? "A new test would save over the date an earlier test has not set back !"
                      : "Tolvane ended during a test before it could set the date back !",
              owed.wMonth, owed.wDay, owed.wYear, owed.wHour, owed.wMinute, owed.wSecond,
              now.wMonth, now.wDay, now.wYear, now.wHour, now.wMinute, now.wSecond);
    if (MessageBoxA(hwnd, text, OWED_CAPTION, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) == IDNO) {
        if (!ForgetOwedDate())
            ShowCouldntForget(hwnd);
        return;
    }
    if (!SetLocalTime(&owed))
        ShowResetFailure(hwnd);
    else if (!ForgetOwedDate())
        ShowCouldntForget(hwnd);
}
