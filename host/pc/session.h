// The simulated Windows session: which host programs run on the PC, and the
// end of their session.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pc {

struct RunningProgram {
    int pid;
    std::uint32_t threadId;  // its main thread
    std::string name;
    std::uint32_t bootCount;  // the simulated Windows' start it began in
};

// Enters this process in the PC's table of running host programs (its main
// thread id is its pid) and removes it again at exit. False when the PC is
// off, or the table is full even after the dead were pruned. Registering
// again renames the entry.
bool RegisterThisProcess(const std::string &name);
void UnregisterThisProcess();

// The running host programs; entries of processes that have died are dropped.
std::vector<RunningProgram> ListRunningPrograms();

std::uint32_t BootCount();

// The end of the user's session as it reaches a host program: a signal, which
// the program's front end turns into WM_QUERYENDSESSION and WM_ENDSESSION.
enum class SessionEndKind {
    kEnd,        // SIGTERM: the programs may refuse
    kForcedEnd,  // SIGHUP: they are told, but cannot refuse
    kCancelled,  // SIGUSR1: an end that was called off (WM_ENDSESSION with FALSE)
};
int SignalOf(SessionEndKind kind);

// Tells every running host program of the PC except this process. Returns how
// many were told.
int DeliverSessionEnd(SessionEndKind kind);

namespace detail {
struct SharedState;
// Drops the entries of programs that have ended; the caller holds the lock.
void PruneEndedPrograms(SharedState &state);
}  // namespace detail

}  // namespace pc
