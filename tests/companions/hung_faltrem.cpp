// A companion that hangs before it gets as far as its atom or a message
// queue, so WM_QUIT never reaches it and only being terminated ends it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    for (;;)
        Sleep(1000);
}
