// The table of running host programs and the end of their session. A pid alone
// can be reused, so each entry also keeps the process's start time.
#include "pc/session.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pc/state.h"

namespace pc {

using detail::ProcessSlot;
using detail::SharedState;

namespace {

struct ProcessStat {
    char state = 0;                // field 3: R, S, D, Z (ended, not yet reaped), ...
    std::uint64_t startTicks = 0;  // field 22: clock ticks since boot
};

// The process's /proc/PID/stat; all zero when the process is gone.
ProcessStat ReadProcessStat(int pid)
{
    ProcessStat stat;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE *file = std::fopen(path, "r");
    if (!file)
        return stat;
    char line[1024];
    std::size_t got = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[got] = '\0';
    // The command name may hold spaces and parentheses; fields follow the last ')'.
    const char *p = std::strrchr(line, ')');
    if (!p || p[1] != ' ' || !p[2])
        return stat;
    stat.state = p[2];
    int field = 2;
    for (++p; *p && field < 22; ++p)
        if (*p == ' ')
            ++field;
    if (field == 22)
        stat.startTicks = std::strtoull(p, nullptr, 10);
    return stat;
}

// A program that has ended is gone from the table even while its parent has
// not reaped it yet; a reused pid is another process.
bool Alive(const ProcessSlot &slot)
{
    if (kill(slot.pid, 0) != 0 && errno == ESRCH)
        return false;
    ProcessStat stat = ReadProcessStat(slot.pid);
    if (stat.state == 'Z' || stat.state == 'X')
        return false;
    return stat.startTicks == 0 || stat.startTicks == slot.startTicks;
}

ProcessSlot *SlotOfThisProcess(SharedState &state)
{
    for (ProcessSlot &slot : state.processes)
        if (slot.pid == getpid())
            return &slot;
    return nullptr;
}

// The PC this process registered with, which may not be the attached one by exit.
SharedState *gRegisteredOn = nullptr;

void UnregisterAtExit()
{
    UnregisterThisProcess();
}

}  // namespace

namespace detail {

void PruneEndedPrograms(SharedState &state)
{
    for (ProcessSlot &slot : state.processes)
        if (slot.pid && !Alive(slot))
            std::memset(&slot, 0, sizeof slot);
}

}  // namespace detail

bool RegisterThisProcess(const std::string &name)
{
    SharedState *state = detail::Attached();
    if (!state)
        return false;
    {
        detail::StateLock lock(*state);
        if (!state->poweredOn)
            return false;
        ProcessSlot *slot = SlotOfThisProcess(*state);
        if (!slot) {
            detail::PruneEndedPrograms(*state);
            for (ProcessSlot &free : state->processes)
                if (!free.pid) {
                    slot = &free;
                    break;
                }
        }
        if (!slot)
            return false;
        std::memset(slot, 0, sizeof *slot);
        slot->pid = getpid();
        slot->threadId = static_cast<std::uint32_t>(getpid());
        slot->bootCount = state->bootCount;
        slot->startTicks = ReadProcessStat(getpid()).startTicks;
        std::strncpy(slot->name, name.c_str(), sizeof slot->name - 1);
    }
    if (!gRegisteredOn)
        std::atexit(UnregisterAtExit);
    gRegisteredOn = state;
    return true;
}

void UnregisterThisProcess()
{
    SharedState *state = gRegisteredOn;
    if (!state)
        return;
    detail::StateLock lock(*state);
    if (ProcessSlot *slot = SlotOfThisProcess(*state))
        std::memset(slot, 0, sizeof *slot);
}

std::vector<RunningProgram> ListRunningPrograms()
{
    std::vector<RunningProgram> programs;
    SharedState *state = detail::Attached();
    if (!state)
        return programs;
    detail::StateLock lock(*state);
    detail::PruneEndedPrograms(*state);
    for (const ProcessSlot &slot : state->processes)
        if (slot.pid)
            programs.push_back({slot.pid, slot.threadId, slot.name, slot.bootCount});
    return programs;
}

int SignalOf(SessionEndKind kind)
{
    switch (kind) {
    case SessionEndKind::kForcedEnd:
        return SIGHUP;
    case SessionEndKind::kCancelled:
        return SIGUSR1;
    default:
        return SIGTERM;
    }
}

bool SessionEndOfSignal(int sig, SessionEndKind &kind)
{
    switch (sig) {
    case SIGTERM:
    case SIGINT:
        kind = SessionEndKind::kEnd;
        return true;
    case SIGHUP:
    case SIGQUIT:
    case SIGALRM:
    case SIGPIPE:
    case SIGXCPU:
    case SIGXFSZ:
    case SIGPWR:
    case SIGUSR1:
    case SIGUSR2:
    case SIGVTALRM:
    case SIGPROF:
    case SIGIO:
    case SIGSTKFLT:
        kind = SessionEndKind::kForcedEnd;
        return true;
    default:
        // Real-time signals end a process by default too.
        if (sig >= SIGRTMIN && sig <= SIGRTMAX) {
            kind = SessionEndKind::kForcedEnd;
            return true;
        }
        return false;
    }
}

std::vector<int> SessionEndSignals()
{
    std::vector<int> signals;
    SessionEndKind kind;
    for (int sig = 1; sig <= SIGRTMAX; ++sig)
        if (SessionEndOfSignal(sig, kind))
            signals.push_back(sig);
    return signals;
}

int DeliverSessionEnd(SessionEndKind kind)
{
    int told = 0;
    sigval cancelled{};
    cancelled.sival_int = kCancelledEndValue;
    // Listing prunes the dead, so no pid that has been reused is signalled.
    for (const RunningProgram &program : ListRunningPrograms()) {
        if (program.pid == getpid())
            continue;
        const int sent = kind == SessionEndKind::kCancelled
                             ? sigqueue(program.pid, SignalOf(kind), cancelled)
                             : kill(program.pid, SignalOf(kind));
        if (sent == 0)
            ++told;
    }
    return told;
}

std::uint32_t BootCount()
{
    SharedState *state = detail::Attached();
    return state ? state->bootCount : 0;
}

}  // namespace pc
