// Delivering the end of the session to a thread's windows, and ExitWindowsEx,
// which ends the session of every host program of the PC and, unless it only
// logs off, restarts the simulated Windows.
#include "user/session_end.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "pc/power.h"
#include "pc/session.h"
#include "user/window.h"

namespace user {

namespace {

struct HungEnd {
    std::mutex mutex;
    std::int64_t timeoutMs = 0;
    std::function<void()> onHung;
    std::atomic<std::uint64_t> ticket{0};  // the watch that still counts
};

HungEnd &Hung()
{
    static HungEnd hung;
    return hung;
}

// Starts a watch over a real end; 0 when no handler is set.
std::uint64_t ArmHungEnd()
{
    HungEnd &hung = Hung();
    std::lock_guard guard(hung.mutex);
    if (!hung.onHung)
        return 0;
    std::uint64_t ticket = ++hung.ticket;
    std::thread([ticket, timeout = hung.timeoutMs, onHung = hung.onHung] {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
        if (Hung().ticket == ticket)
            onHung();
    }).detach();
    return ticket;
}

void DisarmHungEnd(std::uint64_t ticket)
{
    if (ticket)
        Hung().ticket.compare_exchange_strong(ticket, ticket + 1);
}

// Hidden windows too, topmost first, as the system enumerates them.
std::vector<HWND> TopLevelWindowsLocked(const Queue &queue)
{
    std::vector<HWND> windows;
    auto &z = State().zOrder;
    for (auto it = z.rbegin(); it != z.rend(); ++it)
        if (Window *w = Find(*it); w && w->queue.get() == &queue)
            windows.push_back(*it);
    return windows;
}

// Returns whether the session ends for this program.
bool Deliver(SessionEnd kind, const std::vector<HWND> &windows)
{
    bool ending = kind != SessionEnd::kCancelled;
    std::uint64_t ticket = ending ? ArmHungEnd() : 0;
    std::vector<HWND> asked;
    for (HWND h : windows) {
        if (!IsWindow(h))
            continue;
        asked.push_back(h);
        // One refusal calls off a polite end; a forced one only informs.
        if (!SendMessageA(h, WM_QUERYENDSESSION, 0, 0) && kind == SessionEnd::kEnding) {
            ending = false;
            break;
        }
    }
    if (!ending)
        DisarmHungEnd(ticket);
    for (HWND h : asked)
        if (IsWindow(h))
            SendMessageA(h, WM_ENDSESSION, ending, 0);
    return ending;
}

}  // namespace

void RequestSessionEndLocked(Queue &queue, SessionEnd kind)
{
    if (kind > queue.sessionEnd)
        queue.sessionEnd = kind;
    NotifyQueueLocked(queue);
}

void RequestSessionEnd(SessionEnd kind)
{
    auto queue = CurrentQueue();
    UserLock lock = LockUser();
    RequestSessionEndLocked(*queue, kind);
}

void DeliverSessionEndLocked(Queue &queue, UserLock &lock)
{
    // A message box shown while the end is delivered runs a loop of its own;
    // a second end must not start inside the first.
    while (queue.sessionEnd != SessionEnd::kNone && !queue.endingSession) {
        SessionEnd kind = queue.sessionEnd;
        queue.sessionEnd = SessionEnd::kNone;
        queue.endingSession = true;
        std::vector<HWND> windows = TopLevelWindowsLocked(queue);
        lock.unlock();
        bool ending = Deliver(kind, windows);
        lock.lock();
        queue.endingSession = false;
        if (ending)
            throw ProgramEnded{};
    }
}

void SetHungEndHandler(std::int64_t timeoutMs, std::function<void()> onHung)
{
    HungEnd &hung = Hung();
    std::lock_guard guard(hung.mutex);
    hung.timeoutMs = timeoutMs;
    hung.onHung = std::move(onHung);
}

}  // namespace user

using namespace user;

// Asynchronous as on Windows: the caller gets TRUE and its own end arrives
// when it next takes messages, if it is still running by then. A program that
// refuses cannot stop the restart here; it only keeps running.
extern "C" BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason)
{
    (void)dwReason;
    constexpr UINT kKnown = EWX_SHUTDOWN | EWX_REBOOT | EWX_FORCE | EWX_POWEROFF;
    if (uFlags & ~kKnown) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool forced = (uFlags & EWX_FORCE) != 0;
    pc::DeliverSessionEnd(forced ? pc::SessionEndKind::kForcedEnd : pc::SessionEndKind::kEnd);
    RequestSessionEnd(forced ? SessionEnd::kForced : SessionEnd::kEnding);
    // After a shut-down the next program finds a Windows started afresh, as
    // after a restart; a log-off leaves Windows, and its atoms, as they are.
    if (uFlags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF))
        pc::RestartWindows();
    return TRUE;
}
