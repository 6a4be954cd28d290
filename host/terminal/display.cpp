// Curses calls, and only here. Raw mode so that Ctrl+C arrives as a key (the
// close command) rather than a signal; a short Escape delay; the left
// button's press and release reported apart, so that a button acts on the
// release over it; the cursor hidden, since the look shows the focus. Each
// role is the colour pair of its own number, but for the white of list boxes
// (see Start); the terminal's palette itself is never changed.
#include "terminal/display.h"

#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
#include <term.h>

#include "terminal/glyphs.h"

namespace terminal {

namespace {

SCREEN *gScreen = nullptr;

struct KeyCode {
    bool function;  // a curses KEY_ code rather than a character
    int code;
    Key key;
};

const KeyCode kKeyCodes[] = {
    {false, '\t', Key::kTab},
    {true, KEY_BTAB, Key::kBackTab},
    {false, '\r', Key::kEnter},
    {false, '\n', Key::kEnter},
    {true, KEY_ENTER, Key::kEnter},
    {false, 27, Key::kEscape},
    {false, ' ', Key::kSpace},
    {true, KEY_LEFT, Key::kLeft},
    {true, KEY_RIGHT, Key::kRight},
    {true, KEY_UP, Key::kUp},
    {true, KEY_DOWN, Key::kDown},
    {false, 3, Key::kCtrlC},
    {false, 12, Key::kCtrlL},
    {true, KEY_RESIZE, Key::kResize},
    {true, KEY_PPAGE, Key::kPageUp},
    {true, KEY_NPAGE, Key::kPageDown},
    {true, KEY_HOME, Key::kHome},
    {true, KEY_END, Key::kEnd},
    {true, KEY_BACKSPACE, Key::kBackspace},
    {false, 127, Key::kBackspace},
    {false, 8, Key::kBackspace},
};

// Wheel notches arrive as presses of buttons 4 (away) and 5 (towards).
#ifdef BUTTON5_PRESSED
constexpr mmask_t kWheelDown = BUTTON5_PRESSED;
#else
constexpr mmask_t kWheelDown = 0;
#endif

attr_t CursesAttr(std::uint8_t attr)
{
    attr_t a = A_NORMAL;
    if (attr & kBold)
        a |= A_BOLD;
    if (attr & kDim)
        a |= A_DIM;
    if (attr & kReverse)
        a |= A_REVERSE;
    if (attr & kUnderline)
        a |= A_UNDERLINE;
    return a;
}

// xterm's mode that reports the pointer's movement while a button is down;
// curses asks only for presses and releases.
constexpr const char *kDragReportsOn = "\033[?1002h";
constexpr const char *kDragReportsOff = "\033[?1002l";

// putp() writes through stdio, beside curses' own buffer: out at once, so
// that it keeps its place among what curses writes.
void WriteNow(const char *sequence)
{
    putp(sequence);
    std::fflush(stdout);
}

// Whether the terminal reports the mouse as xterm does (its mouse key starts
// a control sequence), and so knows the mode above.
bool SpeaksXtermMouse()
{
    const char *kmous = tigetstr("kmous");
    return kmous != nullptr && kmous != reinterpret_cast<char *>(-1) &&
           std::strncmp(kmous, "\033[", 2) == 0;
}

// Whether the terminal TERM names can put the cursor anywhere, looked up
// without a word to the terminal. A terminal without (dumb, a printing one)
// or of a type unknown here cannot show windows.
bool CanAddressCursor()
{
    int error = 0;
    if (setupterm(nullptr, 1, &error) != OK)
        return false;
    const char *cup = tigetstr("cup");
    const bool can = cup != nullptr && cup != reinterpret_cast<char *>(-1);
    del_curterm(cur_term);
    return can;
}

}  // namespace

bool Display::Start(std::string &why)
{
    if (started_)
        return true;
    if (!isatty(0) || !isatty(1)) {
        why = "needs a terminal to show its windows";
        return false;
    }
    const char *term = std::getenv("TERM");
    if (!term || !*term || !CanAddressCursor()) {
        why = std::string("this terminal (") +
              (term && *term ? "TERM=" + std::string(term) : std::string("TERM not set")) +
              ") cannot show windows; use a terminal such as xterm";
        return false;
    }
    std::setlocale(LC_ALL, "");
    utf8_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    consoleFont_ = std::strncmp(term, "linux", 5) == 0;
    gScreen = newterm(nullptr, stdout, stdin);
    if (!gScreen) {
        why = "needs a terminal to show its windows";
        return false;
    }
    set_term(gScreen);
    // NO_COLOR keeps the terminal's own colours when it says anything; set
    // but empty, it is as if not set.
    const char *noColourValue = std::getenv("NO_COLOR");
    const bool noColour = noColourValue != nullptr && *noColourValue != '\0';
    if (!noColour && has_colors())
        start_color();
    depth_ = DepthFor(has_colors(), COLORS, COLOR_PAIRS, noColour);
    for (int role = 1; depth_ != Depth::kMonochrome && role < kRoleCount; ++role) {
        const Ink ink = InkFor(static_cast<Role>(role), depth_);
        dim_[role] = ink.dim;
        // curses leaves the terminal in pair 0 after every update, so the
        // white of list boxes is pair 0: a clock's tick then writes its digits
        // and no colours round them.
        if (static_cast<Role>(role) == Role::kWindow)
            assume_default_colors(ink.fg, ink.bg);
        else
            init_pair(static_cast<short>(role), ink.fg, ink.bg);
    }
    raw();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    curs_set(0);
    mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED | REPORT_MOUSE_POSITION | BUTTON4_PRESSED |
                  kWheelDown,
              nullptr);
    mouseinterval(0);
    // So that a pushed button rises as the pointer slides off it.
    motionOnDrag_ = SpeaksXtermMouse();
    if (motionOnDrag_)
        WriteNow(kDragReportsOn);
    started_ = true;
    whole_ = true;
    return true;
}

