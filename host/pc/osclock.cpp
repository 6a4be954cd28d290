// The simulated Windows' clock over the time source. Without an attached PC it
// is the host's own clock in the host's time zone.
#include "pc/osclock.h"

#include <climits>

#include "pc/rtc.h"
#include "pc/state.h"

namespace pc {

namespace {

constexpr std::int64_t kTicksPerMinute = 60 * kTicksPerSecond;

// Keeps a tick count inside what CivilFromTicks can show.
std::int64_t Clamp(std::int64_t base, std::int64_t add)
{
    std::int64_t sum;
    if (__builtin_add_overflow(base, add, &sum))
        return add > 0 ? LLONG_MAX : 0;
    return sum < 0 ? 0 : sum;
}

std::int64_t UtcTicksAt(const detail::SharedState &state, std::int64_t now)
{
    return Clamp(TicksFromUnixNs(now), state.osOffsetTicks);
}

// Windows 9x set the date the DOS way, through the BIOS's set-date call
// (INT 1Ah 05h), so a BIOS that keeps a century of its own takes the new one;
// NT writes the chip alone.
void WriteThroughToRtc(detail::SharedState &state, const CivilTime &local, std::int64_t now)
{
    detail::WriteRtcTime(state, local, now);
    if (state.settings.platform != detail::Platform::NT4)
        state.bios.century = state.rtc.regs[CMOS_CENTURY];
}

}  // namespace

namespace detail {

std::int64_t OsLocalTicksAt(const SharedState &state, std::int64_t now)
{
    return Clamp(UtcTicksAt(state, now), state.settings.utcOffsetMinutes * kTicksPerMinute);
}

}  // namespace detail

CivilTime OsUtcNow()
{
    const detail::SharedState *state = detail::Attached();
    if (!state)
        return CivilFromTicks(TicksFromUnixNs(detail::HostNowNs()));
    return CivilFromTicks(UtcTicksAt(*state, detail::NowOn(*state)));
}

CivilTime OsLocalNow()
{
    const detail::SharedState *state = detail::Attached();
    if (!state) {
        std::int64_t now = detail::HostNowNs();
        return CivilFromTicks(
            Clamp(TicksFromUnixNs(now), detail::HostUtcOffsetMinutes(now) * kTicksPerMinute));
    }
    return CivilFromTicks(detail::OsLocalTicksAt(*state, detail::NowOn(*state)));
}

bool IsValidSystemTime(const CivilTime &t)
{
    return t.year >= 1601 && t.year <= 30827 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= DaysInMonth(t.year, t.month) && t.hour >= 0 && t.hour < 24 && t.minute >= 0 &&
           t.minute < 60 && t.second >= 0 && t.second < 60 && t.millisecond >= 0 &&
           t.millisecond < 1000;
}

SetTimeResult SetOsLocalTime(const CivilTime &local, bool byOperator)
{
    if (!IsValidSystemTime(local))
        return SetTimeResult::InvalidRecord;
    detail::SharedState *state = detail::Attached();
    if (!state)
        return SetTimeResult::NotPermitted;

    detail::StateLock lock(*state);
    if (state->settings.setTimeDenied && !byOperator)
        return SetTimeResult::NotPermitted;
    if (!OsClockHolds(local, state->settings.utcOffsetMinutes))
        return SetTimeResult::InvalidRecord;
    std::int64_t utc = TicksFromCivil(local) - state->settings.utcOffsetMinutes * kTicksPerMinute;
    std::int64_t now = detail::NowOn(*state);
    state->osOffsetTicks = utc - TicksFromUnixNs(now);
    WriteThroughToRtc(*state, local, now);
    return SetTimeResult::Ok;
}

bool OsClockHolds(const CivilTime &local, int utcOffsetMinutes)
{
    // A local time at the edge of the range can fall outside it in UTC.
    std::int64_t utc = TicksFromCivil(local) - utcOffsetMinutes * kTicksPerMinute;
    return utc >= 0 && utc <= LatestOsUtcTicks();
}

std::int64_t LatestOsUtcTicks()
{
    return TicksFromCivil(CivilTime{30828, 1, 1, 23, 59, 59, 999});
}

std::uint32_t OsTickCount()
{
    const detail::SharedState *state = detail::Attached();
    if (!state) {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint32_t>(std::int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1'000'000);
    }
    // Wraps after 49.7 days, as on Windows.
    return static_cast<std::uint32_t>((detail::NowOn(*state) - state->bootNs) / 1'000'000);
}

void SyncOsClock()
{
    detail::SharedState *state = detail::Attached();
    if (!state)
        return;
    detail::StateLock lock(*state);
    state->osOffsetTicks = 0;
    std::int64_t now = detail::NowOn(*state);
    WriteThroughToRtc(*state, CivilFromTicks(detail::OsLocalTicksAt(*state, now)), now);
}

}  // namespace pc
