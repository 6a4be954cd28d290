// The new size goes into the user state at once, so that windows made from
// now on are placed on it; the windows already there are told.
#include "user/display_change.h"

#include "user/message.h"
#include "user/window.h"

namespace user {

namespace {

// What WM_DISPLAYCHANGE says of the colours: the 16 of a text screen.
constexpr WPARAM kBitsPerCell = 4;

}  // namespace

void ChangeScreenSizeLocked(int cols, int rows)
{
    UserState &s = State();
    if (cols == s.screenCols && rows == s.screenRows)
        return;
    s.screenCols = cols;
    s.screenRows = rows;
    const LPARAM size = MAKELPARAM(static_cast<WORD>(cols), static_cast<WORD>(rows));
    for (HWND h : s.zOrder)
        SendNotifyLocked(h, WM_DISPLAYCHANGE, kBitsPerCell, size);
    Touch();
}

}  // namespace user
