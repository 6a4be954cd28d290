// Processes: CreateProcessA starts a host executable on the same simulated PC,
// process and thread handles name it, WaitForSingleObject waits for its end
// with time-outs counted on the PC's clock, TerminateProcess kills it. A
// watcher thread per child reaps it the moment it ends, so no child is ever
// left a zombie, whether or not anyone still holds a handle to it.
#include "kernel/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kernel/handles.h"
#include "kernel/process_image.h"
#include "kernel/thread_mailbox.h"
#include "pc/machine.h"
#include "pc/timesource.h"

extern char **environ;

namespace kernel {

namespace {

// On the virtual clock time moves only when a test moves it; a waiting
// thread looks at the clock again after this much real time.
constexpr std::int64_t kVirtualRecheckNs = 10'000'000;
// How long TerminateStartedProcesses waits for one killed child, real time.
constexpr auto kKillWait = std::chrono::seconds(5);
// The exit code of a child whose end could not be read (someone else reaped it).
constexpr DWORD kUnknownExitCode = 1;

struct ProcessState {
    pid_t pid = 0;
    std::uint64_t serial = 0;
    std::mutex mutex;
    std::condition_variable ended;
    bool exited = false;  // set, and the child reaped, under `mutex`
    DWORD exitCode = STILL_ACTIVE;
    bool terminated = false;
    UINT terminateCode = 0;
};

// Both handles CreateProcessA returns name the same process: its main thread
// ends with it, as a host program is one thread to Win32.
class ProcessObject : public KernelObject {
public:
    explicit ProcessObject(std::shared_ptr<ProcessState> state) : state(std::move(state)) {}
    std::shared_ptr<ProcessState> state;
};
class ThreadObject : public KernelObject {
public:
    explicit ThreadObject(std::shared_ptr<ProcessState> state) : state(std::move(state)) {}
    std::shared_ptr<ProcessState> state;
};

// Never destroyed: watcher threads may still end children while the process exits.
struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<ProcessState>> running;
    std::uint64_t started = 0;
};
Registry &Children()
{
    static Registry *registry = new Registry;
    return *registry;
}

std::shared_ptr<ProcessState> ProcessOf(HANDLE handle)
{
    if (auto process = LookupHandleAs<ProcessObject>(handle))
        return process->state;
    return nullptr;
}

std::shared_ptr<ProcessState> WaitableOf(HANDLE handle)
{
    if (auto process = ProcessOf(handle))
        return process;
    if (auto thread = LookupHandleAs<ThreadObject>(handle))
        return thread->state;
    return nullptr;
}

DWORD ExitCodeOf(const siginfo_t &info, const ProcessState &process)
{
    if (info.si_code == CLD_EXITED)
        return static_cast<DWORD>(info.si_status);
    if (process.terminated && info.si_status == SIGKILL)
        return process.terminateCode;
    // Killed by someone else's signal: the shell's way of saying so.
    return static_cast<DWORD>(128 + info.si_status);
}

// Waits without reaping first, so that the pid stays the child's (a zombie)
// until `exited` is set: TerminateProcess can never signal a reused pid.
void Watch(std::shared_ptr<ProcessState> process)
{
    siginfo_t info{};
    int rc;
    while ((rc = waitid(P_PID, static_cast<id_t>(process->pid), &info, WEXITED | WNOWAIT)) != 0 &&
           errno == EINTR) {
    }
    {
        std::lock_guard lock(process->mutex);
        process->exitCode = rc == 0 ? ExitCodeOf(info, *process) : kUnknownExitCode;
        siginfo_t reaped{};
        while (waitid(P_PID, static_cast<id_t>(process->pid), &reaped, WEXITED) != 0 &&
               errno == EINTR) {
        }
        process->exited = true;
    }
    process->ended.notify_all();
    Registry &children = Children();
    std::lock_guard lock(children.mutex);
    std::erase(children.running, process);
}

// What a failed start of a program tells a Windows program: a busy image is
// shared, not denied, and a lack of room is memory.
DWORD StartErrorFromErrno(int error)
{
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOEXEC:
    case ELIBBAD:
        return ERROR_BAD_EXE_FORMAT;
    case ETXTBSY:
        return ERROR_SHARING_VIOLATION;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case E2BIG:
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool NamesVariable(const std::string &entry, const char *name)
{
    std::size_t length = std::strlen(name);
    return entry.compare(0, length, name) == 0 && entry.size() > length && entry[length] == '=';
}

// The caller's environment or the block it gave, pointed at this PC and at
// the child's mailbox.
std::vector<std::string> ChildEnvironment(const char *block, int mailbox)
{
    std::vector<std::string> entries;
    if (block) {
        for (const char *p = block; *p; p += std::strlen(p) + 1)
            entries.emplace_back(p);
    } else {
        for (char **p = environ; p && *p; ++p)
            entries.emplace_back(*p);
    }
    std::erase_if(entries, [](const std::string &e) {
        return NamesVariable(e, "TOLVANE_PC") || NamesVariable(e, kMailboxVariable);
    });
    std::string pcDirectory = pc::AttachedDirectory();
    if (!pcDirectory.empty())
        entries.push_back("TOLVANE_PC=" + pcDirectory);
    if (mailbox >= 0)
        entries.push_back(std::string(kMailboxVariable) + "=" + std::to_string(mailbox));
    return entries;
}

std::vector<char *> Pointers(std::vector<std::string> &strings)
{
    std::vector<char *> pointers;
    for (std::string &s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// Starts `image`; 0 or the errno of the failure.
int Spawn(const std::string &image, std::vector<std::string> args, const char *environment,
          const std::string &directory, int mailbox, pid_t &pid)
{
    std::vector<std::string> env = ChildEnvironment(environment, mailbox);
    std::vector<char *> argv = Pointers(args), envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Duplicating a descriptor onto itself clears close-on-exec for the child alone.
    if (mailbox >= 0)
        posix_spawn_file_actions_adddup2(&actions, mailbox, mailbox);
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A process group of its own: the terminal's Ctrl+C and hang-up are the
    // starting program's to handle; it stops its child itself at its end.
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigemptyset(&defaults);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGCHLD, SIGWINCH, SIGUSR1, SIGUSR2})
        sigaddset(&defaults, sig);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);

    int rc = posix_spawn(&pid, image.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return rc;
}

}  // namespace

std::uint64_t StartedProcessCount()
{
    Registry &children = Children();
    std::lock_guard lock(children.mutex);
    return children.started;
}

int TerminateStartedProcesses(std::uint64_t since)
{
    std::vector<std::shared_ptr<ProcessState>> victims;
    {
        Registry &children = Children();
        std::lock_guard lock(children.mutex);
        for (const auto &process : children.running)
            if (process->serial >= since)
                victims.push_back(process);
    }
    int killed = 0;
    for (const auto &process : victims) {
        std::unique_lock lock(process->mutex);
        if (process->exited)
            continue;
        process->terminated = true;
        process->terminateCode = 1;
        kill(process->pid, SIGKILL);
        ++killed;
        process->ended.wait_for(lock, kKillWait, [&] { return process->exited; });
    }
    return killed;
}

}  // namespace kernel

