// The scroll bar class, vertical bars only: a range, a page and a position,
// set and read with SBM_SETSCROLLINFO and SBM_GETSCROLLINFO (SetScrollInfo and
// GetScrollInfo with SB_CTL). A click on an arrow, on the track either side of
// the thumb, tells the parent WM_VSCROLL with SB_LINEUP, SB_LINEDOWN,
// SB_PAGEUP or SB_PAGEDOWN, and SB_ENDSCROLL when the button comes up. The
// thumb cannot be dragged: the terminal reports presses only.
#include <algorithm>
#include <utility>

#include "user/controls.h"
#include "user/window.h"

namespace user {

namespace {

struct ScrollBarState : ControlState {
    int min = 0, max = 0;  // a new scroll bar control's range is empty, as on Windows
    int page = 0;
    int pos = 0;
    bool pressed = false;  // a part was clicked: SB_ENDSCROLL follows on release
};

// With the lock held; made on first use.
ScrollBarState &StateOf(Window &w)
{
    auto *state = dynamic_cast<ScrollBarState *>(w.control.get());
    if (!state) {
        w.control = std::make_unique<ScrollBarState>();
        state = static_cast<ScrollBarState *>(w.control.get());
    }
    return *state;
}

// The highest position: the page ends on the last unit of the range.
int LastPosition(const ScrollBarState &s)
{
    return std::max(s.min, s.max - std::max(s.page - 1, 0));
}

// The scroll code for a click on cell `row` of the bar; -1 for the thumb or a
// bar that cannot scroll.
int PartAt(const ScrollBarView &view, int rows, int row)
{
    if (!view.enabled || row < 0 || row >= rows)
        return -1;
    if (row == 0)
        return SB_LINEUP;
    if (row == rows - 1)
        return SB_LINEDOWN;
    if (row < view.thumbTop)
        return SB_PAGEUP;
    if (row >= view.thumbTop + view.thumbCells)
        return SB_PAGEDOWN;
    return -1;
}

void Notify(HWND bar, WORD code)
{
    HWND parent;
    {
        UserLock lock = LockUser();
        Window *w = Find(bar);
        if (!w || !w->IsChild())
            return;
        parent = w->parent;
    }
    SendMessageA(parent, WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(bar));
}

}  // namespace

int SetScrollInfoLocked(Window &bar, const SCROLLINFO &info)
{
    ScrollBarState &s = StateOf(bar);
    if (info.fMask & SIF_RANGE) {
        s.min = info.nMin;
        s.max = std::max(info.nMin, info.nMax);
    }
    if (info.fMask & SIF_PAGE)
        s.page = static_cast<int>(std::min<UINT>(info.nPage, static_cast<UINT>(s.max - s.min + 1)));
    if (info.fMask & SIF_POS)
        s.pos = info.nPos;
    s.pos = std::clamp(s.pos, s.min, LastPosition(s));
    Touch();
    return s.pos;
}

ScrollBarView ScrollBarViewLocked(const Window &bar)
{
    const auto *state = dynamic_cast<const ScrollBarState *>(bar.control.get());
    ScrollBarView view;
    if (bar.kind != ControlKind::kScrollBar)
        return view;
    const ScrollBarState s = state ? *state : ScrollBarState{};
    view.min = s.min;
    view.max = s.max;
    view.page = s.page;
    view.pos = s.pos;
    const int range = s.max - s.min + 1;
    const int track = bar.cells.h - 2;
    view.enabled = bar.Enabled() && LastPosition(s) > s.min && track > 0;
    if (!view.enabled)
        return view;
    view.thumbCells = std::clamp(s.page > 0 ? track * s.page / range : 1, 1, track);
    const int room = track - view.thumbCells;
    const int span = LastPosition(s) - s.min;
    view.thumbTop = 1 + (span > 0 ? ((s.pos - s.min) * room + span / 2) / span : 0);
    return view;
}

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case SBM_SETSCROLLINFO: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        const auto *info = reinterpret_cast<const SCROLLINFO *>(lParam);
        if (!w || !info)
            return 0;
        return SetScrollInfoLocked(*w, *info);
    }
    case SBM_GETSCROLLINFO: {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        auto *info = reinterpret_cast<SCROLLINFO *>(lParam);
        if (!w || !info)
            return FALSE;
        const ScrollBarState &s = StateOf(*w);
        if (info->fMask & SIF_RANGE) {
            info->nMin = s.min;
            info->nMax = s.max;
        }
        if (info->fMask & SIF_PAGE)
            info->nPage = static_cast<UINT>(s.page);
        if (info->fMask & SIF_POS)
            info->nPos = s.pos;
        if (info->fMask & SIF_TRACKPOS)
            info->nTrackPos = s.pos;
        return TRUE;
    }
    case WM_LBUTTONDOWN: {
        int part;
        {
            UserLock lock = LockUser();
            Window *w = Find(hwnd);
            if (!w)
                return 0;
            part = PartAt(ScrollBarViewLocked(*w), w->cells.h, static_cast<short>(HIWORD(lParam)));
            StateOf(*w).pressed = part >= 0;
        }
        if (part >= 0)
            Notify(hwnd, static_cast<WORD>(part));
        return 0;
    }
    case WM_LBUTTONUP: {
        bool pressed;
        {
            UserLock lock = LockUser();
            Window *w = Find(hwnd);
            pressed = w && std::exchange(StateOf(*w).pressed, false);
        }
        if (pressed)
            Notify(hwnd, SB_ENDSCROLL);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace user

using namespace user;

extern "C" int WINAPI SetScrollInfo(HWND hwnd, int nBar, LPCSCROLLINFO lpsi, BOOL redraw)
{
    if (nBar != SB_CTL) {
        // Windows here have no scroll bars of their own, only controls.
        SetLastError(ERROR_NO_SCROLLBARS);
        return 0;
    }
    return static_cast<int>(SendMessageA(hwnd, SBM_SETSCROLLINFO, static_cast<WPARAM>(redraw),
                                         reinterpret_cast<LPARAM>(lpsi)));
}

extern "C" BOOL WINAPI GetScrollInfo(HWND hwnd, int nBar, LPSCROLLINFO lpsi)
{
    if (nBar != SB_CTL) {
        SetLastError(ERROR_NO_SCROLLBARS);
        return FALSE;
    }
    return static_cast<BOOL>(
        SendMessageA(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(lpsi)));
}
