// Named mutexes, as far as a program needs one: to learn whether another
// program of the same Windows session has created the name. Names belong to
// the simulated PC and live as files in its directory; every open handle
// holds a shared flock() on its name's file, so a name exists for exactly as
// long as some process holds a handle to it, and goes with a process that
// dies. Owning a mutex (waiting for it, releasing it) is not provided.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "kernel/handles.h"
#include "pc/machine.h"

namespace {

class MutexObject : public kernel::KernelObject {
public:
    explicit MutexObject(int fd) : fd(fd) {}
    ~MutexObject() override
    {
        if (fd >= 0)
            close(fd);
    }
    const int fd;  // -1 for an unnamed mutex
};

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int Release()
    {
        int released = fd;
        fd = -1;
        return released;
    }
    int fd;
};

HANDLE Fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

// Object names may hold any character but NUL; as hex they make safe file
// names that keep Windows' case-sensitive distinction between names.
std::string FileNameOf(const char *name)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string file = "mutex-";
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
        file += kDigits[*p >> 4];
        file += kDigits[*p & 15];
    }
    return file;
}

int Flock(int fd, int operation)
{
    int rc;
    while ((rc = flock(fd, operation)) != 0 && errno == EINTR) {
    }
    return rc;
}

}  // namespace

extern "C" HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCSTR lpName)
{
    if (bInitialOwner)
        return Fail(ERROR_NOT_SUPPORTED);
    if (!lpName) {
        SetLastError(ERROR_SUCCESS);
        return kernel::InsertHandle(std::make_shared<MutexObject>(-1));
    }
    if (std::strlen(lpName) > MAX_PATH)
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    std::string pcDirectory = pc::AttachedDirectory();
    if (pcDirectory.empty())
        return Fail(ERROR_GEN_FAILURE);

    std::string objects = pcDirectory + "/objects";
    if (mkdir(objects.c_str(), 0700) != 0 && errno != EEXIST)
        return Fail(ERROR_ACCESS_DENIED);
    Descriptor directory(open(objects.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (directory.fd < 0)
        return Fail(ERROR_ACCESS_DENIED);
    // The directory's lock makes "is the name held?" and "hold it" one step
    // for every process of the PC.
    if (Flock(directory.fd, LOCK_EX) != 0)
        return Fail(ERROR_GEN_FAILURE);

    Descriptor name(openat(directory.fd, FileNameOf(lpName).c_str(),
                           O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (name.fd < 0)
        return Fail(ERROR_ACCESS_DENIED);
    bool existed = Flock(name.fd, LOCK_EX | LOCK_NB) != 0;
    if (existed && errno != EWOULDBLOCK)
        return Fail(ERROR_GEN_FAILURE);
    if (Flock(name.fd, LOCK_SH) != 0)
        return Fail(ERROR_GEN_FAILURE);

    HANDLE handle = kernel::InsertHandle(std::make_shared<MutexObject>(name.Release()));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}
