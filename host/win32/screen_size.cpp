// A new screen size, and the windows that follow it.
#include "win32/screen_size.h"

#include "win32/help.h"
#include "win32/window.h"

namespace win32 {

void SetScreenSizeLocked(int cols, int rows)
{
    State().screenCols = cols;
    State().screenRows = rows;
    FitHelpWindowToScreenLocked();
    Touch();
}

}  // namespace win32
