// The timers of a thread's queue: one per (window, id), due times on the PC's
// clock in whole milliseconds. A due timer yields WM_TIMER only when the queue
// has nothing else, and only one at a time: expiries missed meanwhile are
// coalesced into that one, as on Windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace user {

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    std::int64_t periodNs;
    std::int64_t dueNs;
    TIMERPROC proc;
};

// With the user lock held.
class TimerList {
public:
    // Starts or restarts the timer (hwnd, id) with its first expiry one
    // period after `nowNs`. A thread timer (no window) with id 0 or an id not
    // in use gets a new id. Returns the id.
    UINT_PTR Set(HWND hwnd, UINT_PTR id, std::int64_t periodNs, TIMERPROC proc, std::int64_t nowNs);
    bool Kill(HWND hwnd, UINT_PTR id);
    void KillWindow(HWND hwnd);

    // When the earliest timer is due on the PC's clock; INT64_MAX if none.
    std::int64_t NextDue() const;
    // Takes the first due timer (by due time) as a WM_TIMER and schedules its
    // next expiry after `nowNs`. False if none is due.
    bool TakeDue(std::int64_t nowNs, MSG &out);
    const std::vector<Timer> &All() const { return timers_; }

private:
    std::vector<Timer> timers_;
    UINT_PTR nextThreadTimerId_ = 0x7FF0;
};

// The WM_TIMER message of `timer`, stamped `nowNs`.
MSG TimerMessage(const Timer &timer, std::int64_t nowNs);

}  // namespace user