using namespace kernel;

extern "C" BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                                      LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                      LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                                      LPSTARTUPINFOA, LPPROCESS_INFORMATION lpProcessInformation)
{
    if (!lpProcessInformation || (!lpApplicationName && !lpCommandLine))
        return Fail(ERROR_INVALID_PARAMETER);

    std::string commandLine =
        lpCommandLine ? std::string(lpCommandLine) : "\"" + std::string(lpApplicationName) + "\"";
    std::string image;
    if (lpApplicationName) {
        // Named exactly: no search and no extension added.
        image = AbsoluteHostPath(HostPathOf(lpApplicationName));
    } else {
        std::optional<std::string> found = ImageOfCommandLine(commandLine);
        if (!found)
            return Fail(ERROR_FILE_NOT_FOUND);
        image = *found;
    }
    std::string directory;
    if (lpCurrentDirectory) {
        directory = AbsoluteHostPath(HostPathOf(lpCurrentDirectory));
        struct stat info;
        if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return Fail(ERROR_DIRECTORY);
    }
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty())
        args.push_back(image);

    int mailbox = CreateChildMailbox();
    pid_t pid = 0;
    int rc = Spawn(image, std::move(args), static_cast<const char *>(lpEnvironment), directory,
                   mailbox, pid);
    if (rc != 0) {
        if (mailbox >= 0)
            close(mailbox);
        return Fail(StartErrorFromErrno(rc));
    }
    if (mailbox >= 0) {
        BindChildMailbox(mailbox, pid);
        close(mailbox);  // the child holds its own copy
    }

    auto process = std::make_shared<ProcessState>();
    process->pid = pid;
    {
        Registry &children = Children();
        std::lock_guard lock(children.mutex);
        process->serial = children.started++;
        children.running.push_back(process);
    }
    try {
        std::thread(Watch, process).detach();
    } catch (const std::system_error &) {
        // Without a watcher nobody would reap it: undo the start.
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        Registry &children = Children();
        std::lock_guard lock(children.mutex);
        std::erase(children.running, process);
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }

    lpProcessInformation->hProcess = InsertHandle(std::make_shared<ProcessObject>(process));
    lpProcessInformation->hThread = InsertHandle(std::make_shared<ThreadObject>(process));
    lpProcessInformation->dwProcessId = static_cast<DWORD>(pid);
    lpProcessInformation->dwThreadId =
        static_cast<DWORD>(pid);  // a host program's main thread id is its pid
    return TRUE;
}

extern "C" DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    std::shared_ptr<ProcessState> process = WaitableOf(hHandle);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::unique_lock lock(process->mutex);
    if (dwMilliseconds == INFINITE) {
        process->ended.wait(lock, [&] { return process->exited; });
        return WAIT_OBJECT_0;
    }
    const std::int64_t deadline = pc::Now() + static_cast<std::int64_t>(dwMilliseconds) * 1'000'000;
    for (;;) {
        if (process->exited)
            return WAIT_OBJECT_0;
        std::int64_t left = deadline - pc::Now();
        if (left <= 0)
            return WAIT_TIMEOUT;
        std::int64_t slice = pc::IsVirtualTime() ? kVirtualRecheckNs : left;
        process->ended.wait_for(lock, std::chrono::nanoseconds(slice));
    }
}

extern "C" BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
    std::shared_ptr<ProcessState> process = ProcessOf(hProcess);
    if (!process)
        return Fail(ERROR_INVALID_HANDLE);
    std::lock_guard lock(process->mutex);
    // As on Windows, a process that has ended cannot be terminated again.
    if (process->exited)
        return Fail(ERROR_ACCESS_DENIED);
    process->terminated = true;
    process->terminateCode = uExitCode;
    kill(process->pid, SIGKILL);
    return TRUE;
}

extern "C" BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
    std::shared_ptr<ProcessState> process = ProcessOf(hProcess);
    if (!process)
        return Fail(ERROR_INVALID_HANDLE);
    if (!lpExitCode)
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(process->mutex);
    *lpExitCode = process->exited ? process->exitCode : STILL_ACTIVE;
    return TRUE;
}
