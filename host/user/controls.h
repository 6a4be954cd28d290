// The predefined controls: which kind a window is, from its class and style,
// and the window procedures of the kinds that the dialogs here use.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace user {

struct Window;

enum class ControlKind {
    kOther,
    kDialog,
    kPushButton,
    kCheckBox,
    kRadioButton,
    kGroupBox,
    kText,   // static text, any alignment
    kFrame,  // static frames and rectangles
    kIcon,   // a static that shows an icon (SS_ICON)
    kListBox,
    kScrollBar,
};

ControlKind KindOf(std::string_view className, DWORD style);

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Tells the parent dialog that a control did something (WM_COMMAND).
void NotifyParent(HWND control, WORD code);

// ---- Read-only views, with the user lock held ----
// What a control shows, for whoever draws or inspects it while holding the
// lock; the control's procedure answers the same through its messages.

// A button's state as BM_GETSTATE gives it: BST_CHECKED or BST_INDETERMINATE,
// BST_PUSHED, BST_FOCUS. 0 for any other window.
UINT ButtonStateLocked(const Window &button);

struct ListBoxView {
    std::span<const std::string> lines;  // in the box's order, as LB_GETTEXT reads them
    int selection = -1;                  // as LB_GETCURSEL; -1: none
};
// Empty for any other window.
ListBoxView ListBoxViewLocked(const Window &listBox);

// Parts of a static text's lines marked out, for text that marks parts of
// itself (the help window's headings and jumps); the front end gives each
// emphasis its own look.
enum Emphasis : std::uint8_t {
    kEmphasisBold = 1,
    kEmphasisDim = 2,
    kEmphasisReverse = 4,
    kEmphasisUnderline = 8,
};
struct TextMark {
    int line = 0, column = 0, width = 0;
    std::uint8_t emphasis = 0;  // Emphasis bits
};
std::span<const TextMark> StaticMarksLocked(const Window &text);
// The icon an SS_ICON static shows (STM_GETICON); nullptr for any other window.
HICON StaticIconLocked(const Window &icon);
// Replaces the marks of a static text control; nothing for another window.
void SetStaticMarksLocked(Window &text, std::vector<TextMark> marks);

// A vertical scroll bar in cells: an arrow in its first and last cell, the
// track between them, and the thumb on the track where the position puts it.
// A bar whose page holds its whole range is disabled and has no thumb.
struct ScrollBarView {
    int min = 0, max = 0, page = 0, pos = 0;  // as SBM_GETSCROLLINFO gives them
    bool enabled = false;
    int thumbTop = 0, thumbCells = 0;  // cells from the bar's top; 0 cells: no thumb
};
// Empty for any other window.
ScrollBarView ScrollBarViewLocked(const Window &bar);
// Sets what a scroll bar control shows, as SBM_SETSCROLLINFO does; returns the
// position, kept inside the range.
int SetScrollInfoLocked(Window &bar, const SCROLLINFO &info);

}  // namespace user
