// The end of the user's session as a program sees it: WM_QUERYENDSESSION to
// each of its top-level windows, then WM_ENDSESSION, then the program ends.
// Whoever learns of the end (a signal in the front end, ExitWindowsEx, the
// automation) only requests it; the thread delivers it when it next takes
// messages, as Windows delivers its sent messages.
#pragma once

#include <cstdint>
#include <functional>

#include "user/message.h"

namespace user {

// Thrown on the program's thread once a real end has been delivered: it ends
// the program wherever it stands, as Windows terminates the process. The host's
// main() and the automation catch it; the exit code is then 0.
struct ProgramEnded {};

// Marks the end for the queue's thread and wakes it. A request made while one
// is being delivered waits for it to finish.
void RequestSessionEndLocked(Queue &queue, SessionEnd kind);
void RequestSessionEnd(SessionEnd kind);  // for the calling thread

// From the message retrieval, with the lock held: delivers a pending end.
// Throws ProgramEnded if the session ends.
void DeliverSessionEndLocked(Queue &queue, UserLock &lock);

// An exception that escaped the program's code on the calling thread (memory
// ran out, say) leaves its windows and its own state as they were: delivers a
// forced end of the session to those windows, so that the program's own
// handlers put back what it changed. False when that failed too.
bool EndSessionAfterFault();

// A program still busy with its end after `timeoutMs` of real time (say, a
// message box nobody can answer once the terminal has gone) is ended by
// `onHung`, called on another thread; the time counts from the request of the
// end. Nothing is armed until this is set.
void SetHungEndHandler(std::int64_t timeoutMs, std::function<void()> onHung);

}  // namespace user
