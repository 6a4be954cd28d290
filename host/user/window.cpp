// Window objects: the table and creation, the z-order and activation of
// top-level windows, focus, enabled state, styles and text.
#include "user/window.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "user/class.h"
#include "user/layout.h"

namespace user {

UserState &State()
{
    static UserState state;
    return state;
}

Window *Find(HWND hwnd)
{
    auto &windows = State().windows;
    auto it = windows.find(hwnd);
    return it == windows.end() ? nullptr : it->second.get();
}

Window *ParentOf(const Window *w)
{
    return w->IsChild() ? Find(w->parent) : nullptr;
}

bool IsInside(const Window *w, HWND ancestor)
{
    for (; w; w = ParentOf(w))
        if (w->handle == ancestor)
            return true;
    return false;
}

Window *TopLevelOf(Window *w)
{
    while (w && w->IsChild())
        w = ParentOf(w);
    return w;
}

Window *ActiveWindow()
{
    auto &z = State().zOrder;
    for (auto it = z.rbegin(); it != z.rend(); ++it) {
        Window *w = Find(*it);
        if (w && w->Visible() && w->Enabled())
            return w;
    }
    return nullptr;
}

bool TakesInput(Window *w)
{
    for (; w; w = ParentOf(w))
        if (!w->Visible() || !w->Enabled())
            return false;
    return true;
}

Window *KeyboardTarget()
{
    Window *active = ActiveWindow();
    if (!active)
        return nullptr;
    Window *focus = Find(active->focus);
    return focus && TakesInput(focus) ? focus : active;
}

void BringToTop(Window *top)
{
    auto &z = State().zOrder;
    std::erase(z, top->handle);
    auto at = z.end();
    // Topmost windows stay above all others.
    if (!(top->exStyle & WS_EX_TOPMOST))
        at = std::find_if(z.begin(), z.end(), [](HWND h) {
            Window *w = Find(h);
            return w && (w->exStyle & WS_EX_TOPMOST);
        });
    z.insert(at, top->handle);
    Touch();
}

void PlaceOnScreenLocked(Window *w)
{
    const UserState &s = State();
    const bool centred = w->dialog && w->dialog->centred;
    const int x = centred ? (s.screenCols - w->cells.w) / 2 : ColumnOf(w->units.left);
    const int y = centred ? (s.screenRows - w->cells.h) / 2 : RowOf(w->units.top);
    w->cells.x = std::max(0, std::min(x, s.screenCols - w->cells.w));
    w->cells.y = std::max(0, std::min(y, s.screenRows - w->cells.h));
    Touch();
}

void SetVisible(Window *w, bool visible)
{
    if (visible == w->Visible())
        return;
    w->style = visible ? (w->style | WS_VISIBLE) : (w->style & ~WS_VISIBLE);
    if (visible && !w->IsChild()) {
        PlaceOnScreenLocked(w);
        BringToTop(w);
    }
    Touch();
}

void TouchWindow(const Window *w)
{
    const Window *parent = w ? ParentOf(w) : nullptr;
    if (!parent || parent->IsChild()) {
        Touch();
        return;
    }
    // The parent's client area starts inside its frame.
    const CellRect &r = w->cells;
    TouchArea(CellRect{parent->cells.x + r.x, parent->cells.y + r.y, r.w + 2, r.h + 2});
}

void SetFocusLocked(Window *top, Window *control)
{
    top->focus = control ? control->handle : nullptr;
    Touch();
    if (!top->dialog)
        return;
    // On Windows the default-button look follows the focus among push buttons
    // and returns to the dialog's default button when the focus goes elsewhere.
    HWND look = nullptr;
    if (control && control->kind == ControlKind::kPushButton) {
        look = control->handle;
    } else if (Window *def = FindChild(top, top->dialog->defaultId);
               def && def->kind == ControlKind::kPushButton) {
        look = def->handle;
    }
    for (HWND h : top->children) {
        Window *c = Find(h);
        if (!c || c->kind != ControlKind::kPushButton)
            continue;
        DWORD type = c->handle == look ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        c->style = (c->style & ~BS_TYPEMASK) | type;
    }
}

Window *FindChild(Window *parent, int id)
{
    if (!parent)
        return nullptr;
    for (HWND h : parent->children) {
        Window *c = Find(h);
        if (c && c->id == id)
            return c;
    }
    return nullptr;
}

Window *CreateWindowLocked(const CreateParams &p)
{
    UserState &s = State();
    auto w = std::make_unique<Window>();
    w->handle = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += 2;
    w->windowClass = p.windowClass;
    w->proc = p.windowClass->proc;
    w->kind = KindOf(p.windowClass->name, p.style);
    w->text = p.text;
    w->style = p.style;
    w->exStyle = p.exStyle;
    w->id = p.id;
    w->units = p.units;
    w->icon = p.windowClass->icon;
    w->queue = p.queue;
    w->extraBytes.resize(static_cast<size_t>(std::max(0, p.windowClass->windowExtra)));
    Window *raw = w.get();
    if (p.style & WS_CHILD) {
        raw->parent = p.parent;
        if (Window *parent = Find(p.parent))
            parent->children.push_back(raw->handle);
    } else {
        raw->owner = p.owner;
    }
    s.windows.emplace(raw->handle, std::move(w));
    if (!raw->IsChild())
        BringToTop(raw);
    Touch();
    return raw;
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc;
    {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

}  // namespace user

using namespace user;

namespace {

Window *FindOrFail(HWND hwnd)
{
    Window *w = Find(hwnd);
    if (!w)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

}  // namespace

extern "C" BOOL WINAPI IsWindow(HWND hWnd)
{
    UserLock lock = LockUser();
    return Find(hWnd) != nullptr;
}

extern "C" BOOL WINAPI IsWindowEnabled(HWND hWnd)
{
    UserLock lock = LockUser();
    Window *w = FindOrFail(hWnd);
    return w && w->Enabled();
}

extern "C" BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    UserLock lock = LockUser();
    Window *w = FindOrFail(hWnd);
    for (; w; w = ParentOf(w))
        if (!w->Visible())
            return FALSE;
    return hWnd && Find(hWnd) != nullptr;
}

extern "C" BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable)
{
    UserLock lock = LockUser();
    Window *w = FindOrFail(hWnd);
    if (!w)
        return FALSE;
    BOOL wasDisabled = !w->Enabled();
    if (bEnable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        // A disabled window cannot keep the focus; Windows leaves no control focused.
        Window *top = TopLevelOf(w);
        if (top && top->focus == hWnd)
            SetFocusLocked(top, nullptr);
    }
    Touch();
    return wasDisabled;
}

extern "C" HWND WINAPI GetParent(HWND hWnd)
{
    UserLock lock = LockUser();
    Window *w = FindOrFail(hWnd);
    if (!w)
        return nullptr;
    return w->IsChild() ? w->parent : w->owner;
}

extern "C" int WINAPI GetDlgCtrlID(HWND hWnd)
{
    UserLock lock = LockUser();
    Window *w = FindOrFail(hWnd);
    return w && w->IsChild() ? w->id : 0;
}

extern "C" BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString ? lpString : "")) !=
           0;
}

