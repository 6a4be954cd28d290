// Host processes started by CreateProcessA, as far as the automation needs
// them: a test must leave no program behind that it started.
#pragma once

#include <cstdint>

namespace kernel {

// Counts every process CreateProcessA has started in this process so far.
std::uint64_t StartedProcessCount();

// Kills every process started after the first `since` that still runs, and
// waits (at most a few seconds of real time) until each has been reaped.
// Returns how many it had to kill.
int TerminateStartedProcesses(std::uint64_t since);

}  // namespace kernel
