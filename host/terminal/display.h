// The one thin layer over curses: start and restore the terminal, colour the
// cells' roles for its depth, write the cells that changed since the last
// frame (each as the terminal can show it), read keys and the mouse.
#pragma once

#include <string>

#include "terminal/cells.h"
#include "terminal/palette.h"
#include "terminal/render.h"

namespace terminal {

// The keys the terminal tells apart, whatever their escape sequences.
enum class Key {
    kOther,
    kTab,
    kBackTab,
    kEnter,
    kEscape,
    kSpace,
    kLeft,
    kRight,
    kUp,
    kDown,
    kPageUp,
    kPageDown,
    kHome,
    kEnd,
    kBackspace,
    kCtrlC,
    kCtrlL,
    kResize,
};

struct RawInput {
    // The left mouse button pressed, the pointer moved while it is down (on
    // terminals that say so), the button let go.
    enum Kind { kNone, kKey, kPress, kMove, kRelease, kWheel } kind = kNone;
    Key key = Key::kOther;
    int x = 0, y = 0;  // mouse, wheel
    int notches = 0;   // wheel: positive away from the user
};

class Display {
public:
    // False, with why in a few words, when there is no terminal that can
    // show windows; the terminal is left as it was.
    bool Start(std::string &why);
    void Stop();
    bool Started() const { return started_; }
    // The look the terminal can show: colour unless it has none or NO_COLOR
    // is set to something.
    Look ShownLook() const
    {
        return depth_ == Depth::kMonochrome ? Look::kMonochrome : Look::kColour;
    }
    int InputFd() const { return 0; }
    // The terminal's size now (after a resize, from the tty).
    void QuerySize(int &cols, int &rows);
    // Follows a new size: curses resizes its screen, the next frame is whole.
    void Resize(int cols, int rows);
    // Writes the cells of `frame` that differ from the previous frame.
    void Show(const CellBuffer &frame);
    void Bell();
    // Next pending input without waiting; kNone when there is none.
    RawInput Read();

private:
    // Whether the terminal can show `ch` as it is, rather than a stand-in.
    bool Shows(char32_t ch) const;

    bool started_ = false;
    bool utf8_ = true;           // the locale's character set is UTF-8
    bool consoleFont_ = false;   // the Linux console, with its PC font
    bool motionOnDrag_ = false;  // asked the terminal for movement while a button is down
    Depth depth_ = Depth::kMonochrome;
    bool dim_[kRoleCount] = {};  // the roles dimmed at this depth
    CellBuffer shown_;
    bool whole_ = true;
};

}  // namespace terminal
