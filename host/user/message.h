// The message queue of a thread: messages sent from other threads, posted
// messages, input (keys, clicks, the close command), the quit flag and the
// timers, retrieved in that order as GetMessage does on Windows.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "user/timer.h"
#include "user/user_frontend.h"
#include "user/window.h"

namespace user {

// A fixed-capacity ring that grows only when full, so that steady traffic
// never allocates.
template <typename T>
class Ring {
public:
    bool Empty() const { return count_ == 0; }
    size_t Size() const { return count_; }
    T &Front() { return items_[head_]; }
    T &At(size_t i) { return items_[(head_ + i) % items_.size()]; }
    void PopFront()
    {
        head_ = (head_ + 1) % items_.size();
        --count_;
    }
    void Remove(size_t i)
    {
        for (size_t k = i; k + 1 < count_; ++k)
            At(k) = At(k + 1);
        --count_;
    }
    void PushBack(const T &item)
    {
        if (count_ == items_.size())
            Grow();
        items_[(head_ + count_) % items_.size()] = item;
        ++count_;
    }
    void PushFront(const T &item)
    {
        if (count_ == items_.size())
            Grow();
        head_ = (head_ + items_.size() - 1) % items_.size();
        items_[head_] = item;
        ++count_;
    }

private:
    void Grow()
    {
        std::vector<T> bigger(items_.empty() ? 16 : items_.size() * 2);
        for (size_t i = 0; i < count_; ++i)
            bigger[i] = At(i);
        items_.swap(bigger);
        head_ = 0;
    }
    std::vector<T> items_;
    size_t head_ = 0, count_ = 0;
};

// Input as a user gives it; turned into messages when the thread takes it, so
// that the focus and enabled state of that moment decide where it goes.
// The left mouse button: kButtonDown, kMouseMove while it is down, kButtonUp.
// The move and the release go to the window that has the mouse captured, if
// any, else to the one pointed at.
struct InputEvent {
    enum Kind {
        kKeyDown,
        kKeyUp,
        kButtonDown,
        kMouseMove,
        kButtonUp,
        kClose,
        kWheel
    } kind = kKeyDown;
    int vk = 0;  // keys; the wheel: notches, positive away from the user
    bool shift = false;
    HWND hwnd = nullptr;  // mouse, wheel: the window pointed at (or none); close: the window
                          // (nullptr: the active one)
    // The mouse: the screen cell. -1: a button pressed by other means, whose
    // release follows at once, as a click.
    int x = -1, y = -1;
};

// An end of the user's session waiting for the thread (see user/session_end.h),
// strongest last, so that two requests merge into the stronger.
enum class SessionEnd { kNone, kCancelled, kEnding, kForced };

struct SentMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct Queue {
    std::thread::id thread;
    bool alive = true;
    std::vector<SentMessage *> sent;
    Ring<MSG> posted;
    Ring<InputEvent> input;
    bool quit = false;
    int quitCode = 0;
    TimerList timers;
    bool shiftDown = false;                     // GetKeyState(VK_SHIFT) while a key is handled
    SessionEnd sessionEnd = SessionEnd::kNone;  // requested, not yet delivered
    bool endingSession = false;                 // being delivered now
    std::uint64_t hungEndWatch = 0;             // the watch over a real end owed; 0: none

    FrontEnd *frontEnd = nullptr;
    std::condition_variable wake;

    void Wake();  // with the lock held
};

// The calling thread's queue, made on first use.
std::shared_ptr<Queue> CurrentQueue();

// ---- With the lock held ----
// The queue of the thread that owns `hwnd`, or the calling thread's for NULL;
// nullptr, with ERROR_INVALID_WINDOW_HANDLE set, for a window that is not there.
std::shared_ptr<Queue> QueueOfWindowLocked(HWND hwnd);
// Hand a queue work from another thread (or from a front end) and wake it.
void PostInputLocked(Queue &queue, const InputEvent &event);
bool PostMessageLocked(Queue &queue, const MSG &msg);
void NotifyQueueLocked(Queue &queue);  // e.g. after the clock moved
// Sends to the window without waiting for it: its thread handles the message
// with its sent messages the next time it takes messages, as SendNotifyMessage
// does for a window of another thread.
void SendNotifyLocked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// WM_QUIT for the queue's thread, as PostQuitMessage on that thread.
void QuitQueueLocked(Queue &queue, int exitCode);

// Message time stamps and timer due times: milliseconds of the PC's clock.
std::int64_t NowNs();
DWORD MessageTime();

// The thread's wait when it has nothing to do. Returns with the lock held.
void WaitForWork(Queue &queue, UserLock &lock, std::int64_t timeoutNs);

// Sends to a window of another thread and waits for its reply at most
// `timeoutMs` (negative: no limit). False if the thread ended or time ran out.
bool SendToOtherThread(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT &result,
                       std::int64_t timeoutMs);

// Ends a thread's part in the user services: destroys its windows, answers
// messages still waiting to be sent to it.
void EndThreadQueue();

}  // namespace user
