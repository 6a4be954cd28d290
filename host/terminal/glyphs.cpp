// The stand-ins. Thin edges of one eighth of a cell become whole lines of
// the line-drawing set, so a raised button reads as a box; the scroll bar's
// arrows exist in that set only on some terminals (the Linux console has
// them), and are ^ and v elsewhere.
#include "terminal/glyphs.h"

namespace terminal {

namespace {

struct Entry {
    char32_t ch;
    StandIn standIn;
};

constexpr StandIn Line(char code, char ascii)
{
    return StandIn{code, ascii, false};
}
constexpr StandIn Ascii(char ascii)
{
    return StandIn{0, ascii, false};
}
constexpr StandIn kSolid{0, ' ', true};
constexpr StandIn kBlank{0, ' ', false};

constexpr Entry kStandIns[] = {
    // Frames and rules.
    {U'─', Line('q', '-')},
    {U'│', Line('x', '|')},
    {U'┌', Line('l', '+')},
    {U'┐', Line('k', '+')},
    {U'└', Line('m', '+')},
    {U'┘', Line('j', '+')},
    // The edges of raised and sunken things, an eighth of a cell thick.
    {U'▁', Line('q', '_')},
    {U'▔', Line('q', '-')},
    {U'▏', Line('x', '|')},
    {U'▕', Line('x', '|')},
    // The scroll bar: its arrows and its dithered track.
    {U'▲', Line('-', '^')},
    {U'▼', Line('.', 'v')},
    {U'░', Line('a', ':')},
    {U'▒', Line('a', ':')},
    // Blocks: halves and three quarters fill the cell, one quarter leaves it.
    {U'█', kSolid},
    {U'▌', kSolid},
    {U'▐', kSolid},
    {U'▀', kSolid},
    {U'▄', kSolid},
    {U'▙', kSolid},
    {U'▛', kSolid},
    {U'▜', kSolid},
    {U'▟', kSolid},
    {U'▖', kBlank},
    {U'▗', kBlank},
    {U'▘', kBlank},
    {U'▝', kBlank},
    // Marks: the close box's, the check box's, radio buttons' and list items'.
    {U'×', Ascii('x')},
    {U'✓', Ascii('x')},
    {U'■', Ascii('#')},
    {U'•', Line('~', 'o')},
    // Windows-1252's punctuation in the program's texts.
    {U'‘', Ascii('\'')},
    {U'’', Ascii('\'')},
    {U'‚', Ascii('\'')},
    {U'‹', Ascii('<')},
    {U'›', Ascii('>')},
    {U'“', Ascii('"')},
    {U'”', Ascii('"')},
    {U'„', Ascii('"')},
    {U'–', Ascii('-')},
    {U'—', Ascii('-')},
    {U'…', Ascii('.')},
};

// What code page 437 holds beyond Latin-1, as far as the frames use it.
constexpr char32_t kConsoleExtras[] = {
    U'─', U'│', U'┌', U'┐', U'└', U'┘', U'█', U'▌', U'▐',
    U'▀', U'▄', U'░', U'▒', U'▓', U'■', U'▲', U'▼', U'•',
};

// The codes the stand-ins use, and what they draw.
struct Drawn {
    char code;
    char32_t ch;
};
constexpr Drawn kLineDrawing[] = {
    {'q', U'─'}, {'x', U'│'}, {'l', U'┌'}, {'k', U'┐'}, {'m', U'└'},
    {'j', U'┘'}, {'-', U'↑'}, {'.', U'↓'}, {'a', U'▒'}, {'~', U'·'},
};

}  // namespace

char32_t LineDrawingCharacter(char code)
{
    for (const Drawn &d : kLineDrawing)
        if (d.code == code)
            return d.ch;
    return 0;
}

StandIn StandInFor(char32_t ch)
{
    for (const Entry &e : kStandIns)
        if (e.ch == ch)
            return e.standIn;
    return StandIn{};
}

bool InConsoleFont(char32_t ch)
{
    if (ch < 0x100)
        return ch != U'×';
    for (char32_t c : kConsoleExtras)
        if (c == ch)
            return true;
    return false;
}

}  // namespace terminal
