// Timers of a thread's queue. A due timer yields WM_TIMER only when the queue
// has nothing else, and only one at a time: expiries missed meanwhile are
// coalesced into that one, as on Windows.
#pragma once

#include <windows.h>

#include <cstdint>

namespace win32 {

struct Queue;
struct Timer;

// ---- With the lock held ----
// When the earliest timer is due on the PC's clock; INT64_MAX if none.
std::int64_t NextTimerDueLocked(const Queue &queue);
// Takes the first due timer (by due time) as a WM_TIMER and schedules its next
// expiry after `nowNs`. False if none is due.
bool TakeDueTimerLocked(Queue &queue, std::int64_t nowNs, MSG &out);
void KillWindowTimersLocked(Queue &queue, HWND hwnd);
// The WM_TIMER message of `timer`, stamped `nowNs`.
MSG TimerMessage(const Timer &timer, std::int64_t nowNs);

}  // namespace win32
