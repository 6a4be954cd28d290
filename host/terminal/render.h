// Draws the open windows into a cell buffer, bottom to top, and finds what is
// under a cell for the mouse. All with the user lock held.
#pragma once

#include <windows.h>

#include "terminal/cells.h"
#include "user/window_geometry.h"

namespace terminal {

// Monochrome is the look of a terminal without colours: brackets, box lines
// and attributes. Colour is Windows 98's: the desktop, grey 3D faces with
// raised buttons and sunken white boxes, title bars, icons and shadows, in
// cell roles. Both put every window and control in the same cells.
enum class Look { kMonochrome, kColour };

// Draws the top-level windows where they have placed themselves on a screen of
// the buffer's size; or, when one does not fit, says so. The close box of
// `pushedCloseBox` is drawn held down.
void RenderScreen(CellBuffer &buffer, Look look, HWND pushedCloseBox = nullptr);
// The same, in the cells of `area` only: the rest of the buffer keeps what
// it holds, and the windows and controls outside the area are not visited.
void RenderArea(CellBuffer &buffer, Look look, const user::CellRect &area,
                HWND pushedCloseBox = nullptr);

// The size that every open window fits in; 0x0 when none is open.
void NeededSize(int &cols, int &rows);

enum class Region {
    kNothing,
    kWindow,    // a top-level window's frame or background
    kCloseBox,  // its close box
    kControl,   // a control
};

struct Hit {
    Region region = Region::kNothing;
    HWND hwnd = nullptr;
};

// What the cell (x, y) of the last rendered screen shows, topmost first.
Hit HitTest(int x, int y);

}  // namespace terminal
