// The Help command: the help file opened at its contents. TidyUp closes it.
#include "tolvane.h"

void HelpTolvane(HWND hwnd)
{
    WinHelpA(hwnd, HELP_FILE, HELP_CONTENTS, 0);
}
