// The rollover test: TEST saves the date and sets 1999-12-31 23:59:55,
// StopClocks freezes the lines and judges, Reset Date puts the saved date back.
#include "tolvane.h"

static void EnableButton(HWND hwnd, int id, BOOL fEnable)
{
    EnableWindow(GetDlgItem(hwnd, id), fEnable);
}

// Only an explicit OK goes on: a warning that could not be shown (-1) is no
// consent to change the clock.
int PreTestChecks(HWND hwnd)
{
    INT_PTR result;

    (void)hwnd;
    if (gfDontShowWarning)
        return 1;
    result = DialogBoxParamA(ghInst, MAKEINTRESOURCEA(IDD_WARNING), NULL, WarningDlg, 0);
    ghWarningDlg = NULL;
    return result == IDOK;
}

int SetClocks2000Minus5Seconds(void)
{
    SYSTEMTIME test = {1999, 12, 0, 31, 23, 59, 55, 0};

    return SetLocalTime(&test);
}

void EndTestEarlyExit(HWND hwnd)
{
    EnableButton(hwnd, IDC_TEST, TRUE);
    EnableButton(hwnd, IDC_INSTALL_FIX, TRUE);
    gfTesting = 0;
}

void Test(HWND hwnd)
{
    // Windows' dialog manager sends IDOK for Enter even while TEST is disabled;
    // a second test inside the first would save the test clock over the date.
    if (gfTesting)
        return;
    // A new test would save over the date an earlier one still owes: that
    // date is offered instead, and TEST is pressed again for a new test.
    if (IsDateOwed()) {
        OfferOwedDate(hwnd, 1);
        return;
    }
    gfTesting = 1;
    gfClockSetForTest = 0;
    EnableButton(hwnd, IDC_TEST, FALSE);
    EnableButton(hwnd, IDC_INSTALL_FIX, FALSE);

    // An exit while the warning is up ends it with Cancel (TidyUp), so nothing
    // more of this test runs after the main dialog has ended.
    if (!PreTestChecks(hwnd)) {
        EndTestEarlyExit(hwnd);
        return;
    }
    // The date and the note that it is owed are on the disk before the clock
    // moves, so a crash from here on is followed by the offer to set it back.
    if (!SaveDate() || !MarkDateOwed()) {
        MessageBoxA(hwnd, "Couldnt save the current date", "Error", MB_OK);
        EndTestEarlyExit(hwnd);
        return;
    }
    // The clock is still the user's: an exit while the box below is up must
    // not set the saved date back, which would lose the time the box was open.
    if (!SetClocks2000Minus5Seconds()) {
        ForgetOwedDate();
        MessageBoxA(hwnd, "Couldnt set clocks for test", "Error", MB_OK);
        EndTestEarlyExit(hwnd);
        return;
    }
    gfClockSetForTest = 1;
    EnableButton(hwnd, IDC_STOPCLOCKS, TRUE);
}

void ShowResetFailure(HWND hwnd)
{
    MessageBoxA(hwnd,
                "Couldnt reset the date !!!\n\nDouble click on System tray clockto reset by "
                "'hand'",
                "Tolvane - Error", MB_OK);
}

void StopClocks(HWND hwnd)
{
    EnableButton(hwnd, IDC_STOPCLOCKS, FALSE);
    gfShowClocks = 0;
    ShowTestResults(hwnd);
    // An end of session during the verdict may already have restored the date
    // and returned to Idle; Reset Date then has nothing left to do.
    if (gfTesting)
        EnableButton(hwnd, IDC_RESET_DATE, TRUE);
}

int ResetDate(HWND hwnd)
{
    int fRestored;

    EnableButton(hwnd, IDC_RESET_DATE, FALSE);
    fRestored = ReadDateFileAndRestoreDate();
    // A date not set back stays owed: offered again at TEST and at the next start.
    if (!fRestored)
        ShowResetFailure(hwnd);
    else
        ForgetOwedDate();
    gfShowClocks = 1;
    gfTesting = 0;
    gfClockSetForTest = 0;
    // Idle again: StopClocks too, which an exit from Watching leaves enabled.
    EnableButton(hwnd, IDC_STOPCLOCKS, FALSE);
    EnableButton(hwnd, IDC_INSTALL_FIX, TRUE);
    EnableButton(hwnd, IDC_TEST, TRUE);
    return fRestored;
}
