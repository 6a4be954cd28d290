// The host processes behind the PC's table of programs and its lock: whether
// one that was recorded still runs. A pid alone can be reused, so a record
// also keeps the process's start time.
#pragma once

#include <cstdint>

namespace pc::detail {

// The start of process `pid` in clock ticks since the host booted; 0 when it
// is gone or its record cannot be read.
std::uint64_t ProcessStartTicks(int pid);

// True while the process recorded as `pid` started at `startTicks` runs: not
// ended, not ended and waiting to be reaped, and its pid not reused.
bool ProcessAlive(int pid, std::uint64_t startTicks);

// True while thread `tid` of process `pid` runs.
bool ThreadAlive(int pid, std::uint32_t tid);

// True while any thread on the host has the id `tid`.
bool ThreadExists(std::uint32_t tid);

}  // namespace pc::detail
