// Delivering the end of the session to a thread's windows, and ExitWindowsEx,
// which ends the session of every host program of the PC and, unless it only
// logs off, restarts the simulated Windows.
#include "user/session_end.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
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

// The grace of a real end counts from its request, also while it waits for
// another end being delivered (say, the box of a cancelled end that nobody
// can answer once the terminal has gone).
void WatchRealEndLocked(Queue &queue)
{
    if (!queue.hungEndWatch || Hung().ticket != queue.hungEndWatch)
        queue.hungEndWatch = ArmHungEnd();
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

// Returns whether the session ends for this program. A refusal drops the
// watch `hungWatch` before the windows hear that the end is off.
bool Deliver(SessionEnd kind, const std::vector<HWND> &windows, std::uint64_t hungWatch)
{
    bool ending = kind != SessionEnd::kCancelled;
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
        DisarmHungEnd(hungWatch);
    for (HWND h : asked)
        if (IsWindow(h))
            SendMessageA(h, WM_ENDSESSION, ending, 0);
    return ending;
}

// Marks the queue's end as under way for as long as it is delivered, however
// the delivery is left: an exception that escapes a window's handler must not
// keep every later end from being delivered.
class Delivering {
public:
    Delivering(Queue &queue, UserLock &lock) : queue_(queue), lock_(lock)
    {
        queue_.endingSession = true;
    }
    ~Delivering()
    {
        if (!lock_.owns_lock())
            lock_.lock();
        queue_.endingSession = false;
    }
    Delivering(const Delivering &) = delete;
    Delivering &operator=(const Delivering &) = delete;

private:
    Queue &queue_;
    UserLock &lock_;
};

}  // namespace

void RequestSessionEndLocked(Queue &queue, SessionEnd kind)
{
    if (kind > queue.sessionEnd)
        queue.sessionEnd = kind;
    if (kind != SessionEnd::kCancelled)
        WatchRealEndLocked(queue);
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
        // The watch is gone if the end before this one was refused.
        if (kind != SessionEnd::kCancelled)
            WatchRealEndLocked(queue);
        const std::uint64_t hungWatch = kind != SessionEnd::kCancelled ? queue.hungEndWatch : 0;
        bool ending;
        {
            Delivering delivering(queue, lock);
            std::vector<HWND> windows = TopLevelWindowsLocked(queue);
            lock.unlock();
            ending = Deliver(kind, windows, hungWatch);
            lock.lock();
        }
        if (ending)
            throw ProgramEnded{};
        if (hungWatch && queue.hungEndWatch == hungWatch)
            queue.hungEndWatch = 0;
    }
}

bool EndSessionAfterFault()
{
    auto queue = CurrentQueue();
    try {
        UserLock lock = LockUser();
        RequestSessionEndLocked(*queue, SessionEnd::kForced);
        DeliverSessionEndLocked(*queue, lock);
    } catch (const ProgramEnded &) {
        return true;
    } catch (const std::exception &) {
        return false;
    }
    return false;  // a forced end always ends the program
}

void SetHungEndHandler(std::int64_t timeoutMs, std::function<void()> onHung)
{
    HungEnd &hung = Hung();
    std::lock_guard guard(hung.mutex);
    hung.timeoutMs = timeoutMs;
    hung.onHung = std::move(onHung);
    // Watches armed before, which hold the handler they were armed with, end.
    ++hung.ticket;
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
