// What the terminal shows, and the bytes that bring it up to a new frame:
// for the cells of the changed area that differ from what it shows, cursor
// moves, attributes, colours and characters (or their stand-ins), built from
// the terminal's own description into one buffer that the display writes at
// once.
#pragma once

#include <cstdint>
#include <string>

#include "terminal/cells.h"
#include "user/window_geometry.h"

namespace terminal {

// The terminal's description as far as writing cells goes, read once when
// the display starts. An empty string is a capability the terminal lacks.
struct Capabilities {
    // Appends the sequence that puts the cursor at (row, col), from 0.
    void (*moveCursor)(std::string &out, int row, int col) = nullptr;
    std::string plain;  // every attribute off (colours too, on terminals that have them)
    std::string bold, dim, reverse, underline;
    // The line-drawing set on and off, and what the terminal sends for each
    // of its VT100 codes ('q' a horizontal line); 0 where it has none.
    std::string lineDrawingOn, lineDrawingOff;
    char lineDrawing[128] = {};
    // A role's colours, empty for all in the monochrome look, and whether it
    // is dimmed because the palette has no grey.
    std::string ink[kRoleCount];
    bool dimmed[kRoleCount] = {};
    // Attributes that cannot go with colours (the terminal's ncv bits).
    unsigned noColourVideo = 0;
    bool utf8 = true;          // the locale writes UTF-8
    bool consoleFont = false;  // the Linux console, with its PC font
    // Writing the bottom-right cell scrolls the screen (automatic margins
    // without the newline glitch): that cell is left alone.
    bool lastCellScrolls = false;
};

class Screen {
public:
    void Setup(const Capabilities &capabilities);
    const Capabilities &Caps() const { return caps_; }
    // The terminal shows something else now (started, cleared, resumed):
    // the next update writes every cell, and assumes nothing of the cursor
    // or the attributes.
    void Forget();
    // Appends to `out` what makes the terminal show `frame` in `area`
    // (clipped to the frame); everything, after Forget() or a new size.
    void Update(const CellBuffer &frame, const user::CellRect &area, std::string &out);
    // Appends what gives the terminal back with plain attributes and the
    // line-drawing set off.
    void Release(std::string &out);

private:
    struct Pen {
        std::uint8_t attr = kNormal;
        Role role = Role::kPlain;
        bool lineDrawing = false;
        bool operator==(const Pen &) const = default;
    };
    // The pen and the bytes that draw `cell` on this terminal.
    void Glyph(const Cell &cell, Pen &pen, char *bytes, int &count) const;
    void SetPen(const Pen &pen, std::string &out);
    void Write(int x, int y, const Cell &cell, std::string &out);
    // Whether the terminal can show `ch` as it is, rather than a stand-in.
    bool Shows(char32_t ch) const;

    Capabilities caps_;
    CellBuffer shown_;
    bool whole_ = true;
    int cursorX_ = -1, cursorY_ = -1;  // -1: not known
    bool penKnown_ = false;
    Pen pen_;
};

}  // namespace terminal
