// The terminal front end of a program's message loop: it waits in one epoll
// on the terminal and a self-pipe until input comes or the next timer is
// due, turns keys and clicks into input for the program's queue, and redraws
// what changed when the program is idle: only the damaged part of the screen
// where the windows say that is all that changed.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "terminal/cells.h"
#include "terminal/display.h"
#include "terminal/keymap.h"
#include "terminal/pointer.h"
#include "user/user_frontend.h"

namespace terminal {

// Thrown on the program's thread when its first window is to be shown and
// there is no terminal that can show it. Unwinding frees the locks the loop
// holds, so main() can say so and end at once.
struct TerminalMissing {
    std::string why;
};

class Terminal : public user::FrontEnd {
public:
    // Installs the front end for the calling thread's queue. The terminal
    // itself starts with the first window shown, so a program that never
    // shows one (the fix companion) leaves it alone.
    void Open();
    // Restores the terminal and removes the front end.
    void Close();
    // Only gives the terminal back, from any thread: for a program about to be
    // ended without returning to Close().
    void Restore();

    void Idle() override;
    void Wait(std::int64_t timeoutNs) override;
    void Wake() override;
    void Beep() override;

private:
    void HandleSignalByte(char event);
    // SIGTSTP: the terminal given back, the process stopped; on SIGCONT the
    // terminal taken again and redrawn whole.
    void StopAndContinue();
    void HandleInput(const RawInput &in);
    void Apply(Action action);
    // True when the size changed and the windows have been told.
    bool FollowSize();

    Display display_;
    Pointer pointer_;
    CellBuffer frame_;
    std::uint64_t drawnGeneration_ = ~std::uint64_t{0};
    bool redrawAll_ = true;  // the terminal shows nothing of the frame
    bool resized_ = true;
    bool tooSmall_ = false;
    bool inputGone_ = false;  // the terminal hung up: nothing more to read
    int epoll_ = -1;
    bool inputWatched_ = false;  // the terminal is among what epoll waits on
    std::thread clockWatch_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> clockMoved_{false};
};

}  // namespace terminal
