// Messages posted to a thread rather than a window, PostThreadMessageA: to a
// thread of this program straight into its queue, to the main thread of
// another host program through the kernel's thread mailboxes.
#pragma once

namespace user {

// Called by main() on the main thread before the program runs: mail that
// arrives for this thread from other host programs is posted to its queue.
void ReceiveThreadMessages();

}  // namespace user
