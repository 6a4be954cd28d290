// The button class: push buttons, check boxes, radio buttons and group boxes.
// A click (Space up after down, BM_CLICK, or the mouse button let go over the
// button it was pressed on) toggles an automatic check box first and then
// tells the dialog BN_CLICKED. As on Windows, a button pressed with the mouse
// captures it: it looks pushed while the pointer is over it, rises when the
// pointer leaves, and a release anywhere else does nothing.
#include "user/controls.h"
#include "user/window.h"

namespace user {

namespace {

struct ButtonState : ControlState {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
};

// With the lock held; made on first use.
ButtonState &StateOf(Window &w)
{
    auto *state = dynamic_cast<ButtonState *>(w.control.get());
    if (!state) {
        w.control = std::make_unique<ButtonState>();
        state = static_cast<ButtonState *>(w.control.get());
    }
    return *state;
}

bool Pushable(Window *w)
{
    return w && w->kind != ControlKind::kGroupBox && TakesInput(w);
}

void Click(HWND hwnd)
{
    {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (!Pushable(w))
            return;
        UINT &check = StateOf(*w).check;
        switch (w->style & BS_TYPEMASK) {
        case BS_AUTOCHECKBOX:
            check = check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            break;
        case BS_AUTO3STATE:
            check = (check + 1) % 3;
            break;
        case BS_AUTORADIOBUTTON: {
            // Checking one radio button of a group clears the others.
            Window *parent = ParentOf(w);
            for (HWND h : parent ? parent->children : std::vector<HWND>{}) {
                Window *other = Find(h);
                if (other && other->kind == ControlKind::kRadioButton)
                    StateOf(*other).check = BST_UNCHECKED;
            }
            check = BST_CHECKED;
            break;
        }
        default:
            break;
        }
        Touch();
    }
    NotifyParent(hwnd, BN_CLICKED);
}

void SetPushed(HWND hwnd, bool pushed)
{
    UserLock lock = LockUser();
    Window *w = Find(hwnd);
    if (w && StateOf(*w).pushed != pushed) {
        StateOf(*w).pushed = pushed;
        TouchWindow(w);
    }
}

// Whether a point of the button's client area, as mouse messages carry it,
// is on the button.
bool Over(HWND hwnd, LPARAM point)
{
    UserLock lock = LockUser();
    Window *w = Find(hwnd);
    const int x = static_cast<short>(LOWORD(point)), y = static_cast<short>(HIWORD(point));
    return w && x >= 0 && y >= 0 && x < w->cells.w && y < w->cells.h;
}

bool TakePushed(HWND hwnd)
{
    UserLock lock = LockUser();
    Window *w = Find(hwnd);
    if (!w || !StateOf(*w).pushed)
        return false;
    StateOf(*w).pushed = false;
    TouchWindow(w);
    return true;
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETDLGCODE: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (!w)
            return 0;
        switch (w->kind) {
        case ControlKind::kPushButton:
            return DLGC_BUTTON |
                   ((w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON
                                                                 : DLGC_UNDEFPUSHBUTTON);
        case ControlKind::kRadioButton:
            return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case ControlKind::kGroupBox:
            return DLGC_STATIC;
        default:
            return DLGC_BUTTON;
        }
    }
    case WM_LBUTTONDOWN: {
        {
            UserLock lock = LockUser();
            if (!Pushable(Find(hwnd)))
                return 0;
        }
        SetFocus(hwnd);
        SetCapture(hwnd);
        SetPushed(hwnd, true);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd)
            SetPushed(hwnd, Over(hwnd, lParam));
        return 0;
    case WM_LBUTTONUP: {
        if (GetCapture() != hwnd)
            return 0;
        ReleaseCapture();
        if (TakePushed(hwnd) && Over(hwnd, lParam))
            Click(hwnd);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) {
            UserLock lock = LockUser();
            Window *w = Find(hwnd);
            if (Pushable(w)) {
                StateOf(*w).pushed = true;
                TouchWindow(w);
            }
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && TakePushed(hwnd))
            Click(hwnd);
        return 0;
    case BM_CLICK: {
        {
            UserLock lock = LockUser();
            if (!Pushable(Find(hwnd)))
                return 0;
        }
        SendMessageA(hwnd, WM_LBUTTONDOWN, 1, 0);
        SendMessageA(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    }
    case BM_GETCHECK: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        return w ? StateOf(*w).check : 0;
    }
    case BM_SETCHECK: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (w && (w->kind == ControlKind::kCheckBox || w->kind == ControlKind::kRadioButton)) {
            DWORD type = w->style & BS_TYPEMASK;
            bool threeState = type == BS_3STATE || type == BS_AUTO3STATE;
            StateOf(*w).check = wParam == BST_INDETERMINATE && !threeState
                                    ? BST_CHECKED
                                    : static_cast<UINT>(wParam & 3);
            TouchWindow(w);
        }
        return 0;
    }
    case BM_GETSTATE: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        return w ? ButtonStateLocked(*w) : 0;
    }
    case BM_SETSTATE:
        SetPushed(hwnd, wParam != 0);
        return 0;
    case BM_SETSTYLE: {
        UserLock lock = LockUser();
        if (Window *w = Find(hwnd)) {
            w->style = (w->style & 0xFFFF0000u) | static_cast<DWORD>(wParam & 0xFFFF);
            w->kind = KindOf("Button", w->style);
            TouchWindow(w);
        }
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

UINT ButtonStateLocked(const Window &button)
{
    const auto *state = dynamic_cast<const ButtonState *>(button.control.get());
    if (!state)
        return 0;
    Window *top = TopLevelOf(Find(button.handle));
    return state->check | (state->pushed ? BST_PUSHED : 0) |
           (top && top->focus == button.handle ? BST_FOCUS : 0);
}

}  // namespace user
