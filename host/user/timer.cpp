// SetTimer and KillTimer over the calling or owning thread's timer list, so
// that on the virtual clock timers fire when a test moves time.
#include "user/timer.h"

#include <algorithm>
#include <limits>

#include "user/message.h"

namespace user {

namespace {

constexpr std::int64_t kMs = 1'000'000;

}  // namespace

UINT_PTR TimerList::Set(HWND hwnd, UINT_PTR id, std::int64_t periodNs, TIMERPROC proc,
                        std::int64_t nowNs)
{
    // The clock's millisecond, like the tick count Windows schedules timers on.
    const std::int64_t start = nowNs / kMs * kMs;
    if (!hwnd) {
        auto used = [&](UINT_PTR candidate) {
            return std::any_of(timers_.begin(), timers_.end(),
                               [&](const Timer &t) { return !t.hwnd && t.id == candidate; });
        };
        if (id == 0 || !used(id)) {
            do
                id = nextThreadTimerId_++;
            while (id == 0 || used(id));
        }
    }
    for (Timer &t : timers_) {
        if (t.hwnd == hwnd && t.id == id) {
            t.periodNs = periodNs;
            t.dueNs = start + periodNs;
            t.proc = proc;
            return id;
        }
    }
    timers_.push_back(Timer{hwnd, id, periodNs, start + periodNs, proc});
    return id;
}

bool TimerList::Kill(HWND hwnd, UINT_PTR id)
{
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer &t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers_.end())
        return false;
    timers_.erase(it);
    return true;
}

void TimerList::KillWindow(HWND hwnd)
{
    std::erase_if(timers_, [hwnd](const Timer &t) { return t.hwnd == hwnd; });
}

std::int64_t TimerList::NextDue() const
{
    std::int64_t due = std::numeric_limits<std::int64_t>::max();
    for (const Timer &t : timers_)
        due = std::min(due, t.dueNs);
    return due;
}

bool TimerList::TakeDue(std::int64_t nowNs, MSG &out)
{
    Timer *first = nullptr;
    for (Timer &t : timers_)
        if (t.dueNs <= nowNs && (!first || t.dueNs < first->dueNs))
            first = &t;
    if (!first)
        return false;
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

}  // namespace user

using namespace user;

extern "C" UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse,
                                    TIMERPROC lpTimerFunc)
{
    UserLock lock = LockUser();
    std::shared_ptr<Queue> queue = QueueOfWindowLocked(hWnd);
    if (!queue)
        return 0;
    uElapse = std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    UINT_PTR id = queue->timers.Set(hWnd, nIDEvent, static_cast<std::int64_t>(uElapse) * kMs,
                                    lpTimerFunc, NowNs());
    queue->Wake();
    return hWnd ? 1 : id;
}

extern "C" BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    UserLock lock = LockUser();
    std::shared_ptr<Queue> queue = QueueOfWindowLocked(hWnd);
    if (!queue)
        return FALSE;
    if (!queue->timers.Kill(hWnd, uIDEvent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
