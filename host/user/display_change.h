// A new size of the screen the windows are on, in character cells, as the
// front end that shows them (the terminal, or the automation's off-screen one)
// finds it. The windows hear of it as on Windows, by WM_DISPLAYCHANGE, and
// fit themselves to it in their own procedures.
#pragma once

namespace user {

// With the user lock held: the screen is now `cols` x `rows`. Every top-level
// window gets WM_DISPLAYCHANGE (wParam: colour depth, lParam: MAKELPARAM(cols,
// rows)) the next time its thread takes messages, as a sent message.
void ChangeScreenSizeLocked(int cols, int rows);

}  // namespace user
