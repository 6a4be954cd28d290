// Message queues: posting, sending (across threads too), and the retrieval
// order of GetMessage and PeekMessage: sent messages first, then posted ones,
// the quit flag, input, and timers last. A thread with nothing to do waits on
// its front end or a condition variable, never in a busy loop.
#include "user/message.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "pc/timesource.h"
#include "user/hooks.h"
#include "user/session_end.h"

namespace user {

namespace {

// Windows refuses posts beyond this many waiting messages.
constexpr size_t kPostedLimit = 10000;
// On the virtual clock time moves when someone moves it; a thread without a
// front end to tell it looks again after this much real time.
constexpr std::int64_t kVirtualRecheckNs = 100'000'000;

struct ThreadQueue {
    std::shared_ptr<Queue> queue;
    ~ThreadQueue()
    {
        if (queue)
            EndThreadQueue();
    }
};
thread_local ThreadQueue tThread;

std::condition_variable &Replies()
{
    static std::condition_variable cv;
    return cv;
}

struct PendingSend {
    SentMessage message;
    bool taken = false;
};
// Sent messages waiting for their receiver; shared so that a sender that
// gives up leaves the receiver a valid record.
std::vector<std::shared_ptr<PendingSend>> &PendingSends()
{
    static std::vector<std::shared_ptr<PendingSend>> pending;
    return pending;
}

bool InRange(UINT message, UINT low, UINT high)
{
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool MatchesWindow(HWND message, HWND filter)
{
    if (!filter)
        return true;
    if (filter == reinterpret_cast<HWND>(-1))
        return message == nullptr;
    return IsInside(Find(message), filter);
}

void RunSentMessages(Queue &queue, UserLock &lock)
{
    auto &pending = PendingSends();
    for (;;) {
        auto it = std::find_if(pending.begin(), pending.end(), [&](const auto &p) {
            Window *w = Find(p->message.hwnd);
            return !p->taken && (!w || w->queue.get() == &queue);
        });
        if (it == pending.end())
            return;
        std::shared_ptr<PendingSend> p = *it;
        pending.erase(it);
        p->taken = true;
        lock.unlock();
        LRESULT result =
            CallProc(p->message.hwnd, p->message.message, p->message.wParam, p->message.lParam);
        lock.lock();
        p->message.result = result;
        p->message.done = true;
        Replies().notify_all();
    }
}

// A screen cell as a point of a window's client area, as mouse messages
// carry it (in cells here).
LPARAM ClientPoint(Window *w, int x, int y)
{
    Window *top = TopLevelOf(w);
    int left = top->cells.x + 1, row = top->cells.y + 1;  // inside the frame
    if (w != top) {
        left += w->cells.x;
        row += w->cells.y;
    }
    return MAKELPARAM(static_cast<WORD>(static_cast<short>(x - left)),
                      static_cast<WORD>(static_cast<short>(y - row)));
}

// Where the mouse goes: the window that captured it, else the one pointed
// at if it takes input; nullptr when neither is this thread's.
Window *MouseTarget(Queue &queue, HWND pointedAt)
{
    if (Window *captured = Find(State().capture))
        return captured->queue.get() == &queue ? captured : nullptr;
    Window *w = Find(pointedAt);
    return w && w->queue.get() == &queue && TakesInput(w) ? w : nullptr;
}

// Turns the first input event into a message. Returns false when the event
// goes nowhere (nothing can take it) and has been dropped.
bool ConvertInput(Queue &queue, MSG &out)
{
    InputEvent event = queue.input.Front();
    queue.input.PopFront();
    out = MSG{};
    out.time = MessageTime();
    switch (event.kind) {
    case InputEvent::kKeyDown:
    case InputEvent::kKeyUp: {
        Window *target = KeyboardTarget();
        if (!target || target->queue.get() != &queue)
            return false;
        queue.shiftDown = event.shift;
        out.hwnd = target->handle;
        out.wParam = static_cast<WPARAM>(event.vk);
        if (event.kind == InputEvent::kKeyDown) {
            out.message = WM_KEYDOWN;
            out.lParam = 1;
            InputEvent up = event;
            up.kind = InputEvent::kKeyUp;
            queue.input.PushFront(up);
        } else {
            out.message = WM_KEYUP;
            out.lParam = static_cast<LPARAM>(0xC0000001u);
        }
        return true;
    }
    case InputEvent::kButtonDown: {
        // A disabled window, or one under a modal box, takes no clicks.
        Window *w = Find(event.hwnd);
        if (!w || w->queue.get() != &queue || !TakesInput(w))
            return false;
        Window *top = TopLevelOf(w);
        if (ActiveWindow() != top)
            BringToTop(top);
        out.hwnd = w->handle;
        out.message = WM_LBUTTONDOWN;
        out.wParam = MK_LBUTTON;
        if (event.x >= 0) {
            out.lParam = ClientPoint(w, event.x, event.y);
        } else {
            InputEvent up = event;
            up.kind = InputEvent::kButtonUp;
            queue.input.PushFront(up);
        }
        return true;
    }
    case InputEvent::kMouseMove:
    case InputEvent::kButtonUp: {
        Window *w = MouseTarget(queue, event.hwnd);
        if (!w)
            return false;
        const bool up = event.kind == InputEvent::kButtonUp;
        out.hwnd = w->handle;
        out.message = up ? WM_LBUTTONUP : WM_MOUSEMOVE;
        out.wParam = up ? 0 : MK_LBUTTON;
        if (event.x >= 0)
            out.lParam = ClientPoint(w, event.x, event.y);
        return true;
    }
    case InputEvent::kClose: {
        Window *w = event.hwnd ? Find(event.hwnd) : ActiveWindow();
        if (!w || w->queue.get() != &queue || !TakesInput(w))
            return false;
        out.hwnd = w->handle;
        out.message = WM_SYSCOMMAND;
        out.wParam = SC_CLOSE;
        return true;
    }
    case InputEvent::kWheel: {
        // To the top-level window under the pointer, as later Windows do:
        // in a terminal the pointer says which window is meant.
        Window *top = TopLevelOf(Find(event.hwnd));
        if (!top || top->queue.get() != &queue || !TakesInput(top))
            return false;
        out.hwnd = top->handle;
        out.message = WM_MOUSEWHEEL;
        out.wParam = MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(event.vk * WHEEL_DELTA)));
        return true;
    }
    }
    return false;
}

bool TakeMessage(Queue &queue, UserLock &lock, MSG &out, HWND filter, UINT low, UINT high,
                 bool remove)
{
    RunSentMessages(queue, lock);
    // The system sends the end of the session, so it arrives like a sent message.
    DeliverSessionEndLocked(queue, lock);
    for (size_t i = 0; i < queue.posted.Size(); ++i) {
        MSG &m = queue.posted.At(i);
        if (!InRange(m.message, low, high) || !MatchesWindow(m.hwnd, filter))
            continue;
        out = m;
        if (remove)
            queue.posted.Remove(i);
        return true;
    }
    if (queue.quit && InRange(WM_QUIT, low, high)) {
        out = MSG{};
        out.message = WM_QUIT;
        out.wParam = static_cast<WPARAM>(queue.quitCode);
        out.time = MessageTime();
        if (remove)
            queue.quit = false;
        return true;
    }
    if (!filter && remove) {
        while (!queue.input.Empty())
            if (ConvertInput(queue, out))
                return true;
    }
    if (InRange(WM_TIMER, low, high)) {
        std::int64_t now = NowNs();
        if (remove) {
            // Timer messages for windows that no longer pass the filter stay due.
            if (!filter && queue.timers.TakeDue(now, out))
                return true;
        } else if (queue.timers.NextDue() <= now) {
            for (const Timer &t : queue.timers.All()) {
                if (t.dueNs > now || !MatchesWindow(t.hwnd, filter))
                    continue;
                out = TimerMessage(t, now);
                return true;
            }
        }
    }
    return false;
}

std::int64_t WaitTimeout(const Queue &queue)
{
    std::int64_t due = queue.timers.NextDue();
    if (due == std::numeric_limits<std::int64_t>::max())
        return -1;
    // A front end hears of the virtual clock's moves itself.
    if (pc::IsVirtualTime())
        return queue.frontEnd ? -1 : kVirtualRecheckNs;
    return std::max<std::int64_t>(0, due - NowNs());
}

}  // namespace

