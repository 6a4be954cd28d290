// The one thin layer over curses: start, suspend and restore the terminal,
// read its description (colours for the cells' roles at its depth, cursor
// moves, attributes, line drawing), write each frame's changed cells in one
// write, read keys and the mouse. Curses itself only sets the terminal's
// modes and reads input: it never updates the screen after the start.
#pragma once

#include <string>

#include "terminal/cells.h"
#include "terminal/palette.h"
#include "terminal/render.h"
#include "terminal/screen.h"

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
    // Follows a new size (or, the same size, a screen to clear): the
    // terminal is cleared and the next frame written whole.
    void Resize(int cols, int rows);
    // Writes the cells of `frame` in `area` that differ from what the
    // terminal shows, in one write.
    void Show(const CellBuffer &frame, const user::CellRect &area);
    // Gives the terminal back for a while (the process is about to stop),
    // and takes it again: cleared, the next frame written whole.
    void Suspend();
    void Resume();
    void Bell();
    // Next pending input without waiting; kNone when there is none.
    RawInput Read();

private:
    void Flush();

    bool started_ = false;
    bool suspended_ = false;
    bool motionOnDrag_ = false;  // asked the terminal for movement while a button is down
    Depth depth_ = Depth::kMonochrome;
    Screen screen_;
    std::string out_;  // a frame's bytes; keeps its storage from frame to frame
};

}  // namespace terminal
