#include "main_dialog.h"

#include "tolvane.h"
#include "automation/session.h"

namespace {

constexpr UINT kRunMeasurement = WM_USER + 1;

void (*gMeasure)(HWND);

// Stands in for MainDlg without the start-up checks, so the measurement runs
// on a dialog the way the timer drives it.
INT_PTR CALLBACK BenchDlg(HWND hwnd, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        PostMessageA(hwnd, kRunMeasurement, 0, 0);
        return TRUE;
    case kRunMeasurement:
        gMeasure(hwnd);
        EndDialog(hwnd, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI BenchEntry(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.lpszClassName = "Tolvane";
    RegisterClassA(&wc);
    ghInst = instance;
    return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, BenchDlg, 0);
}

}  // namespace

void RunOnMainDialog(void (*measure)(HWND dialog))
{
    automation::Session session(automation::PcSetup{"y2k-ready", "2026-06-15 10:20:07.000", 0, {}});
    gMeasure = measure;
    session.Start(BenchEntry);
}