extern "C" int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount)
{
    if (!lpString || nMaxCount <= 0)
        return 0;
    lpString[0] = '\0';
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(
        SendMessageA(hWnd, WM_GETTEXT, nMaxCount, reinterpret_cast<LPARAM>(lpString)));
}

extern "C" HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    UserLock lock = LockUser();
    std::shared_ptr<const WindowClass> wanted;
    if (lpClassName) {
        wanted = FindClassLocked(lpClassName);
        if (!wanted)
            return nullptr;
    }
    auto &z = State().zOrder;
    for (auto it = z.rbegin(); it != z.rend(); ++it) {
        Window *w = Find(*it);
        if (!w)
            continue;
        if (wanted && w->windowClass != wanted)
            continue;
        if (lpWindowName && strcasecmp(w->text.c_str(), lpWindowName) != 0)
            continue;
        return w->handle;
    }
    return nullptr;
}

extern "C" HWND WINAPI GetFocus(void)
{
    UserLock lock = LockUser();
    Window *target = KeyboardTarget();
    return target && target->IsChild() ? target->handle : nullptr;
}

extern "C" HWND WINAPI SetFocus(HWND hWnd)
{
    UserLock lock = LockUser();
    Window *before = KeyboardTarget();
    HWND previous = before && before->IsChild() ? before->handle : nullptr;
    if (!hWnd) {
        if (Window *active = ActiveWindow())
            SetFocusLocked(active, nullptr);
        return previous;
    }
    Window *w = FindOrFail(hWnd);
    if (!w || !w->Enabled())
        return nullptr;
    Window *top = TopLevelOf(w);
    // Focusing a control activates its window, unless a modal box holds it disabled.
    if (top->Visible() && top->Enabled() && ActiveWindow() != top)
        BringToTop(top);
    SetFocusLocked(top, w->IsChild() ? w : nullptr);
    return previous;
}

