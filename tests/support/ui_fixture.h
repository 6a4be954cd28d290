// A small test program for the user services: it registers the "Tolvane"
// class and runs one of the embedded templates with a dialog procedure that
// records what reaches it, so that the layer is tested apart from the program.
// What it records and how it behaves are process-wide variables; each test
// sets them afresh with Reset(), so these tests may share a process.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "automation/session.h"

namespace uitest {

// The embedded templates and their control ids, as the resource file has them.
enum : int {
    IDD_MAIN = 100,
    IDD_WARNING = 300,
    IDD_ABOUT = 500,
    IDI_TOLVANE = 1111,
    IDC_TEST = 1,
    IDC_STOPCLOCKS = 102,
    IDC_HELP = 103,
    IDC_CMOS_LINE = 104,
    IDC_RESET_DATE = 105,
    IDC_INSTALL_FIX = 106,
    IDC_BIOS_LINE = 107,
    IDC_CLOSE = 108,
    IDC_UTC_LINE = 109,
    IDC_CLOCKS_GROUP = 115,
    IDC_LOCAL_LINE = 117,
    IDC_DONT_WARN = 302,
};

struct Seen {
    std::vector<int> commands;  // WM_COMMAND ids, in order
    std::vector<int> notifications;
    int timers = 0;
    int maxQueuedTimers = 0;  // WM_TIMERs waiting behind the one being handled
    HWND dialog = nullptr;
};

inline Seen gSeen;
inline int gTemplate = IDD_MAIN;
inline HWND gOwner = nullptr;
// Runs for every message before the recording; returning true ends the
// handling with `result`.
inline std::function<bool(HWND, UINT, WPARAM, LPARAM, INT_PTR &)> gHook;
inline std::function<void(HWND)> gInit;  // WM_INITDIALOG, before TRUE is returned

inline INT_PTR CALLBACK RecordingDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (gHook && gHook(hwnd, message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_INITDIALOG:
        gSeen.dialog = hwnd;
        if (gInit)
            gInit(hwnd);
        return TRUE;
    case WM_COMMAND:
        gSeen.commands.push_back(LOWORD(wParam));
        gSeen.notifications.push_back(HIWORD(wParam));
        if (LOWORD(wParam) == IDC_CLOSE)
            EndDialog(hwnd, 0);
        return TRUE;
    case WM_TIMER: {
        ++gSeen.timers;
        int queued = 0;
        MSG msg;
        // Coalescing: nothing of this timer may wait behind the one in hand.
        if (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE))
            ++queued;
        if (queued > gSeen.maxQueuedTimers)
            gSeen.maxQueuedTimers = queued;
        return TRUE;
    }
    case WM_CLOSE:
        EndDialog(hwnd, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

inline int WINAPI TestProgram(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TOLVANE));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "Tolvane";
    RegisterClassA(&wc);
    return static_cast<int>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(gTemplate), gOwner, RecordingDlg, 0));
}

// A session running the test program on dialog `templateId`.
inline void Reset(int templateId = IDD_MAIN)
{
    gSeen = Seen{};
    gTemplate = templateId;
    gOwner = nullptr;
    gHook = nullptr;
    gInit = nullptr;
}

}  // namespace uitest
