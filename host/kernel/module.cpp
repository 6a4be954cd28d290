// The running process as the kernel names it: its module, its file, its ids.
// The main thread's id is the process id (as Linux numbers it); every other
// thread has its own kernel thread id.
#include <sys/syscall.h>
#include <unistd.h>

#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#include "kernel/module.h"

namespace {

// Where a Win32 executable is loaded; any fixed non-NULL value would do.
HMODULE const kThisModule = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x00400000));

std::mutex gOverrideMutex;
std::string gOverride;

}  // namespace

void kernel::OverrideModuleFileName(const std::string &path)
{
    std::lock_guard lock(gOverrideMutex);
    gOverride = path;
}

std::string kernel::ModuleFileName()
{
    {
        std::lock_guard lock(gOverrideMutex);
        if (!gOverride.empty())
            return gOverride;
    }
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length < 0 ? std::string() : std::string(path, static_cast<std::size_t>(length));
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (!lpModuleName)
        return kThisModule;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    if (hModule && hModule != kThisModule) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::string module = kernel::ModuleFileName();
    const char *path = module.c_str();
    std::size_t length = module.size();
    if (module.empty()) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // Too small a buffer gets the name cut and terminated, and nSize back.
    if (static_cast<DWORD>(length) >= nSize) {
        std::memcpy(lpFilename, path, nSize - 1);
        lpFilename[nSize - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, path, static_cast<std::size_t>(length));
    lpFilename[length] = '\0';
    return static_cast<DWORD>(length);
}

DWORD WINAPI GetCurrentProcessId(void)
{
    return static_cast<DWORD>(getpid());
}

DWORD WINAPI GetCurrentThreadId(void)
{
    return static_cast<DWORD>(syscall(SYS_gettid));
}
