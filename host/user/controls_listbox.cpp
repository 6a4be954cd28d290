// The list box class: lines of text, sorted case-insensitively with LBS_SORT,
// one selection. Lines live in storage that is reused when lines are deleted
// and added again, so a box that keeps replacing its line never allocates.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "user/controls.h"
#include "user/window.h"

namespace user {

namespace {

// Removed lines keep their storage at the end of the vector, so that
// replacing a line reuses capacity instead of allocating.
struct ListBoxState : ControlState {
    std::vector<std::string> lines;
    size_t count = 0;
    int selection = -1;
};

// With the lock held; made on first use.
ListBoxState &StateOf(Window &w)
{
    auto *state = dynamic_cast<ListBoxState *>(w.control.get());
    if (!state) {
        w.control = std::make_unique<ListBoxState>();
        state = static_cast<ListBoxState *>(w.control.get());
    }
    return *state;
}

int CompareNoCase(const std::string &a, const char *b)
{
    for (size_t i = 0;; ++i) {
        int ca = i < a.size() ? std::tolower(static_cast<unsigned char>(a[i])) : 0;
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

// Puts `text` at `index` (0..count), reusing a spare line's capacity.
int InsertLine(const Window &w, ListBoxState &list, size_t index, const char *text)
{
    if (list.count == list.lines.size())
        list.lines.emplace_back();
    list.lines[list.count].assign(text);
    auto first = list.lines.begin();
    std::rotate(first + static_cast<ptrdiff_t>(index), first + static_cast<ptrdiff_t>(list.count),
                first + static_cast<ptrdiff_t>(list.count) + 1);
    ++list.count;
    if (list.selection >= static_cast<int>(index))
        ++list.selection;
    TouchWindow(&w);
    return static_cast<int>(index);
}

int DeleteLine(const Window &w, ListBoxState &list, size_t index)
{
    auto first = list.lines.begin();
    // The deleted line moves past the end and keeps its storage for the next add.
    std::rotate(first + static_cast<ptrdiff_t>(index), first + static_cast<ptrdiff_t>(index) + 1,
                first + static_cast<ptrdiff_t>(list.count));
    --list.count;
    if (list.selection == static_cast<int>(index))
        list.selection = -1;
    else if (list.selection > static_cast<int>(index))
        --list.selection;
    TouchWindow(&w);
    return static_cast<int>(list.count);
}

bool ValidIndex(const ListBoxState &list, WPARAM index)
{
    return static_cast<LONG_PTR>(index) >= 0 && index < list.count;
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool selectionChanged = false;
    {
        UserLock lock = LockUser();
        Window *w = Find(hwnd);
        if (!w)
            return LB_ERR;
        ListBoxState &list = StateOf(*w);
        const char *text = reinterpret_cast<const char *>(lParam);
        switch (msg) {
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case LB_ADDSTRING: {
            if (!text)
                text = "";
            size_t at = list.count;
            if (w->style & LBS_SORT) {
                // After equal lines, so that lines added in order keep it.
                at = 0;
                while (at < list.count && CompareNoCase(list.lines[at], text) <= 0)
                    ++at;
            }
            return InsertLine(*w, list, at, text);
        }
        case LB_INSERTSTRING: {
            LONG_PTR at = static_cast<LONG_PTR>(wParam);
            if (at == -1)
                at = static_cast<LONG_PTR>(list.count);
            if (at < 0 || static_cast<size_t>(at) > list.count)
                return LB_ERR;
            return InsertLine(*w, list, static_cast<size_t>(at), text ? text : "");
        }
        case LB_DELETESTRING:
            if (!ValidIndex(list, wParam))
                return LB_ERR;
            return DeleteLine(*w, list, wParam);
        case LB_RESETCONTENT:
            list.count = 0;
            list.selection = -1;
            TouchWindow(w);
            return 0;
        case LB_GETCOUNT:
            return static_cast<LRESULT>(list.count);
        case LB_GETTEXTLEN:
            if (!ValidIndex(list, wParam))
                return LB_ERR;
            return static_cast<LRESULT>(list.lines[wParam].size());
        case LB_GETTEXT: {
            if (!ValidIndex(list, wParam) || !lParam)
                return LB_ERR;
            const std::string &line = list.lines[wParam];
            std::memcpy(reinterpret_cast<char *>(lParam), line.c_str(), line.size() + 1);
            return static_cast<LRESULT>(line.size());
        }
        case LB_GETCURSEL:
            return list.selection >= 0 ? list.selection : LB_ERR;
        case LB_SETCURSEL:
            if (static_cast<LONG_PTR>(wParam) == -1) {
                list.selection = -1;
                TouchWindow(w);
                return LB_ERR;
            }
            if (!ValidIndex(list, wParam))
                return LB_ERR;
            list.selection = static_cast<int>(wParam);
            TouchWindow(w);
            return list.selection;
        case WM_LBUTTONDOWN:
            if (!TakesInput(w))
                return 0;
            if (list.count > 0 && list.selection != 0) {
                list.selection = 0;
                selectionChanged = (w->style & LBS_NOTIFY) != 0;
                TouchWindow(w);
            }
            break;
        case WM_KEYDOWN: {
            if (list.count == 0)
                return 0;
            int next = list.selection;
            if (wParam == VK_UP || wParam == VK_LEFT)
                next = std::max(0, next - 1);
            else if (wParam == VK_DOWN || wParam == VK_RIGHT)
                next = std::min<int>(static_cast<int>(list.count) - 1, next + 1);
            if (next != list.selection) {
                list.selection = next;
                selectionChanged = (w->style & LBS_NOTIFY) != 0;
                TouchWindow(w);
            }
            return 0;
        }
        default:
            lock.unlock();
            return DefWindowProcA(hwnd, msg, wParam, lParam);
        }
    }
    if (msg == WM_LBUTTONDOWN)
        SetFocus(hwnd);
    if (selectionChanged)
        NotifyParent(hwnd, LBN_SELCHANGE);
    return 0;
}

ListBoxView ListBoxViewLocked(const Window &listBox)
{
    const auto *state = dynamic_cast<const ListBoxState *>(listBox.control.get());
    if (!state)
        return {};
    return ListBoxView{std::span<const std::string>(state->lines.data(), state->count),
                       state->selection};
}

}  // namespace user
