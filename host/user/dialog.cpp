// DialogBoxParamA, EndDialog, DefDlgProcA and the dialog item calls. The
// steps follow Windows: find and parse the template, disable the owner,
// create the dialog and its controls, WM_INITDIALOG (whose result decides the
// first focus), show, then the modal loop until EndDialog has been called.
#include "user/dialog.h"

#include "kernel/resources.h"
#include "user/class.h"
#include "user/destroy.h"
#include "user/layout.h"
#include "user/message.h"
#include "user/window.h"

namespace user {

namespace {

std::shared_ptr<const WindowClass> TemplateClass(const OrdinalOrText &field)
{
    if (field.isOrdinal) {
        const char *name = PredefinedClassName(field.ordinal);
        return name ? FindClassLocked(name) : nullptr;
    }
    return FindClassLocked(field.text.c_str());
}

void ApplyTemplateLayout(Window *dialog, const DialogTemplate &dlg)
{
    std::vector<LayoutItem> items;
    for (HWND h : dialog->children) {
        Window *c = Find(h);
        LayoutItem item;
        item.kind = c->kind;
        item.style = c->style;
        item.x = c->units.left;
        item.y = c->units.top;
        item.cx = c->units.right - c->units.left;
        item.cy = c->units.bottom - c->units.top;
        item.text = c->text;
        items.push_back(item);
    }
    DialogLayout layout = LayoutDialog(dlg.cx, dlg.cy, items);
    for (size_t i = 0; i < dialog->children.size(); ++i)
        Find(dialog->children[i])->cells = layout.items[i];
    dialog->clientCols = layout.clientCols;
    dialog->clientRows = layout.clientRows;
    dialog->cells.w = layout.clientCols + kFrameCols;
    dialog->cells.h = layout.clientRows + kFrameRows;
}

// Creates the windows; nullptr (and the dialog destroyed) if a class is missing.
HWND CreateDialogWindows(const DialogTemplate &dlg, HWND owner, DLGPROC proc, LPARAM param,
                         const std::function<void(HWND)> &arrange)
{
    HWND hwnd;
    {
        UserLock lock = LockUser();
        CreateParams p;
        p.windowClass =
            dlg.windowClass.Empty() ? FindClassLocked("#32770") : TemplateClass(dlg.windowClass);
        if (!p.windowClass) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        p.text = dlg.caption;
        // Created hidden; shown after WM_INITDIALOG if the template says so.
        p.style = dlg.style & ~WS_VISIBLE;
        p.exStyle = dlg.exStyle;
        p.owner = owner;
        p.units = RECT{dlg.x, dlg.y, dlg.x + dlg.cx, dlg.y + dlg.cy};
        p.queue = CurrentQueue();
        Window *w = CreateWindowLocked(p);
        w->kind = ControlKind::kDialog;
        w->dialog = std::make_unique<DialogInfo>();
        w->dialog->proc = proc;
        w->dialog->initParam = param;
        w->dialog->centred = (dlg.style & DS_CENTER) != 0;
        hwnd = w->handle;

        bool failed = false;
        for (const DialogItemTemplate &item : dlg.items) {
            CreateParams c;
            c.windowClass = TemplateClass(item.windowClass);
            if (!c.windowClass) {
                if (dlg.style & DS_NOFAILCREATE)
                    continue;
                failed = true;
                break;
            }
            c.text = item.text.isOrdinal ? std::string() : item.text.text;
            c.style = item.style | WS_CHILD;
            c.exStyle = item.exStyle;
            c.id = static_cast<int>(static_cast<WORD>(item.id));
            c.parent = hwnd;
            c.units = RECT{item.x, item.y, item.x + item.cx, item.y + item.cy};
            c.queue = p.queue;
            Window *control = CreateWindowLocked(c);
            // The last default push button of the template is the dialog's default.
            if (control->kind == ControlKind::kPushButton &&
                (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                if (Window *before = FindChild(w, w->dialog->defaultId))
                    before->style = (before->style & ~BS_TYPEMASK) | BS_PUSHBUTTON;
                w->dialog->defaultId = control->id;
            }
        }
        if (failed) {
            lock.unlock();
            DestroyWindowTree(hwnd);
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        ApplyTemplateLayout(w, dlg);
    }
    if (arrange)
        arrange(hwnd);
    return hwnd;
}

// The dialog that a message's window belongs to, if it is one.
HWND DialogOfWindow(HWND hwnd)
{
    UserLock lock = LockUser();
    Window *top = TopLevelOf(Find(hwnd));
    return top && top->dialog ? top->handle : nullptr;
}

INT_PTR ModalLoop(HWND hwnd)
{
    for (;;) {
        {
            UserLock lock = LockUser();
            Window *w = Find(hwnd);
            if (!w)
                return -1;
            if (w->dialog->ended)
                break;
        }
        MSG msg;
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
            // WM_QUIT ends the dialog and goes on to the loop outside it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (IsDialogMessageA(hwnd, &msg))
            continue;
        // A dialog without an owner leaves the others live; their keys still
        // get the dialog manager although this loop is not theirs.
        HWND other = DialogOfWindow(msg.hwnd);
        if (other && other != hwnd && IsDialogMessageA(other, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    INT_PTR result;
    HWND reenable = nullptr;
    {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (!w)
            return -1;
        result = w->dialog->result;
        if (w->dialog->disabledOwner)
            reenable = w->owner;
        w->dialog->disabledOwner = false;
    }
    if (reenable)
        EnableWindow(reenable, TRUE);
    DestroyWindowTree(hwnd);
    return result;
}

}  // namespace

INT_PTR RunDialogBox(const DialogTemplate &dlg, HWND owner, DLGPROC proc, LPARAM param,
                     const std::function<void(HWND)> &arrange)
{
    if (owner) {
        UserLock lock = LockUser();
        Window *top = TopLevelOf(Find(owner));
        if (!top) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        owner = top->handle;
    }
    // The owner is disabled before the dialog exists, as on Windows.
    bool disabledOwner = owner && IsWindowEnabled(owner);
    if (disabledOwner)
        EnableWindow(owner, FALSE);

    HWND hwnd = CreateDialogWindows(dlg, owner, proc, param, arrange);
    if (!hwnd) {
        if (disabledOwner)
            EnableWindow(owner, TRUE);
        return -1;
    }
    {
        UserLock lock = LockUser();
        Find(hwnd)->dialog->disabledOwner = disabledOwner;
    }

    HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    if (SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) &&
        IsWindow(hwnd)) {
        // TRUE: the dialog manager focuses the first tab stop (asked again,
        // since WM_INITDIALOG may have changed the controls).
        if (HWND focus = GetNextDlgTabItem(hwnd, nullptr, FALSE)) {
            UserLock lock = LockUser();
            Window *w = Find(hwnd);
            if (w && !w->dialog->ended)
                SetFocusLocked(w, Find(focus));
        }
    }
    {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (!w)
            return -1;
        // A dialog ended during WM_INITDIALOG is never shown.
        if (!w->dialog->ended && (dlg.style & WS_VISIBLE))
            SetVisible(w, true);
    }
    return ModalLoop(hwnd);
}

void NextDialogControl(HWND dialog, WPARAM wParam, LPARAM lParam)
{
    HWND target;
    if (lParam) {
        target = reinterpret_cast<HWND>(wParam);
    } else {
        HWND current;
        {
            UserLock lock = LockUser();
            Window *w = Find(dialog);
            if (!w)
                return;
            current = w->focus;
        }
        target = GetNextDlgTabItem(dialog, current, wParam != 0);
    }
    if (target)
        SetFocus(target);
}

}  // namespace user

using namespace user;

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName,
                                          HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam)
{
    // The one module of a host program holds every template; any other
    // instance handle names a module that is not loaded.
    if (hInstance && hInstance != kernel::ModuleInstance()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return -1;
    }
    if (!lpTemplateName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const kernel::Resource *res =
        kernel::ModuleResources().Find(kernel::ResourceName::From(RT_DIALOG),
                                       kernel::ResourceName::From(lpTemplateName));
    if (!res) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    std::optional<DialogTemplate> dlg = ParseDialogTemplate(res->data);
    if (!dlg) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    return RunDialogBox(*dlg, hWndParent, lpDialogFunc, dwInitParam);
}

extern "C" BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult)
{
    UserLock lock = LockUser();
    Window *w = Find(hDlg);
    if (!w || !w->dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    w->dialog->result = nResult;
    w->dialog->ended = true;
    // The owner comes back at once, before the loop has seen the end.
    if (w->dialog->disabledOwner) {
        if (Window *owner = Find(w->owner))
            owner->style &= ~WS_DISABLED;
        w->dialog->disabledOwner = false;
    }
    SetVisible(w, false);
    MSG wake{};
    wake.hwnd = hDlg;
    wake.message = WM_NULL;
    PostMessageLocked(*w->queue, wake);
    return TRUE;
}

extern "C" LRESULT WINAPI DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    DLGPROC proc;
    {
        UserLock lock = LockUser();
        Window *w = Find(hDlg);
        if (!w || !w->dialog) {
            lock.unlock();
            return DefWindowProcA(hDlg, Msg, wParam, lParam);
        }
        proc = w->dialog->proc;
        w->dialog->msgResult = 0;
    }
    INT_PTR handled = proc ? proc(hDlg, Msg, wParam, lParam) : FALSE;
    if (!IsWindow(hDlg))
        return handled;
    if (handled) {
        switch (Msg) {
        // These return the procedure's own value; everything else returns
        // DWL_MSGRESULT, so that a dialog answering WM_QUERYENDSESSION with
        // a bare TRUE refuses the end of the session, as on Windows.
        case WM_INITDIALOG:
        case 0x002E:  // WM_VKEYTOITEM
        case 0x002F:  // WM_CHARTOITEM
        case 0x0037:  // WM_QUERYDRAGICON
        case 0x0039:  // WM_COMPAREITEM
            return handled;
        default: {
            if (Msg >= 0x0132 && Msg <= 0x0138)
                return handled;  // WM_CTLCOLOR*
            UserLock lock = LockUser();
            Window *w = Find(hDlg);
            return w && w->dialog ? w->dialog->msgResult : 0;
        }
        }
    }
    switch (Msg) {
    case WM_CLOSE:
        // The dialog default for the close box: Cancel, as if pressed.
        PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDCANCEL)));
        return 0;
    case DM_GETDEFID: {
        UserLock lock = LockUser();
        Window *w = Find(hDlg);
        if (w->dialog->defaultId)
            return MAKELONG(w->dialog->defaultId, DC_HASDEFID);
        for (HWND h : w->children) {
            Window *c = Find(h);
            if (c && c->kind == ControlKind::kPushButton &&
                (c->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                return MAKELONG(c->id, DC_HASDEFID);
        }
        return 0;
    }
    case DM_SETDEFID: {
        UserLock lock = LockUser();
        Window *w = Find(hDlg);
        w->dialog->defaultId = static_cast<int>(wParam);
        SetFocusLocked(w, Find(w->focus));
        return TRUE;
    }
    case WM_NEXTDLGCTL:
        NextDialogControl(hDlg, wParam, lParam);
        return 0;
    case WM_INITDIALOG:
        return 0;
    default:
        return DefWindowProcA(hDlg, Msg, wParam, lParam);
    }
}

extern "C" HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    UserLock lock = LockUser();
    Window *w = Find(hDlg);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    Window *c = FindChild(w, nIDDlgItem);
    if (!c) {
        SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
        return nullptr;
    }
    return c->handle;
}

extern "C" LRESULT WINAPI SendDlgItemMessageA(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam,
                                              LPARAM lParam)
{
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SendMessageA(control, Msg, wParam, lParam) : 0;
}

extern "C" BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? SetWindowTextA(control, lpString) : FALSE;
}

extern "C" UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax)
{
    if (lpString && cchMax > 0)
        lpString[0] = '\0';
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control ? static_cast<UINT>(GetWindowTextA(control, lpString, cchMax)) : 0;
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton)
{
    return static_cast<UINT>(SendDlgItemMessageA(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}
