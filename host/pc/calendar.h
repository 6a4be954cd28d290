// Proleptic Gregorian date arithmetic and the 100 ns tick scale since 1601 on
// which the OS clock runs, shared by the OS clock, the tools and the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pc {

struct CivilTime {
    int year = 1601;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 0;  // 0 = Sunday; filled by the conversions, ignored as input
};

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kNsPerTick = 100;
inline constexpr std::int64_t kTicksPerDay = 86'400 * kTicksPerSecond;
// 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kUnixEpochTicks = 116'444'736'000'000'000;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Days since 1970-01-01 and back.
std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int &year, int &month, int &day);

// Ticks since 1601 and back; the tick value must not be negative.
std::int64_t TicksFromCivil(const CivilTime &time);
CivilTime CivilFromTicks(std::int64_t ticks);

// The time source's nanoseconds since 1970 as ticks since 1601.
inline std::int64_t TicksFromUnixNs(std::int64_t ns)
{
    return kUnixEpochTicks + (ns >= 0 ? ns / kNsPerTick : -((-ns + kNsPerTick - 1) / kNsPerTick));
}
inline std::int64_t UnixNsFromTicks(std::int64_t ticks)
{
    return (ticks - kUnixEpochTicks) * kNsPerTick;
}

// The time-source instant at which a clock `utcOffsetMinutes` ahead of UTC
// shows `local`.
inline std::int64_t UnixNsFromLocal(const CivilTime &local, int utcOffsetMinutes)
{
    return UnixNsFromTicks(TicksFromCivil(local)) - std::int64_t{utcOffsetMinutes} * 60'000'000'000;
}

// "YYYY-MM-DD HH:MM:SS" (or with 'T'), with ".mmm" milliseconds or without;
// nullopt unless it names a real instant.
std::optional<CivilTime> ParseCivil(const std::string &text);
std::string FormatCivil(const CivilTime &time, bool withMilliseconds = false);

// A time zone's bias (local = UTC + bias): "+HH:MM", "-HH:MM" or whole minutes,
// within the world's time zones (14 hours either way); nullopt otherwise.
std::optional<int> ParseUtcOffset(const std::string &text);
std::string FormatUtcOffset(int minutes);

}  // namespace pc
