// The table of running host programs and the restart of the simulated Windows.
// A pid alone can be reused, so each entry also keeps the process's start time.
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

// Field 22 of /proc/PID/stat: the start time in clock ticks since boot; 0 when
// the process is gone.
std::uint64_t StartTicks(int pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE *file = std::fopen(path, "r");
    if (!file)
        return 0;
    char line[1024];
    std::size_t got = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[got] = '\0';
    // The command name may hold spaces and parentheses; fields follow the last ')'.
    const char *p = std::strrchr(line, ')');
    if (!p)
        return 0;
    unsigned long long ticks = 0;
    int field = 2;
    for (++p; *p && field < 22; ++p)
        if (*p == ' ')
            ++field;
    if (field == 22)
        ticks = std::strtoull(p, nullptr, 10);
    return ticks;
}

bool Alive(const ProcessSlot &slot)
{
    if (kill(slot.pid, 0) != 0 && errno == ESRCH)
        return false;
    std::uint64_t ticks = StartTicks(slot.pid);
    return ticks == 0 || ticks == slot.startTicks;
}

void PruneDead(SharedState &state)
{
    for (ProcessSlot &slot : state.processes)
        if (slot.pid && !Alive(slot))
            std::memset(&slot, 0, sizeof slot);
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

bool RegisterThisProcess(const std::string &name)
{
    SharedState *state = detail::Attached();
    if (!state)
        return false;
    {
        detail::StateLock lock(*state);
        ProcessSlot *slot = SlotOfThisProcess(*state);
        if (!slot) {
            PruneDead(*state);
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
        slot->startTicks = StartTicks(getpid());
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
    PruneDead(*state);
    for (const ProcessSlot &slot : state->processes)
        if (slot.pid)
            programs.push_back({slot.pid, slot.threadId, slot.name, slot.bootCount});
    return programs;
}

void RestartWindows()
{
    SharedState *state = detail::Attached();
    if (!state)
        return;
    detail::StateLock lock(*state);
    std::memset(state->atoms, 0, sizeof state->atoms);
    ++state->bootCount;
    state->bootNs = detail::NowOn(*state);
}

int SignalOf(SessionEndKind kind)
{
    switch (kind) {
    case SessionEndKind::kForcedEnd: return SIGHUP;
    case SessionEndKind::kCancelled: return SIGUSR1;
    default: return SIGTERM;
    }
}

int DeliverSessionEnd(SessionEndKind kind)
{
    int told = 0;
    // Listing prunes the dead, so no pid that has been reused is signalled.
    for (const RunningProgram &program : ListRunningPrograms())
        if (program.pid != getpid() && kill(program.pid, SignalOf(kind)) == 0)
            ++told;
    return told;
}

std::uint32_t BootCount()
{
    SharedState *state = detail::Attached();
    return state ? state->bootCount : 0;
}

}  // namespace pc
