// What a thread's message loop waits on when it has nothing to do: the
// terminal (keys, mouse, signals) or, without one, a plain condition variable.
#pragma once

#include <cstdint>

namespace user {

class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // The thread is about to wait: draw what changed. The user lock is held.
    virtual void Idle() {}
    // Blocks until input arrives, Wake() is called or `timeoutNs` of real time
    // passes (negative: no limit). The user lock is not held.
    virtual void Wait(std::int64_t timeoutNs) = 0;
    // From any thread: ends a Wait in progress (or the next one) early.
    virtual void Wake() = 0;
    // MessageBeep: ring the bell.
    virtual void Beep() {}
};

// The front end of the calling thread's message queue; nullptr restores the
// plain wait.
void SetFrontEnd(FrontEnd *frontEnd);

}  // namespace user
