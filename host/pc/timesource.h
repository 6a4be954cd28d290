// The time source of the simulated PC: the host's clock for people, or a virtual
// clock that tests advance. The RTC, the OS clock and the timers all read it, so
// they move together whichever is in use.
#pragma once

#include <cstdint>
#include <optional>

#include "pc/calendar.h"

namespace pc {

// The span the time source holds, 1900-01-01 to 2099-12-31 UTC: every year a
// Year 2000 test needs, and narrow enough that the distance between any two
// of its instants fits in 64 bits of nanoseconds.
inline constexpr std::int64_t kEarliestNs = -2'208'988'800'000'000'000;
inline constexpr std::int64_t kLatestNs = 4'102'444'800'000'000'000 - 1;

// The time-source instant at which a clock `utcOffsetMinutes` ahead of UTC
// shows `local`; nullopt when that lies outside the span.
std::optional<std::int64_t> TimeSourceNsOf(const CivilTime &local, int utcOffsetMinutes);

// Nanoseconds since 1970-01-01 00:00:00 UTC on the attached PC's time source.
std::int64_t Now();

// True when the attached PC runs on the virtual clock.
bool IsVirtualTime();

// Moves the virtual clock forward (no effect on the host clock). Every host
// program attached to the PC sees the new time. False, and the clock left
// where it was, when that would take it past kLatestNs.
bool AdvanceVirtualTime(std::int64_t nanoseconds);

// Blocks the calling thread for about `realMicroseconds` of real time or until the
// virtual clock moves, whichever comes first; a waiting loop calls this instead
// of sleeping so that it wakes as soon as a test advances the clock.
void WaitForTimeChange(std::int64_t realMicroseconds);

// Wakes every thread in WaitForTimeChange on the attached PC, as a move of the
// clock does, without moving it: one that waits for something else as well
// (a flag that tells it to stop, say) then looks at once.
void WakeTimeWaiters();

}  // namespace pc
