// Messages posted to the main thread of another host program. Each program's
// main thread has a mailbox, a datagram socket named by its thread id and its
// PC; a receiver thread moves what arrives into the thread's message queue, so
// the queue's own wait (terminal or condition variable) wakes as for any post.
#pragma once

#include <windows.h>

#include <sys/types.h>

namespace win32 {

// Called by main() on the main thread before the program runs: takes over the
// mailbox its starter made for it, or opens one of its own.
void OpenMainThreadMailbox();

// For CreateProcessA: a mailbox socket for a child about to start (-1 on
// failure). The child inherits it under the descriptor number it has here;
// `BindChildMailbox` names it once the child's id is known, so messages
// posted right after the start wait for the child instead of failing.
int CreateChildMailbox();
void BindChildMailbox(int fd, pid_t child);

// The environment variable that hands the child its mailbox descriptor.
inline constexpr const char *kMailboxVariable = "TOLVANE_MAILBOX_FD";

}  // namespace win32
