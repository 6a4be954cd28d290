// Curses calls, and only here. Raw mode so that Ctrl+C arrives as a key (the
// close command) rather than a signal; a short Escape delay; the left
// button's press and release reported apart, so that a button acts on the
// release over it; the cursor hidden, since the look shows the focus. The
// frames are written from the terminal's description by the screen (see
// terminal/screen.h), so a tick's update is one write: curses' own update
// would check for type-ahead and guard against SIGTSTP around each one. The
// terminal's palette itself is never changed.
#include "terminal/display.h"

#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
#include <term.h>

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

// A string capability, without its padding ($<5>): nothing here is
// written at a speed where a terminal needs it. Empty when the terminal
// lacks it.
std::string WithoutPadding(const char *value)
{
    std::string out;
    if (value == nullptr || value == reinterpret_cast<char *>(-1))
        return out;
    for (const char *p = value; *p; ++p) {
        if (p[0] == '$' && p[1] == '<') {
            const char *end = std::strchr(p, '>');
            if (end) {
                p = end;
                continue;
            }
        }
        out.push_back(*p);
    }
    return out;
}

std::string Cap(const char *name)
{
    return WithoutPadding(tigetstr(name));
}

void MoveCursor(std::string &out, int row, int col)
{
    out += WithoutPadding(tiparm(cursor_address, row, col));
}

void AppendNumber(std::string &out, int n)
{
    char digits[12];
    int count = 0;
    do
        digits[count++] = static_cast<char>('0' + n % 10);
    while ((n /= 10) > 0);
    while (count > 0)
        out.push_back(digits[--count]);
}

// The same for the cursor move nearly every terminal has, without
// interpreting its description at each move: a tick moves a few times.
void MoveCursorAnsi(std::string &out, int row, int col)
{
    out += "\033[";
    AppendNumber(out, row + 1);
    out.push_back(';');
    AppendNumber(out, col + 1);
    out.push_back('H');
}

bool AnsiCursorMoves()
{
    return cursor_address != nullptr && std::strcmp(cursor_address, "\033[%i%p1%d;%p2%dH") == 0;
}

// setf and setb number the colours with red and blue swapped.
int OldColourNumber(int colour)
{
    return colour < 8 ? (colour & 2) | (colour & 1) << 2 | (colour & 4) >> 2 : colour;
}

std::string ColourSequence(int colour, bool foreground)
{
    const char *ansi = foreground ? set_a_foreground : set_a_background;
    if (ansi && ansi != reinterpret_cast<char *>(-1))
        return WithoutPadding(tiparm(ansi, colour));
    const char *old = foreground ? set_foreground : set_background;
    if (old && old != reinterpret_cast<char *>(-1))
        return WithoutPadding(tiparm(old, OldColourNumber(colour)));
    return {};
}

// The colours of a role as the terminal sets them; the terminal's default
// where the palette has none for it.
std::string InkSequence(const Ink &ink)
{
    std::string out;
    if (ink.fg < 0 || ink.bg < 0)
        out += Cap("op");
    if (ink.fg >= 0)
        out += ColourSequence(ink.fg, true);
    if (ink.bg >= 0)
        out += ColourSequence(ink.bg, false);
    return out;
}

// What the display needs of the terminal's description, which newterm() has
// loaded.
Capabilities ReadCapabilities(Depth depth, bool utf8, bool consoleFont)
{
    Capabilities caps;
    caps.moveCursor = AnsiCursorMoves() ? MoveCursorAnsi : MoveCursor;
    caps.plain = Cap("sgr0");
    caps.bold = Cap("bold");
    caps.dim = Cap("dim");
    caps.reverse = Cap("rev");
    caps.underline = Cap("smul");
    caps.lineDrawingOn = Cap("smacs");
    caps.lineDrawingOff = Cap("rmacs");
    const std::string pairs = Cap("acsc");
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        caps.lineDrawing[static_cast<unsigned char>(pairs[i]) & 0x7F] = pairs[i + 1];
    for (int role = 0; depth != Depth::kMonochrome && role < kRoleCount; ++role) {
        // A cell of no role of its own, on a terminal with colours, is in
        // the white of list boxes, as text on a window.
        const Ink ink = InkFor(role == 0 ? Role::kWindow : static_cast<Role>(role), depth);
        caps.ink[role] = InkSequence(ink);
        caps.dimmed[role] = role != 0 && ink.dim;
    }
    const int ncv = tigetnum("ncv");
    caps.noColourVideo = ncv > 0 ? static_cast<unsigned>(ncv) : 0;
    caps.utf8 = utf8;
    caps.consoleFont = consoleFont;
    caps.lastCellScrolls = tigetflag("am") == 1 && tigetflag("xenl") != 1;
    return caps;
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
    const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    const bool consoleFont = std::strncmp(term, "linux", 5) == 0;
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
    screen_.Setup(ReadCapabilities(depth_, utf8, consoleFont));
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
    // Curses' one update: the terminal cleared, and what curses was asked
    // for above written. From here on its screen stays untouched, so that
    // reading a key never updates the terminal.
    refresh();
    started_ = true;
    suspended_ = false;
    return true;
}

void Display::Stop()
{
    if (!started_)
        return;
    screen_.Release(out_);
    Flush();
    curs_set(1);
    if (motionOnDrag_)
        WriteNow(kDragReportsOff);
    endwin();
    delscreen(gScreen);
    gScreen = nullptr;
    started_ = false;
}

void Display::Suspend()
{
    if (!started_ || suspended_)
        return;
    screen_.Release(out_);
    Flush();
    if (motionOnDrag_)
        WriteNow(kDragReportsOff);
    endwin();
    suspended_ = true;
}

void Display::Resume()
{
    if (!started_ || !suspended_)
        return;
    suspended_ = false;
    if (motionOnDrag_)
        WriteNow(kDragReportsOn);
    // Back in the program's modes, the terminal cleared.
    clearok(curscr, TRUE);
    refresh();
    screen_.Forget();
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
    if (!started_ || suspended_)
        return;
    resizeterm(rows, cols);
    clearok(curscr, TRUE);
    refresh();
    screen_.Forget();
}

void Display::Show(const CellBuffer &frame, const user::CellRect &area)
{
    if (!started_ || suspended_)
        return;
    screen_.Update(frame, area, out_);
    Flush();
}

void Display::Flush()
{
    size_t done = 0;
    while (done < out_.size()) {
        const ssize_t n = write(1, out_.data() + done, out_.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        // A terminal that has gone takes nothing more; the loop hears of it.
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    out_.clear();
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
