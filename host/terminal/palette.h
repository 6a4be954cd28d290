// Colours for cell roles: how deep the terminal's palette is, from what it
// reports, and the colours of Windows 98's standard scheme nearest to each
// role at that depth.
#pragma once

#include "terminal/cells.h"

namespace terminal {

enum class Depth {
    kMonochrome,  // no colours, or NO_COLOR: attributes only
    k8,           // the eight ANSI colours, no grey
    k16,          // and their bright versions
    k256,         // and the xterm cube and grey ramp
};

// From has_colors(), COLORS and COLOR_PAIRS, and whether NO_COLOR is set.
// A terminal with too few colour pairs for every role is monochrome.
Depth DepthFor(bool hasColours, int colours, int pairs, bool noColour);

// A role's colours at a depth: palette numbers, and whether the foreground
// is dimmed because the palette has no grey.
struct Ink {
    short fg = -1, bg = -1;  // -1: the terminal's default
    bool dim = false;
    bool operator==(const Ink &) const = default;
};

Ink InkFor(Role role, Depth depth);

}  // namespace terminal