// The mouse goes to the capturing window wherever the pointer is, until it
// lets go: a pressed button hears where the button is released.
extern "C" HWND WINAPI SetCapture(HWND hWnd)
{
    UserLock lock = LockUser();
    HWND previous = State().capture;
    if (FindOrFail(hWnd))
        State().capture = hWnd;
    return previous;
}

extern "C" BOOL WINAPI ReleaseCapture(void)
{
    UserLock lock = LockUser();
    State().capture = nullptr;
    return TRUE;
}

extern "C" HWND WINAPI GetCapture(void)
{
    UserLock lock = LockUser();
    return State().capture;
}

extern "C" LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex)
{
    UserLock lock = LockUser();
    Window *w = FindOrFail(hWnd);
    if (!w)
        return 0;
    switch (nIndex) {
    case GWL_STYLE:
        return static_cast<LONG>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG>(w->exStyle);
    case GWL_ID:
        return w->id;
    default:
        break;
    }
    if (nIndex == DWL_MSGRESULT && w->dialog)
        return static_cast<LONG>(w->dialog->msgResult);
    if (nIndex >= 0 && static_cast<size_t>(nIndex) + 4 <= w->extraBytes.size()) {
        LONG value;
        std::memcpy(&value, &w->extraBytes[nIndex], 4);
        return value;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

extern "C" LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong)
{
    UserLock lock = LockUser();
    Window *w = FindOrFail(hWnd);
    if (!w)
        return 0;
    LONG old = 0;
    Touch();
    switch (nIndex) {
    case GWL_STYLE:
        old = static_cast<LONG>(w->style);
        w->style = static_cast<DWORD>(dwNewLong);
        return old;
    case GWL_EXSTYLE:
        old = static_cast<LONG>(w->exStyle);
        w->exStyle = static_cast<DWORD>(dwNewLong);
        return old;
    case GWL_ID:
        old = w->id;
        w->id = dwNewLong;
        return old;
    default:
        break;
    }
    if (nIndex == DWL_MSGRESULT && w->dialog) {
        old = static_cast<LONG>(w->dialog->msgResult);
        w->dialog->msgResult = dwNewLong;
        return old;
    }
    if (nIndex >= 0 && static_cast<size_t>(nIndex) + 4 <= w->extraBytes.size()) {
        std::memcpy(&old, &w->extraBytes[nIndex], 4);
        std::memcpy(&w->extraBytes[nIndex], &dwNewLong, 4);
        return old;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

extern "C" LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    switch (Msg) {
    case WM_SETTEXT: {
        UserLock lock = LockUser();
        Window *w = Find(hWnd);
        if (!w)
            return FALSE;
        w->text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
        TouchWindow(w);
        return TRUE;
    }
    case WM_GETTEXT: {
        UserLock lock = LockUser();
        Window *w = Find(hWnd);
        auto *out = reinterpret_cast<LPSTR>(lParam);
        if (!w || !out || wParam == 0)
            return 0;
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam) - 1);
        std::memcpy(out, w->text.data(), n);
        out[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        UserLock lock = LockUser();
        Window *w = Find(hWnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_DISPLAYCHANGE: {
        // A top-level window keeps its place on a screen of the new size.
        UserLock lock = LockUser();
        Window *w = Find(hWnd);
        if (w && !w->IsChild())
            PlaceOnScreenLocked(w);
        return 0;
    }
    default:
        return 0;
    }
}
