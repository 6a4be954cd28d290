// Gregorian date arithmetic on whole days: O(1), so a clock that catches up
// after years does no more work than one that moved a second.
#include "pc/calendar.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace pc {

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Counts from March so that the leap day ends the counted year; eras of 400
// years repeat exactly.
std::int64_t DaysFromCivil(int year, int month, int day)
{
    std::int64_t y = year - (month <= 2 ? 1 : 0);
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yearOfEra = y - era * 400;
    std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(std::int64_t days, int &year, int &month, int &day)
{
    days += 719468;
    std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    std::int64_t dayOfEra = days - era * 146097;
    std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t TicksFromCivil(const CivilTime &time)
{
    std::int64_t days = DaysFromCivil(time.year, time.month, time.day) - DaysFromCivil(1601, 1, 1);
    std::int64_t seconds = time.hour * 3600 + time.minute * 60 + time.second;
    return days * kTicksPerDay + seconds * kTicksPerSecond +
           std::int64_t{time.millisecond} * 10'000;
}

CivilTime CivilFromTicks(std::int64_t ticks)
{
    CivilTime time;
    std::int64_t days = ticks / kTicksPerDay;
    std::int64_t rest = ticks % kTicksPerDay;
    CivilFromDays(days + DaysFromCivil(1601, 1, 1), time.year, time.month, time.day);
    std::int64_t seconds = rest / kTicksPerSecond;
    time.hour = static_cast<int>(seconds / 3600);
    time.minute = static_cast<int>(seconds / 60 % 60);
    time.second = static_cast<int>(seconds % 60);
    time.millisecond = static_cast<int>(rest % kTicksPerSecond / 10'000);
    // 1601-01-01 was a Monday.
    time.dayOfWeek = static_cast<int>((days + 1) % 7);
    return time;
}

std::optional<CivilTime> ParseCivil(const std::string &text)
{
    CivilTime t;
    char separator = 0;
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &t.year, &t.month, &t.day,
                    &separator, &t.hour, &t.minute, &t.second, &consumed) != 7 ||
        (separator != ' ' && separator != 'T'))
        return std::nullopt;
    // Milliseconds, if any, as FormatCivil writes them: a point and three digits.
    const std::string fraction = text.substr(static_cast<std::size_t>(consumed));
    if (!fraction.empty()) {
        if (fraction.size() != 4 || fraction[0] != '.' ||
            fraction.find_first_not_of("0123456789", 1) != std::string::npos)
            return std::nullopt;
        t.millisecond = std::atoi(fraction.c_str() + 1);
    }
    if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
        t.hour < 0 || t.minute < 0 || t.second < 0)
        return std::nullopt;
    return CivilFromTicks(TicksFromCivil(t));
}

std::string FormatCivil(const CivilTime &time, bool withMilliseconds)
{
    char text[40];
    if (withMilliseconds)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", time.year,
                      time.month, time.day, time.hour, time.minute, time.second, time.millisecond);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month,
                      time.day, time.hour, time.minute, time.second);
    return text;
}

std::optional<int> ParseUtcOffset(const std::string &text)
{
    int hours = 0, mins = 0, consumed = 0, minutes = 0;
    char sign = 0;
    if (std::sscanf(text.c_str(), "%c%2d:%2d%n", &sign, &hours, &mins, &consumed) == 3 &&
        static_cast<std::size_t>(consumed) == text.size() && (sign == '+' || sign == '-') &&
        mins < 60 && hours >= 0 && mins >= 0) {
        minutes = (hours * 60 + mins) * (sign == '-' ? -1 : 1);
    } else {
        char *end = nullptr;
        long parsed = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX)
            return std::nullopt;
        minutes = static_cast<int>(parsed);
    }
    if (minutes < -14 * 60 || minutes > 14 * 60)
        return std::nullopt;
    return minutes;
}

std::string FormatUtcOffset(int minutes)
{
    char text[16];
    int magnitude = minutes < 0 ? -minutes : minutes;
    std::snprintf(text, sizeof text, "%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return text;
}

}  // namespace pc