void Queue::Wake()
{
    if (frontEnd)
        frontEnd->Wake();
    else
        wake.notify_all();
}

std::shared_ptr<Queue> CurrentQueue()
{
    if (!tThread.queue) {
        tThread.queue = std::make_shared<Queue>();
        tThread.queue->thread = std::this_thread::get_id();
    }
    return tThread.queue;
}

std::shared_ptr<Queue> QueueOfWindowLocked(HWND hwnd)
{
    if (!hwnd)
        return CurrentQueue();
    Window *w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return w->queue;
}

void PostInputLocked(Queue &queue, const InputEvent &event)
{
    queue.input.PushBack(event);
    NotifyQueueLocked(queue);
}

bool PostMessageLocked(Queue &queue, const MSG &msg)
{
    if (!queue.alive)
        return false;
    if (queue.posted.Size() >= kPostedLimit) {
        SetLastError(ERROR_NOT_ENOUGH_QUOTA);
        return false;
    }
    queue.posted.PushBack(msg);
    NotifyQueueLocked(queue);
    return true;
}

void NotifyQueueLocked(Queue &queue)
{
    if (const auto &hook = HooksLocked().queueNotified)
        hook(queue);
    queue.Wake();
}

void SendNotifyLocked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window *w = Find(hwnd);
    if (!w || !w->queue || !w->queue->alive)
        return;
    auto p = std::make_shared<PendingSend>();
    p->message = SentMessage{hwnd, msg, wParam, lParam};
    PendingSends().push_back(p);
    NotifyQueueLocked(*w->queue);
}

