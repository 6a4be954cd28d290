// The left mouse button as a Windows user knows it: what it is pressed on
// takes hold, and a push button, a check box or a close box acts only when
// the button is let go over it; pressing, sliding off and letting go
// elsewhere does nothing. Controls hold the mouse themselves (they capture
// it); the close box, which the terminal draws, is held here and drawn
// pushed while the pointer is on it.
#pragma once

#include <windows.h>

#include "terminal/render.h"
#include "user/message.h"

namespace terminal {

class Pointer {
public:
    // With the user lock held: the button at a cell of the screen, over
    // `hit`, what is drawn there. Input for windows goes to `queue`.
    void Press(user::Queue &queue, const Hit &hit, int x, int y);
    void Move(user::Queue &queue, const Hit &hit, int x, int y);
    void Release(user::Queue &queue, const Hit &hit, int x, int y);

    // The window whose close box is held down with the pointer on it.
    HWND PushedCloseBox() const { return onCloseBox_ ? closeBoxOf_ : nullptr; }

private:
    void HoldCloseBox(bool on);

    bool down_ = false;
    HWND closeBoxOf_ = nullptr;  // the close box pressed, until the release
    bool onCloseBox_ = false;
};

}  // namespace terminal
