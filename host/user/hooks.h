// Hooks through which a test driver watches what a person at the machine would
// see or hear and when the program has nothing left to do, in the spirit of
// SetWindowsHookEx: the user services call each hook that is installed, and do
// nothing more when none is. Every hook runs with the user lock held, on the
// thread that caused it, and must not call back into the user services.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace user {

struct Queue;

struct UserHooks {
    // A message box has been made, as `box`, and is about to show.
    std::function<void(HWND box, const std::string &text, const std::string &caption, UINT type)>
        messageBoxShown;
    // It has gone, answered with the button `answer` (0: ended without one).
    std::function<void(HWND box, int answer)> messageBoxAnswered;
    // MessageBeep(type).
    std::function<void(UINT type)> beep;
    // The queue's thread was handed something to do: a message, input, an end
    // of session, a moved clock.
    std::function<void(const Queue &queue)> queueNotified;
    // The queue's thread has taken all it was handed and is about to wait
    // (`idle`), or has woken to work again; a thread that ends is idle for good.
    std::function<void(const Queue &queue, bool idle)> queueIdle;
};

// Installs `hooks` (any of them empty) for every thread in the process and
// returns those installed before. Takes the user lock.
UserHooks InstallUserHooks(UserHooks hooks);

// With the user lock held: the hooks installed.
const UserHooks &HooksLocked();

}  // namespace user
