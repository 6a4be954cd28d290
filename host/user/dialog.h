// Dialog boxes: built from a parsed template, run in a nested modal loop that
// keeps every window of the thread live (timers included), ended by EndDialog.
#pragma once

#include <windows.h>

#include <functional>

#include "user/dlgtemplate.h"

namespace user {

// Creates the dialog and its controls from `dlg`, owned by `owner`, then
// WM_INITDIALOG, shows it, and runs it until EndDialog. `arrange`, if given,
// places the controls in cells instead of the template layout. -1 with a last
// error when it cannot be created.
INT_PTR RunDialogBox(const DialogTemplate &dlg, HWND owner, DLGPROC proc, LPARAM param,
                     const std::function<void(HWND)> &arrange = {});

// WM_NEXTDLGCTL: to control `wParam` if `lParam`, else to the next (wParam 0)
// or previous tab stop.
void NextDialogControl(HWND dialog, WPARAM wParam, LPARAM lParam);

}  // namespace user
