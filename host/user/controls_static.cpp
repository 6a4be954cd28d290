// The static class: text, frames, rectangles and icons. It takes no input;
// the dialog manager skips it. Text may carry marks over parts of its lines.
#include "user/controls.h"
#include "user/window.h"

namespace user {

namespace {

struct StaticState : ControlState {
    std::vector<TextMark> marks;
    HICON icon = nullptr;
};

// With the lock held; made on first use.
StaticState &StateOf(Window &w)
{
    auto *state = dynamic_cast<StaticState *>(w.control.get());
    if (!state) {
        w.control = std::make_unique<StaticState>();
        state = static_cast<StaticState *>(w.control.get());
    }
    return *state;
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case STM_SETICON: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (!w || w->kind != ControlKind::kIcon)
            return 0;
        HICON previous = StateOf(*w).icon;
        StateOf(*w).icon = reinterpret_cast<HICON>(wParam);
        TouchWindow(w);
        return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETICON: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        return w ? reinterpret_cast<LRESULT>(StaticIconLocked(*w)) : 0;
    }
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

std::span<const TextMark> StaticMarksLocked(const Window &text)
{
    const auto *state = dynamic_cast<const StaticState *>(text.control.get());
    if (!state)
        return {};
    return state->marks;
}

HICON StaticIconLocked(const Window &icon)
{
    const auto *state = dynamic_cast<const StaticState *>(icon.control.get());
    return state && icon.kind == ControlKind::kIcon ? state->icon : nullptr;
}

void SetStaticMarksLocked(Window &text, std::vector<TextMark> marks)
{
    if (text.kind != ControlKind::kText)
        return;
    StateOf(text).marks = std::move(marks);
    TouchWindow(&text);
}

}  // namespace user
