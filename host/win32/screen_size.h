// The size of the screen the windows are on, in character cells. The front
// end that shows them (the terminal, or the automation's off-screen one) says
// when it changes.
#pragma once

namespace win32 {

// With the user lock held: the screen is now `cols` x `rows`; the windows
// that depend on its size follow it.
void SetScreenSizeLocked(int cols, int rows);

}  // namespace win32
