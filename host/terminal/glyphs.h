// What the display writes for a character of the frame that the terminal
// cannot show: a character of the terminal's line-drawing set where it has
// one, plain ASCII where it has not, and a block as a blank in reverse video,
// which every terminal has. So frames, edges and the scroll bar survive a
// locale that is not UTF-8, and a console whose font has only the old PC
// characters.
#pragma once

namespace terminal {

struct StandIn {
    // The character's code in the VT100 line-drawing set ('q' a horizontal
    // line), 0 when it has none there.
    char lineDrawing = 0;
    char ascii = '?';
    // A block that covers at least half the cell: the whole cell in the
    // foreground colour. One that covers less is a blank (`ascii` ' ').
    bool solid = false;
};

StandIn StandInFor(char32_t ch);

// The character a code of the VT100 line-drawing set draws, for a terminal
// in a UTF-8 locale, where the set is written as what it draws (the Linux
// console there takes no line-drawing set); 0 for a code not in the table.
char32_t LineDrawingCharacter(char code);

// Whether the Linux console's standard font (the PC's code page 437, and
// Latin-1 letters) has the character.
bool InConsoleFont(char32_t ch);

}  // namespace terminal
