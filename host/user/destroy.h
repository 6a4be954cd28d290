// Destroying a window and everything that belongs to it.
#pragma once

#include <windows.h>

namespace user {

// Without the user lock: destroys the window, its children and the windows it
// owns; each gets WM_DESTROY first.
void DestroyWindowTree(HWND hwnd);

}  // namespace user
