// SetTimer and KillTimer: one timer per (window, id), due times on the PC's
// clock in whole milliseconds, so that on the virtual clock they fire when a
// test moves time.
#include "win32/timer.h"

#include <algorithm>
#include <limits>

#include "win32/message.h"

namespace win32 {

namespace {

constexpr std::int64_t kMs = 1'000'000;

}  // namespace

std::int64_t NextTimerDueLocked(const Queue &queue)
{
    std::int64_t due = std::numeric_limits<std::int64_t>::max();
    for (const Timer &t : queue.timers) due = std::min(due, t.dueNs);
    return due;
}

bool TakeDueTimerLocked(Queue &queue, std::int64_t nowNs, MSG &out)
{
    Timer *first = nullptr;
    for (Timer &t : queue.timers)
        if (t.dueNs <= nowNs && (!first || t.dueNs < first->dueNs)) first = &t;
    if (!first) return false;
    // The period keeps its phase; expiries that passed while the thread was
    // busy collapse into this one message.
    std::int64_t missed = (nowNs - first->dueNs) / first->periodNs;
    first->dueNs += (missed + 1) * first->periodNs;
    out = TimerMessage(*first, nowNs);
    return true;
}

MSG TimerMessage(const Timer &timer, std::int64_t nowNs)
{
    MSG msg{};
    msg.hwnd = timer.hwnd;
    msg.message = WM_TIMER;
    msg.wParam = timer.id;
    msg.lParam = reinterpret_cast<LPARAM>(timer.proc);
    msg.time = static_cast<DWORD>(nowNs / kMs);
    return msg;
}

void KillWindowTimersLocked(Queue &queue, HWND hwnd)
{
    std::erase_if(queue.timers, [hwnd](const Timer &t) { return t.hwnd == hwnd; });
}

}  // namespace win32

using namespace win32;

extern "C" UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    UserLock lock = LockUser();
    std::shared_ptr<Queue> queue = QueueOfWindowLocked(hWnd);
    if (!queue) return 0;
    uElapse = std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    // The clock's millisecond, like the tick count Windows schedules timers on.
    std::int64_t start = NowNs() / kMs * kMs;
    std::int64_t period = static_cast<std::int64_t>(uElapse) * kMs;
    if (!hWnd) {
        auto used = [&](UINT_PTR id) {
            return std::any_of(queue->timers.begin(), queue->timers.end(),
                               [&](const Timer &t) { return !t.hwnd && t.id == id; });
        };
        if (nIDEvent == 0 || !used(nIDEvent)) {
            do nIDEvent = queue->nextThreadTimerId++;
            while (nIDEvent == 0 || used(nIDEvent));
        }
    }
    for (Timer &t : queue->timers) {
        if (t.hwnd == hWnd && t.id == nIDEvent) {
            t.periodNs = period;
            t.dueNs = start + period;
            t.proc = lpTimerFunc;
            queue->Wake();
            return hWnd ? 1 : nIDEvent;
        }
    }
    queue->timers.push_back(Timer{hWnd, nIDEvent, period, start + period, lpTimerFunc});
    queue->Wake();
    return hWnd ? 1 : nIDEvent;
}

extern "C" BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    UserLock lock = LockUser();
    std::shared_ptr<Queue> queue = QueueOfWindowLocked(hWnd);
    if (!queue) return FALSE;
    auto &timers = queue->timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer &t) { return t.hwnd == hWnd && t.id == uIDEvent; });
    if (it == timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timers.erase(it);
    return TRUE;
}
