// The dialog manager's keyboard, in Windows' order: the focused control is
// asked first (WM_GETDLGCODE); then Tab and Shift+Tab among tab stops, the
// arrows within a group, Escape as IDCANCEL and Enter as the focused push
// button, else the default button, else IDOK. Everything else is dispatched.
#include "user/dialog.h"
#include "user/window.h"

namespace user {

namespace {

bool Focusable(Window *c)
{
    return c && c->Visible() && c->Enabled();
}

// Index of `control` among the dialog's children, or -1.
int IndexOf(Window *dialog, HWND control)
{
    for (size_t i = 0; i < dialog->children.size(); ++i)
        if (dialog->children[i] == control)
            return static_cast<int>(i);
    return -1;
}

// Steps from `start` through the children in `step` direction, wrapping, and
// returns the first one `accept` takes; `start` itself is tried last.
template <typename Accept>
HWND Cycle(Window *dialog, int start, int begin, int end, int step, Accept accept)
{
    int count = end - begin;
    if (count <= 0)
        return nullptr;
    if (start < begin || start >= end)
        start = step > 0 ? end - 1 : begin;
    for (int k = 1; k <= count; ++k) {
        int i = begin + ((start - begin + step * k) % count + count) % count;
        Window *c = Find(dialog->children[i]);
        if (accept(c))
            return c->handle;
    }
    return nullptr;
}

}  // namespace

}  // namespace user

using namespace user;

extern "C" HWND WINAPI GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    UserLock lock = LockUser();
    Window *dialog = Find(hDlg);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    int start = hCtl && hCtl != hDlg ? IndexOf(dialog, hCtl) : -1;
    return Cycle(dialog, start, 0, static_cast<int>(dialog->children.size()), bPrevious ? -1 : 1,
                 [](Window *c) { return Focusable(c) && (c->style & WS_TABSTOP); });
}

extern "C" HWND WINAPI GetNextDlgGroupItem(HWND hDlg, HWND hCtl, BOOL bPrevious)
{
    UserLock lock = LockUser();
    Window *dialog = Find(hDlg);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const int n = static_cast<int>(dialog->children.size());
    int at = hCtl && hCtl != hDlg ? IndexOf(dialog, hCtl) : -1;
    if (at < 0)
        at = 0;
    // A group runs from a WS_GROUP control (or the first) to the next one.
    int begin = at;
    while (begin > 0 && !(Find(dialog->children[begin])->style & WS_GROUP))
        --begin;
    int end = at + 1;
    while (end < n && !(Find(dialog->children[end])->style & WS_GROUP))
        ++end;
    // Statics and group boxes cannot take the focus, so the arrows
    // pass over them.
    return Cycle(dialog, hCtl ? at : -1, begin, end, bPrevious ? -1 : 1, [](Window *c) {
        return Focusable(c) && c->kind != ControlKind::kText && c->kind != ControlKind::kFrame &&
               c->kind != ControlKind::kGroupBox && c->kind != ControlKind::kIcon &&
               c->kind != ControlKind::kOther;
    });
}

extern "C" BOOL WINAPI IsDialogMessageA(HWND hDlg, LPMSG lpMsg)
{
    if (!lpMsg)
        return FALSE;
    {
        UserLock lock = LockUser();
        Window *dialog = Find(hDlg);
        if (!dialog || !IsInside(Find(lpMsg->hwnd), hDlg))
            return FALSE;
    }
    if (lpMsg->message == WM_KEYDOWN) {
        LRESULT code = SendMessageA(lpMsg->hwnd, WM_GETDLGCODE, lpMsg->wParam,
                                    reinterpret_cast<LPARAM>(lpMsg));
        if (!(code & DLGC_WANTMESSAGE)) {
            switch (lpMsg->wParam) {
            case VK_TAB:
                if (code & DLGC_WANTTAB)
                    break;
                SendMessageA(hDlg, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) ? 1 : 0, 0);
                return TRUE;
            case VK_LEFT:
            case VK_UP:
            case VK_RIGHT:
            case VK_DOWN: {
                if (code & DLGC_WANTARROWS)
                    break;
                bool previous = lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP;
                HWND next = GetNextDlgGroupItem(hDlg, GetFocus(), previous);
                if (next) {
                    SetFocus(next);
                    // Arrowing onto an automatic radio button checks it.
                    if ((SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) &&
                        (GetWindowLongA(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                        SendMessageA(next, BM_GETCHECK, 0, 0) != BST_CHECKED)
                        SendMessageA(next, BM_CLICK, 0, 0);
                }
                return TRUE;
            }
            case VK_ESCAPE:
            case VK_CANCEL: {
                // A disabled Cancel button takes no keys either.
                HWND cancel = GetDlgItem(hDlg, IDCANCEL);
                if (!cancel || IsWindowEnabled(cancel))
                    SendMessageA(hDlg, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(cancel));
                return TRUE;
            }
            case VK_RETURN: {
                HWND focus = GetFocus();
                if (focus && GetParent(focus) == hDlg &&
                    (SendMessageA(focus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
                    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(focus));
                    return TRUE;
                }
                LRESULT def = SendMessageA(hDlg, DM_GETDEFID, 0, 0);
                if (HIWORD(def) == DC_HASDEFID) {
                    // A disabled default button swallows Enter; only a dialog
                    // without one gets IDOK.
                    HWND button = GetDlgItem(hDlg, LOWORD(def));
                    if (!button || IsWindowEnabled(button))
                        SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(LOWORD(def), BN_CLICKED),
                                     reinterpret_cast<LPARAM>(button));
                } else {
                    SendMessageA(hDlg, WM_COMMAND, IDOK,
                                 reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDOK)));
                }
                return TRUE;
            }
            default:
                break;
            }
        }
    }
    TranslateMessage(lpMsg);
    DispatchMessageA(lpMsg);
    return TRUE;
}
