// The predefined controls: which kind a window is, from its class and style,
// and the window procedures of the kinds that the dialogs here use.
#pragma once

#include <windows.h>

#include <string_view>

namespace win32 {

enum class ControlKind {
    kOther,
    kDialog,
    kPushButton,
    kCheckBox,
    kRadioButton,
    kGroupBox,
    kText,   // static text, any alignment
    kFrame,  // static frames and rectangles
    kListBox,
};

ControlKind KindOf(std::string_view className, DWORD style);

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Tells the parent dialog that a control did something (WM_COMMAND).
void NotifyParent(HWND control, WORD code);

}  // namespace win32
