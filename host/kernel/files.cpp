// Files over POSIX descriptors. Windows' share modes become flock() locks, which
// hold across every host process: no sharing takes the lock exclusively, any
// sharing takes it shared, so an open without sharing excludes every other open.
// Windows 95/98 know no symbolic links: a file name that is one is refused, so
// that a program never writes through one to a file it did not mean.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "kernel/handles.h"
#include "kernel/process_image.h"

namespace {

class FileObject : public kernel::KernelObject {
public:
    FileObject(int fd, bool canRead, bool canWrite, std::string directory)
        : fd(fd), canRead(canRead), canWrite(canWrite), directory(std::move(directory))
    {
    }
    ~FileObject() override { close(fd); }
    const int fd;
    const bool canRead;
    const bool canWrite;
    const std::string directory;  // that holds the file's name
};

std::string ParentOf(const std::string &path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool ParentExists(const std::string &path)
{
    struct stat info;
    return stat(ParentOf(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsSymbolicLink(const std::string &path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// What a failed open, read or write of a file tells a Windows program.
DWORD FileErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    default:
        return ERROR_GEN_FAILURE;
    }
}

HANDLE Fail(DWORD error)
{
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// Opens or creates per the disposition; `created` tells whether this call made
// the file. Existing files are never truncated here: that waits for the lock.
int OpenForDisposition(const std::string &path, int flags, mode_t mode, DWORD disposition,
                       bool &created)
{
    created = false;
    if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
        return open(path.c_str(), flags);
    if (disposition == CREATE_NEW) {
        int fd = open(path.c_str(), flags | O_CREAT | O_EXCL, mode);
        created = fd >= 0;
        return fd;
    }
    // CREATE_ALWAYS, OPEN_ALWAYS: create, or else open what is there; retried
    // if the file comes or goes between the two attempts.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = open(path.c_str(), flags | O_CREAT | O_EXCL, mode);
        if (fd >= 0) {
            created = true;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
        fd = open(path.c_str(), flags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE)
{
    if (!lpFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!*lpFileName)
        return Fail(ERROR_PATH_NOT_FOUND);
    if (std::strlen(lpFileName) >= MAX_PATH)
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
        return Fail(ERROR_INVALID_PARAMETER);

    bool canRead = dwDesiredAccess & (GENERIC_READ | GENERIC_ALL);
    bool canWrite = dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL);
    // Truncating needs the right to write.
    if (dwCreationDisposition == TRUNCATE_EXISTING && !canWrite)
        return Fail(ERROR_INVALID_PARAMETER);
    int flags =
        O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | (canWrite ? (canRead ? O_RDWR : O_WRONLY) : O_RDONLY);
    mode_t mode = dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY ? 0444 : 0666;

    std::string path = kernel::HostPathOf(lpFileName);
    bool created;
    int fd = OpenForDisposition(path, flags, mode, dwCreationDisposition, created);
    if (fd < 0) {
        int error = errno;
        if (error == ENOENT && !ParentExists(path))
            return Fail(ERROR_PATH_NOT_FOUND);
        if (error == ELOOP && IsSymbolicLink(path))
            return Fail(ERROR_ACCESS_DENIED);
        return Fail(FileErrorFromErrno(error));
    }
    auto discard = [&](DWORD error) {
        close(fd);
        // A file this call created must not outlive its failure.
        if (created)
            unlink(path.c_str());
        return Fail(error);
    };

    struct stat info;
    if (fstat(fd, &info) != 0)
        return discard(FileErrorFromErrno(errno));
    if (S_ISDIR(info.st_mode))
        return discard(ERROR_ACCESS_DENIED);
    if (flock(fd, (dwShareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0)
        return discard(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : FileErrorFromErrno(errno));

    bool existed = !created;
    if ((dwCreationDisposition == CREATE_ALWAYS && existed) ||
        dwCreationDisposition == TRUNCATE_EXISTING) {
        if (ftruncate(fd, 0) != 0)
            return discard(FileErrorFromErrno(errno));
    }

    HANDLE handle =
        kernel::InsertHandle(std::make_shared<FileObject>(fd, canRead, canWrite, ParentOf(path)));
    if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
        SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

namespace {

// Positions the descriptor where an OVERLAPPED record says, as a synchronous
// handle on Windows does; false with the last error set when it cannot.
bool SeekForOverlapped(int fd, LPOVERLAPPED overlapped)
{
    if (!overlapped)
        return true;
    off_t offset =
        static_cast<off_t>((std::uint64_t{overlapped->OffsetHigh} << 32) | overlapped->Offset);
    if (lseek(fd, offset, SEEK_SET) < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

void Complete(LPOVERLAPPED overlapped, DWORD status, DWORD done)
{
    if (overlapped) {
        overlapped->Internal = status;
        overlapped->InternalHigh = done;
    }
}

}  // namespace

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped)
{
    auto file = kernel::LookupHandleAs<FileObject>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpNumberOfBytesRead && !lpOverlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    if (!lpBuffer && nNumberOfBytesToRead) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!file->canRead) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!SeekForOverlapped(file->fd, lpOverlapped))
        return FALSE;

    DWORD done = 0;
    while (done < nNumberOfBytesToRead) {
        ssize_t got =
            read(file->fd, static_cast<char *>(lpBuffer) + done, nNumberOfBytesToRead - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            DWORD error = errno == EIO ? ERROR_READ_FAULT : FileErrorFromErrno(errno);
            if (lpNumberOfBytesRead)
                *lpNumberOfBytesRead = done;
            Complete(lpOverlapped, error, done);
            SetLastError(error);
            return FALSE;
        }
        if (got == 0)
            break;  // end of file: success with what there was, perhaps nothing
        done += static_cast<DWORD>(got);
    }
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = done;
    Complete(lpOverlapped, ERROR_SUCCESS, done);
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped)
{
    auto file = kernel::LookupHandleAs<FileObject>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpNumberOfBytesWritten && !lpOverlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    if (!lpBuffer && nNumberOfBytesToWrite) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (!file->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!SeekForOverlapped(file->fd, lpOverlapped))
        return FALSE;

    DWORD done = 0;
    while (done < nNumberOfBytesToWrite) {
        ssize_t put = write(file->fd, static_cast<const char *>(lpBuffer) + done,
                            nNumberOfBytesToWrite - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            // Whatever stopped the write part way, the caller learns of it: a
            // short write is a failure, never a success with a smaller count.
            DWORD error = put == 0       ? ERROR_DISK_FULL
                          : errno == EIO ? ERROR_WRITE_FAULT
                                         : FileErrorFromErrno(errno);
            if (lpNumberOfBytesWritten)
                *lpNumberOfBytesWritten = done;
            Complete(lpOverlapped, error, done);
            SetLastError(error);
            return FALSE;
        }
        done += static_cast<DWORD>(put);
    }
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    Complete(lpOverlapped, ERROR_SUCCESS, done);
    return TRUE;
}

// The file's data and its entry in its directory reach the disk, as Windows
// commits both: a record written before a power cut is there after it.
BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
    auto file = kernel::LookupHandleAs<FileObject>(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!file->canWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    while (fsync(file->fd) != 0) {
        if (errno != EINTR) {
            SetLastError(errno == EIO ? ERROR_WRITE_FAULT : FileErrorFromErrno(errno));
            return FALSE;
        }
    }
    int directory = open(file->directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return TRUE;
}

// As on Windows: a file open in any process, a read-only file and a directory
// stay. A symbolic link is removed itself, never what it names.
BOOL WINAPI DeleteFileA(LPCSTR lpFileName)
{
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!*lpFileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    std::string path = kernel::HostPathOf(lpFileName);
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        int error = errno;
        SetLastError(error == ENOENT && !ParentExists(path) ? ERROR_PATH_NOT_FOUND
                                                            : FileErrorFromErrno(error));
        return FALSE;
    }
    if (S_ISDIR(info.st_mode) || (S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Held while the name goes, so that no open slips in between.
    int fd = S_ISREG(info.st_mode) ? open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    int rc = unlink(path.c_str());
    int error = errno;
    if (fd >= 0)
        close(fd);
    if (rc != 0) {
        SetLastError(FileErrorFromErrno(error));
        return FALSE;
    }
    return TRUE;
}
