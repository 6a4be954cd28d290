// Keys and mouse regions to abstract actions: the terminal loop switches on
// actions only, so a binding changes here and nowhere else.
#pragma once

#include "terminal/display.h"
#include "terminal/render.h"

namespace terminal {

enum class Action {
    kNone,
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
    kClose,    // the window's close command: Ctrl+C, the close box
    kPress,    // the left mouse button pressed,
    kMove,     // moved while it is down,
    kRelease,  // let go
    kClick,    // the button's press and release go to the control or window there
    kWheel,    // turn the wheel over a window
    kRedraw,   // Ctrl+L
    kResize,
};

Action ActionForInput(const RawInput &in);
// What the left mouse button does over a region (see terminal/pointer.h).
Action ActionForRegion(Region region);
// The virtual key and shift state an action types, for key actions.
bool KeyForAction(Action action, int &vk, bool &shift);

}  // namespace terminal
