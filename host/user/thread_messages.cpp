// The main thread's mailbox feeds its queue: each mail becomes a posted
// message there, so the queue's own wait (terminal or condition variable)
// wakes as for any post.
#include "user/thread_messages.h"

#include <windows.h>

#include <memory>

#include "kernel/thread_mailbox.h"
#include "user/message.h"

namespace user {

namespace {

// The queue the mailbox feeds. Never destroyed: the receiver may still be
// posting while the process exits.
std::shared_ptr<Queue> *gMailboxQueue = nullptr;

MSG ThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = MessageTime();
    return msg;
}

BOOL PostToQueue(Queue &queue, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg = ThreadMessage(message, wParam, lParam);
    UserLock lock = LockUser();
    if (!PostMessageLocked(queue, msg)) {
        if (!queue.alive)
            SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void ReceiveThreadMessages()
{
    if (gMailboxQueue)
        return;
    // The user state must outlive the exit handler that stops the receiver.
    {
        UserLock touch = LockUser();
    }
    std::shared_ptr<Queue> queue = CurrentQueue();
    bool opened = kernel::OpenMainThreadMailbox([queue](const kernel::ThreadMail &mail) {
        MSG msg = ThreadMessage(mail.message, mail.wParam, mail.lParam);
        UserLock lock = LockUser();
        PostMessageLocked(*queue, msg);
    });
    if (opened)
        gMailboxQueue = new std::shared_ptr<Queue>(queue);
}

}  // namespace user

extern "C" BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    using namespace user;
    if (idThread != 0 && idThread == GetCurrentThreadId())
        return PostToQueue(*CurrentQueue(), Msg, wParam, lParam);
    if (gMailboxQueue && idThread == kernel::MailboxThreadId())
        return PostToQueue(**gMailboxQueue, Msg, wParam, lParam);
    DWORD error = kernel::SendThreadMail(idThread, kernel::ThreadMail{Msg, wParam, lParam});
    if (error == ERROR_SUCCESS)
        return TRUE;
    SetLastError(error);
    return FALSE;
}
