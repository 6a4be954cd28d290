// The mailboxes that carry posted messages to the main thread of another host
// program. Each program's main thread has one, a datagram socket named by its
// thread id and its PC; a receiver thread hands what arrives to whoever opened
// the mailbox. The kernel only carries the mail: the user services put it in
// the thread's message queue.
#pragma once

#include <windows.h>

#include <sys/types.h>

#include <functional>

namespace kernel {

struct ThreadMail {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Called once, on the main thread, before the program runs: takes over the
// mailbox its starter made for it, or opens one of its own. From then on
// `deliver` gets each mail that arrives, on the mailbox's receiver thread.
// False when there is none (no PC is attached).
bool OpenMainThreadMailbox(std::function<void(const ThreadMail &)> deliver);

// The thread whose mailbox this process opened; 0 when none.
DWORD MailboxThreadId();

// Mails the main thread `threadId` of a host program on this PC. Returns
// ERROR_SUCCESS, ERROR_INVALID_THREAD_ID when no such thread has a mailbox,
// ERROR_NOT_ENOUGH_QUOTA when its mailbox is full, or ERROR_NOT_ENOUGH_MEMORY.
DWORD SendThreadMail(DWORD threadId, const ThreadMail &mail);

// For CreateProcessA: a mailbox socket for a child about to start (-1 on
// failure). The child inherits it under the descriptor number it has here;
// `BindChildMailbox` names it once the child's id is known, so messages
// posted right after the start wait for the child instead of failing.
int CreateChildMailbox();
void BindChildMailbox(int fd, pid_t child);

// The environment variable that hands the child its mailbox descriptor.
inline constexpr const char *kMailboxVariable = "TOLVANE_MAILBOX_FD";

}  // namespace kernel
