// The table of running host programs and the end of their session. A pid alone
// can be reused, so each entry also keeps the process's start time.
#include "pc/session.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "pc/process.h"
#include "pc/state.h"

namespace pc {

using detail::ProcessSlot;
using detail::SharedState;

namespace {

bool Alive(const ProcessSlot &slot)
{
    return detail::ProcessAlive(slot.pid, slot.startTicks);
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
        slot->startTicks = detail::ProcessStartTicks(getpid());
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
            programs.push_back(
                {slot.pid, slot.threadId, std::string(detail::NameOf(slot)), slot.bootCount});
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
    // Pruning also drops a pid of 0 or below, which would signal a whole group.
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

std::int64_t WaitToKillMs()
{
    // More than the 17 s Tolvane may spend stopping a fix companion that does
    // not answer.
    constexpr std::int64_t kWindowsDefault = 20'000;
    const char *setting = std::getenv("TOLVANE_WAIT_TO_KILL_MS");
    if (!setting || !*setting || std::strspn(setting, "0123456789") != std::strlen(setting) ||
        std::strlen(setting) > 9)
        return kWindowsDefault;
    return std::atoll(setting);
}

std::uint32_t BootCount()
{
    SharedState *state = detail::Attached();
    return state ? state->bootCount : 0;
}

}  // namespace pc
