// The static class: text, frames and rectangles. It takes no input; the
// dialog manager skips it.
#include "win32/controls.h"

namespace win32 {

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_GETDLGCODE) return DLGC_STATIC;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace win32
