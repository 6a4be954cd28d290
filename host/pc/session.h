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
    kCancelled,  // SIGUSR1 queued with kCancelledEndValue: an end that was called
                 // off (WM_ENDSESSION with FALSE)
};
int SignalOf(SessionEndKind kind);
// A plain SIGUSR1 ends a process by default, so it is an end like the others;
// only one queued with this value is a cancelled end.
inline constexpr int kCancelledEndValue = 0x54454E44;

// What a signal that reaches a host program means: every one whose default
// action ends the process is an end of its session, so that it tidies up
// first. SIGTERM and SIGINT ask, and may be refused; the others tell. The
// signals of the program's own faults (SIGSEGV and the like, SIGABRT) are not
// ends: nothing is sure to work after them. False for a signal that is no
// end. Safe in a signal handler.
bool SessionEndOfSignal(int sig, SessionEndKind &kind);
// Every signal that is an end of the session.
std::vector<int> SessionEndSignals();

// Tells every running host program of the PC except this process. Returns how
// many were told.
int DeliverSessionEnd(SessionEndKind kind);

// How long a host program may take over its end of session before it is ended
// anyway, in milliseconds of real time: Windows' own 20 s, or
// TOLVANE_WAIT_TO_KILL_MS when that holds a number (a setting for tests, which
// would otherwise wait that long). tolvane-pc waits as long and 2 s more
// before it calls off a restart or a power off.
std::int64_t WaitToKillMs();

namespace detail {
struct SharedState;
// Drops the entries of programs that have ended; the caller holds the lock.
void PruneEndedPrograms(SharedState &state);
}  // namespace detail

}  // namespace pc