void QuitQueueLocked(Queue &queue, int exitCode)
{
    queue.quit = true;
    queue.quitCode = exitCode;
    NotifyQueueLocked(queue);
}

std::int64_t NowNs()
{
    return pc::Now();
}

DWORD MessageTime()
{
    return static_cast<DWORD>(NowNs() / 1'000'000);
}

void WaitForWork(Queue &queue, UserLock &lock, std::int64_t timeoutNs)
{
    if (FrontEnd *frontEnd = queue.frontEnd) {
        lock.unlock();
        frontEnd->Wait(timeoutNs);
        lock.lock();
    } else if (timeoutNs < 0) {
        queue.wake.wait(lock);
    } else {
        queue.wake.wait_for(lock, std::chrono::nanoseconds(timeoutNs));
    }
}

bool SendToOtherThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT &result,
                       std::int64_t timeoutMs)
{
    auto p = std::make_shared<PendingSend>();
    p->message = SentMessage{hwnd, msg, wParam, lParam};
    UserLock lock = LockUser();
    Window *w = Find(hwnd);
    if (!w || !w->queue->alive)
        return false;
    std::shared_ptr<Queue> queue = w->queue;
    PendingSends().push_back(p);
    NotifyQueueLocked(*queue);
    auto finished = [&] { return p->message.done || !queue->alive; };
    if (timeoutMs < 0) {
        Replies().wait(lock, finished);
    } else if (!Replies().wait_for(lock, std::chrono::milliseconds(timeoutMs), finished)) {
        std::erase(PendingSends(), p);
        return false;
    }
    std::erase(PendingSends(), p);
    result = p->message.result;
    return p->message.done;
}

