// Helpers for tests that run real host programs beside the test: the fix
// companion and a companion that ignores WM_QUIT, temporary directories to
// put them in, and a bounded real-time wait for what another process does.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "kernel/process.h"

namespace companiontest {

inline const char *const kAtom = "_faltrem_running_";

inline std::string CompanionBinary()
{
    return TOLVANE_BINARY_DIR "/faltrem.exe";
}
inline std::string StubbornBinary()
{
    return TOLVANE_BINARY_DIR "/stubborn/faltrem.exe";
}
inline std::string HungBinary()
{
    return TOLVANE_BINARY_DIR "/hung/faltrem.exe";
}

// Puts a companion executable into `directory` as faltrem.exe.
inline void InstallCompanion(const std::string &directory,
                             const std::string &binary = CompanionBinary())
{
    std::filesystem::create_directories(directory);
    std::filesystem::create_symlink(binary, directory + "/faltrem.exe");
}

inline void WriteFile(const std::string &path, const std::string &text,
                      std::filesystem::perms perms)
{
    std::ofstream(path, std::ios::trunc) << text;
    std::filesystem::permissions(path, perms);
}

// Another process acts in real time: look again every few milliseconds, at
// most `limit` long.
inline bool Eventually(const std::function<bool()> &condition,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(5000))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline bool AtomHeld()
{
    return GlobalFindAtomA(kAtom) != 0;
}

// Gone and reaped: a zombie would still take signals.
inline bool ProcessGone(DWORD pid)
{
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvane-fix-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary directory");
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &Path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// $PATH with `directory` in front, for the life of the object.
class ScopedSearchPath {
public:
    explicit ScopedSearchPath(const std::string &directory)
    {
        const char *old = getenv("PATH");
        hadOld_ = old != nullptr;
        if (old)
            old_ = old;
        setenv("PATH", (directory + (old ? ":" + old_ : std::string())).c_str(), 1);
    }
    ~ScopedSearchPath()
    {
        if (hadOld_)
            setenv("PATH", old_.c_str(), 1);
        else
            unsetenv("PATH");
    }
    ScopedSearchPath(const ScopedSearchPath &) = delete;
    ScopedSearchPath &operator=(const ScopedSearchPath &) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};

// Whatever the test started and did not stop goes with the guard, so that
// a failing test leaves no program behind.
class StartedProcessesGuard {
public:
    StartedProcessesGuard() : before_(kernel::StartedProcessCount()) {}
    ~StartedProcessesGuard() { kernel::TerminateStartedProcesses(before_); }
    StartedProcessesGuard(const StartedProcessesGuard &) = delete;
    StartedProcessesGuard &operator=(const StartedProcessesGuard &) = delete;

private:
    std::uint64_t before_;
};

// Starts `image` with no arguments, as the program starts its companion.
inline PROCESS_INFORMATION Start(const std::string &image)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string commandLine = "\"" + image + "\"";
    if (!CreateProcessA(image.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot start " + image + ": error " +
                                 std::to_string(GetLastError()));
    return pi;
}

// Waits for the end of a child that is expected to end by itself.
inline DWORD Finish(const PROCESS_INFORMATION &pi)
{
    EXPECT_TRUE(Eventually([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }));
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

}  // namespace companiontest
