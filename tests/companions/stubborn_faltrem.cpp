// A companion that misbehaves for the tests: it holds the companion's atom
// like the real one but takes WM_QUIT for just another message, so only
// being terminated ends it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    MSG msg;

    GlobalAddAtomA("_faltrem_running_");
    for (;;)
        GetMessageA(&msg, NULL, 0, 0);
}
