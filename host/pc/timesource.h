// The time source of the simulated PC: the host's clock for people, or a virtual
// clock that tests advance. The RTC, the OS clock and the timers all read it, so
// they move together whichever is in use.
#pragma once

#include <cstdint>

namespace pc {

// Nanoseconds since 1970-01-01 00:00:00 UTC on the attached PC's time source.
std::int64_t Now();

// True when the attached PC runs on the virtual clock.
bool IsVirtualTime();

// Moves the virtual clock forward (no effect on the host clock). Every host
// program attached to the PC sees the new time.
void AdvanceVirtualTime(std::int64_t nanoseconds);

// Blocks the calling thread for about `realMicroseconds` of real time or until the
// virtual clock moves, whichever comes first; a waiting loop calls this instead
// of sleeping so that it wakes as soon as a test advances the clock.
void WaitForTimeChange(std::int64_t realMicroseconds);

}  // namespace pc