void Display::Stop()
{
    if (!started_)
        return;
    curs_set(1);
    if (motionOnDrag_)
        WriteNow(kDragReportsOff);
    endwin();
    delscreen(gScreen);
    gScreen = nullptr;
    started_ = false;
}

void Display::QuerySize(int &cols, int &rows)
{
    winsize ws{};
    if (ioctl(1, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        cols = ws.ws_col;
        rows = ws.ws_row;
    } else {
        cols = COLS;
        rows = LINES;
    }
}

void Display::Resize(int cols, int rows)
{
    if (!started_)
        return;
    resizeterm(rows, cols);
    clearok(curscr, TRUE);
    whole_ = true;
}

void Display::Show(const CellBuffer &frame)
{
    if (!started_)
        return;
    if (shown_.Cols() != frame.Cols() || shown_.Rows() != frame.Rows()) {
        shown_.Resize(frame.Cols(), frame.Rows());
        whole_ = true;
    }
    for (int y = 0; y < frame.Rows() && y < LINES; ++y) {
        for (int x = 0; x < frame.Cols() && x < COLS; ++x) {
            const Cell &cell = frame.At(x, y);
            if (!whole_ && cell == shown_.At(x, y))
                continue;
            const int role = depth_ == Depth::kMonochrome ? 0 : static_cast<int>(cell.role);
            const short pair = cell.role == Role::kWindow ? 0 : static_cast<short>(role);
            attr_t attr = CursesAttr(cell.attr) | (dim_[role] ? A_DIM : A_NORMAL);
            char32_t ch = cell.ch;
            if (!Shows(ch)) {
                const StandIn standIn = StandInFor(ch);
                if (standIn.solid) {
                    ch = U' ';
                    attr ^= A_REVERSE;
                } else if (standIn.lineDrawing &&
                           (NCURSES_ACS(standIn.lineDrawing) & A_ALTCHARSET)) {
                    ch = static_cast<unsigned char>(standIn.lineDrawing);
                    attr |= A_ALTCHARSET;
                } else {
                    ch = static_cast<unsigned char>(standIn.ascii);
                }
            }
            wchar_t text[2] = {static_cast<wchar_t>(ch), L'\0'};
            cchar_t cc;
            setcchar(&cc, text, attr, pair, nullptr);
            // In the bottom-right cell the cursor cannot move on, so curses
            // reports an error; it has placed the character all the same and
            // draws it without scrolling the terminal.
            mvadd_wch(y, x, &cc);
            shown_.Put(x, y, cell.ch, cell.attr, cell.role);
        }
    }
    whole_ = false;
    refresh();
}

bool Display::Shows(char32_t ch) const
{
    if (ch < 0x80)
        return true;
    if (!utf8_) {
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        if (std::wcrtomb(bytes, static_cast<wchar_t>(ch), &state) == static_cast<size_t>(-1))
            return false;
    }
    return !consoleFont_ || InConsoleFont(ch);
}

void Display::Bell()
{
    if (started_)
        beep();
    else
        std::fputc('\a', stderr);
}

RawInput Display::Read()
{
    RawInput in;
    if (!started_)
        return in;
    wint_t ch;
    int kind = get_wch(&ch);
    if (kind == ERR)
        return in;
    if (kind == KEY_CODE_YES && ch == KEY_MOUSE) {
        MEVENT event;
        if (getmouse(&event) != OK)
            return in;
        if (event.bstate & (BUTTON4_PRESSED | kWheelDown)) {
            in.kind = RawInput::kWheel;
            in.notches = (event.bstate & BUTTON4_PRESSED) ? 1 : -1;
        } else if (event.bstate & BUTTON1_PRESSED) {
            in.kind = RawInput::kPress;
        } else if (event.bstate & BUTTON1_RELEASED) {
            in.kind = RawInput::kRelease;
        } else if (event.bstate & REPORT_MOUSE_POSITION) {
            in.kind = RawInput::kMove;
        } else {
            return in;
        }
        in.x = event.x;
        in.y = event.y;
        return in;
    }
    in.kind = RawInput::kKey;
    for (const KeyCode &k : kKeyCodes)
        if (k.function == (kind == KEY_CODE_YES) && k.code == static_cast<int>(ch))
            in.key = k.key;
    return in;
}

}  // namespace terminal
