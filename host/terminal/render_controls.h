// The look of each kind of control in cells, in either look; render.cpp draws
// the windows around them.
#pragma once

#include "terminal/cells.h"
#include "terminal/render.h"
#include "user/window.h"

namespace terminal {

// Where a window's controls go and what they are drawn on.
struct Canvas {
    CellBuffer &buffer;
    Look look;
    int x, y;         // the window's client area on the screen
    Role background;  // the window's own, under its controls
    bool Colour() const { return look == Look::kColour; }
};

// In colour, the edges a control shows outside its own cells: the raised
// edges round a push button, the sunken ones over and under a list box. They
// go on the window's background before any control, so that a control drawn
// there later covers them.
void DrawOuterEdges(const Canvas &canvas, user::Window *control);

void DrawControl(const Canvas &canvas, user::Window *control, bool focused);

}  // namespace terminal
