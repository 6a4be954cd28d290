// The simulated Windows' clock: an offset from the time source and a time zone
// bias. Setting it validates the record as Windows does and writes the new local
// time through to the RTC, as Windows 98 does.
#pragma once

#include <cstdint>

#include "pc/calendar.h"

namespace pc {

CivilTime OsUtcNow();
CivilTime OsLocalNow();

enum class SetTimeResult { Ok, InvalidRecord, NotPermitted };

// The day of week in `local` is ignored. The operator of the PC (tolvane-pc)
// may set the time even where programs are denied it.
SetTimeResult SetOsLocalTime(const CivilTime &local, bool byOperator = false);

// A record Windows would accept: month, day of that month, hour, minute,
// second, millisecond, and a year from 1601 to 30827.
bool IsValidSystemTime(const CivilTime &time);

// Whether the UTC time of `local`, `utcOffsetMinutes` ahead of UTC, is one the
// OS clock holds; SetOsLocalTime refuses one that is not.
bool OsClockHolds(const CivilTime &local, int utcOffsetMinutes);
// The last UTC time it holds, in ticks since 1601.
std::int64_t LatestOsUtcTicks();

// Milliseconds since the simulated Windows started.
std::uint32_t OsTickCount();

// Back to the host's time (offset 0), written through to the RTC.
void SyncOsClock();

namespace detail {
struct SharedState;
// Local time of the OS clock at time-source instant `now`, in ticks since 1601.
std::int64_t OsLocalTicksAt(const SharedState &state, std::int64_t now);
}  // namespace detail

}  // namespace pc
