// The screenshot of a window, as the screen shows it.
#pragma once

#include "uidriver.h"

// Writes the window's picture to `path` as a PNG; 0 on failure.
int SaveWindowPicture(HWND hwnd, const char *path);
