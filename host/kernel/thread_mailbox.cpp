// Mailboxes live in the abstract socket namespace, so they need no files and
// vanish with their process: a post to a program that has ended is refused at
// once. The name carries the PC's identity, keeping separate PCs apart.
#include "kernel/thread_mailbox.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "pc/machine.h"

namespace kernel {

namespace {

struct Packet {
    std::uint32_t message;
    std::uint32_t pad;
    std::uint64_t wParam;
    std::int64_t lParam;
};

struct Address {
    sockaddr_un un{};
    socklen_t length = 0;
};

// False when no PC is attached: there is nobody to post to.
bool MailboxAddress(DWORD threadId, Address &address)
{
    std::string directory = pc::AttachedDirectory();
    struct stat info;
    if (directory.empty() || stat((directory + "/state").c_str(), &info) != 0)
        return false;
    char name[sizeof address.un.sun_path];
    int length = std::snprintf(name, sizeof name, "%ctolvane-thread/%llx-%llx/%lu", '\0',
                               static_cast<unsigned long long>(info.st_dev),
                               static_cast<unsigned long long>(info.st_ino),
                               static_cast<unsigned long>(threadId));
    address.un.sun_family = AF_UNIX;
    std::memcpy(address.un.sun_path, name, static_cast<std::size_t>(length));
    address.length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + static_cast<std::size_t>(length));
    return true;
}

bool Bind(int fd, DWORD threadId)
{
    Address address;
    return MailboxAddress(threadId, address) &&
           bind(fd, reinterpret_cast<const sockaddr *>(&address.un), address.length) == 0;
}

bool IsMailboxSocket(int fd)
{
    int type = 0;
    socklen_t size = sizeof type;
    sockaddr_un address{};
    socklen_t addressSize = sizeof address;
    return getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) == 0 && type == SOCK_DGRAM &&
           getsockname(fd, reinterpret_cast<sockaddr *>(&address), &addressSize) == 0 &&
           address.sun_family == AF_UNIX;
}

// This process's own mailbox. Never destroyed: the receiver may still be
// finishing while the process exits.
struct Mailbox {
    int fd = -1;
    DWORD threadId = 0;
    std::function<void(const ThreadMail &)> deliver;
    std::thread receiver;
};
Mailbox *gMailbox = nullptr;

void Receive(Mailbox *mailbox)
{
    for (;;) {
        Packet packet;
        ssize_t got = recv(mailbox->fd, &packet, sizeof packet, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;  // shut down at exit
        if (got != sizeof packet)
            continue;
        mailbox->deliver(ThreadMail{packet.message, static_cast<WPARAM>(packet.wParam),
                                    static_cast<LPARAM>(packet.lParam)});
    }
}

void CloseMailboxAtExit()
{
    shutdown(gMailbox->fd, SHUT_RDWR);
    if (gMailbox->receiver.joinable())
        gMailbox->receiver.join();
}

}  // namespace

bool OpenMainThreadMailbox(std::function<void(const ThreadMail &)> deliver)
{
    if (gMailbox)
        return true;
    int fd = -1;
    if (const char *handed = std::getenv(kMailboxVariable)) {
        fd = std::atoi(handed);
        unsetenv(kMailboxVariable);
        if (fd < 0 || !IsMailboxSocket(fd))
            fd = -1;
        else
            fcntl(fd, F_SETFD, FD_CLOEXEC);  // not passed on to our own children
    }
    if (fd < 0) {
        fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && !Bind(fd, GetCurrentThreadId())) {
            close(fd);
            fd = -1;
        }
    }
    if (fd < 0)
        return false;
    gMailbox = new Mailbox;
    gMailbox->fd = fd;
    gMailbox->threadId = GetCurrentThreadId();
    gMailbox->deliver = std::move(deliver);
    gMailbox->receiver = std::thread(Receive, gMailbox);
    std::atexit(CloseMailboxAtExit);
    return true;
}

DWORD MailboxThreadId()
{
    return gMailbox ? gMailbox->threadId : 0;
}

DWORD SendThreadMail(DWORD threadId, const ThreadMail &mail)
{
    Address address;
    if (threadId == 0 || !MailboxAddress(threadId, address))
        return ERROR_INVALID_THREAD_ID;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return ERROR_NOT_ENOUGH_MEMORY;
    Packet packet{static_cast<std::uint32_t>(mail.message), 0,
                  static_cast<std::uint64_t>(mail.wParam), static_cast<std::int64_t>(mail.lParam)};
    ssize_t sent = sendto(fd, &packet, sizeof packet, MSG_DONTWAIT | MSG_NOSIGNAL,
                          reinterpret_cast<const sockaddr *>(&address.un), address.length);
    int error = errno;
    close(fd);
    if (sent == static_cast<ssize_t>(sizeof packet))
        return ERROR_SUCCESS;
    // A full mailbox is a full queue; anything else means no such thread.
    return error == EAGAIN || error == ENOBUFS ? ERROR_NOT_ENOUGH_QUOTA : ERROR_INVALID_THREAD_ID;
}

int CreateChildMailbox()
{
    return socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

void BindChildMailbox(int fd, pid_t child)
{
    Bind(fd, static_cast<DWORD>(child));
}

}  // namespace kernel