void EndThreadQueue()
{
    std::shared_ptr<Queue> queue = tThread.queue;
    UserLock lock = LockUser();
    queue->alive = false;
    UserState &s = State();
    // Windows that die with their thread get no messages any more.
    std::vector<HWND> mine;
    for (auto &[h, w] : s.windows)
        if (w->queue == queue)
            mine.push_back(h);
    for (HWND h : mine) {
        std::erase(s.zOrder, h);
        s.windows.erase(h);
    }
    for (auto &[h, w] : s.windows)
        std::erase_if(w->children,
                      [&](HWND c) { return std::find(mine.begin(), mine.end(), c) != mine.end(); });
    Touch();
    Replies().notify_all();
    if (const auto &hook = HooksLocked().queueIdle)
        hook(*queue, true);
}

void SetFrontEnd(FrontEnd *frontEnd)
{
    auto queue = CurrentQueue();
    UserLock lock = LockUser();
    queue->frontEnd = frontEnd;
}

}  // namespace user

using namespace user;

namespace {

BOOL NextMessage(LPMSG msg, HWND hwnd, UINT low, UINT high, bool remove, bool wait)
{
    auto queue = CurrentQueue();
    UserLock lock = LockUser();
    for (;;) {
        if (TakeMessage(*queue, lock, *msg, hwnd, low, high, remove))
            return TRUE;
        if (!wait)
            return FALSE;
        if (const auto &hook = HooksLocked().queueIdle)
            hook(*queue, true);
        if (queue->frontEnd)
            queue->frontEnd->Idle();
        WaitForWork(*queue, lock, WaitTimeout(*queue));
        if (const auto &hook = HooksLocked().queueIdle)
            hook(*queue, false);
    }
}

}  // namespace

extern "C" BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hWnd && !IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true);
    return lpMsg->message != WM_QUIT;
}

extern "C" BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                    UINT wRemoveMsg)
{
    if (!lpMsg)
        return FALSE;
    return NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0,
                       false);
}

extern "C" BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    UserLock lock = LockUser();
    std::shared_ptr<Queue> queue = QueueOfWindowLocked(hWnd);
    if (!queue)
        return FALSE;
    MSG msg{};
    msg.hwnd = hWnd;
    msg.message = Msg;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = MessageTime();
    return PostMessageLocked(*queue, msg);
}

extern "C" LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc;
    {
        UserLock lock = LockUser();
        Window *w = Find(hWnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->queue->thread != std::this_thread::get_id()) {
            lock.unlock();
            LRESULT result = 0;
            SendToOtherThread(hWnd, Msg, wParam, lParam, result, -1);
            return result;
        }
        proc = w->proc;
    }
    return proc ? proc(hWnd, Msg, wParam, lParam) : 0;
}

extern "C" LRESULT WINAPI DispatchMessageA(const MSG *lpMsg)
{
    if (!lpMsg)
        return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, lpMsg->time);
        return 0;
    }
    if (!lpMsg->hwnd)
        return 0;
    return CallProc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

extern "C" BOOL WINAPI TranslateMessage(const MSG *lpMsg)
{
    if (!lpMsg || lpMsg->message != WM_KEYDOWN)
        return FALSE;
    WPARAM vk = lpMsg->wParam;
    char c = 0;
    if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_TAB || vk == VK_BACK)
        c = static_cast<char>(vk);
    else if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        c = static_cast<char>(vk);
    if (!c)
        return FALSE;
    if (c >= 'A' && c <= 'Z' && !(GetKeyState(VK_SHIFT) & 0x8000))
        c = static_cast<char>(c - 'A' + 'a');
    return PostMessageA(lpMsg->hwnd, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)),
                        lpMsg->lParam);
}

extern "C" void WINAPI PostQuitMessage(int nExitCode)
{
    auto queue = CurrentQueue();
    UserLock lock = LockUser();
    QuitQueueLocked(*queue, nExitCode);
}

extern "C" SHORT WINAPI GetKeyState(int nVirtKey)
{
    auto queue = CurrentQueue();
    UserLock lock = LockUser();
    if (nVirtKey == VK_SHIFT && queue->shiftDown)
        return static_cast<SHORT>(0x8000);
    return 0;
}
