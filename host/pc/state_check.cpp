// The ranges of a state file's fields. Every field that a program reads as an
// index, a count, a length, an enum or a clock has its row here; a field added
// to the layout gets one too. Any value of the others (the RTC's registers,
// counters, the lock, which lock.cpp copes with) is one the PC works with.
#include "pc/state_check.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "pc/osclock.h"
#include "pc/settings.h"
#include "pc/state.h"
#include "pc/timesource.h"

namespace pc::detail {

namespace {

const char *const kReplace = "replace it with 'tolvane-pc create --force'";

// Instants the PC keeps may lie a little outside the time source's span: a
// bus cycle moves a virtual clock on its own, and the chip's update lies
// ahead of the time source.
constexpr std::int64_t kInstantSlackNs = 86'400'000'000'000;
constexpr std::int64_t kFirstInstant = kEarliestNs - kInstantSlackNs;
constexpr std::int64_t kLastInstant = kLatestNs + kInstantSlackNs;
const char *const kInstantSpan = "the time source's span, 1900 to 2099";

// The largest process id Linux hands out.
constexpr std::int64_t kMaxPid = 4'194'304;

struct Range {
    const char *field;  // as the line names it
    std::int64_t (*read)(const SharedState &);
    std::int64_t min, max;
    const char *span = nullptr;  // the range in words, instead of min..max
};

// The OS clock runs anywhere from 1601 to 30827 in UTC (a time zone's day
// either side), whatever instant of the time source it is read at.
std::int64_t FirstOsOffset()
{
    return -TicksFromUnixNs(kLastInstant) - kTicksPerDay;
}

std::int64_t LastOsOffset()
{
    return LatestOsUtcTicks() + kTicksPerDay - TicksFromUnixNs(kFirstInstant);
}

// A row's field: its name as the layout spells it, and how to read it.
#define FIELD(path) #path, [](const SharedState &s) { return static_cast<std::int64_t>(s.path); }

// In the order of the layout, so the first field out of range is named.
const Range *Ranges(std::size_t &count)
{
    static const Range kRanges[] = {
        {FIELD(virtualTime), 0, 1},
        {FIELD(virtualNowNs), kFirstInstant, kLastInstant, kInstantSpan},
        {FIELD(settings.centuryAware), 0, 1},
        {FIELD(settings.bios), 0, kBiosModes - 1},
        {FIELD(settings.post), 0, kPostModes - 1},
        {FIELD(settings.platform), 0, kPlatforms - 1},
        {FIELD(settings.network), 0, 1},
        {FIELD(settings.stuckChip), 0, 1},
        {FIELD(settings.setTimeDenied), 0, 1},
        // Time zones have stayed within a day of UTC, local mean times included.
        {FIELD(settings.utcOffsetMinutes), -24 * 60, 24 * 60},
        {FIELD(rtc.index), 0, 127},
        {FIELD(rtc.nmiMasked), 0, 1},
        {FIELD(rtc.lastUpdateNs), kFirstInstant, kLastInstant, kInstantSpan},
        {FIELD(rtc.periodicSeenNs), kFirstInstant, kLastInstant, kInstantSpan},
        {FIELD(osOffsetTicks), FirstOsOffset(), LastOsOffset()},
        {FIELD(bootNs), kFirstInstant, kLastInstant, kInstantSpan},
        {FIELD(poweredOn), 0, 1},
        {FIELD(lastBoot.booted), 0, 1},
        {FIELD(lastBoot.post), 0, kPostActions - 1},
        {FIELD(lastBoot.boot), 0, kBootActions - 1},
        {FIELD(lastBoot.platform), 0, kPlatforms - 1},
        {FIELD(lastBoot.loaded.dayOfWeek), 0, 6},
        {FIELD(deadHolders.lastAtNs), kFirstInstant, kLastInstant, kInstantSpan},
    };
    count = std::size(kRanges);
    return kRanges;
}

#undef FIELD

std::optional<StateProblem> Damaged(const std::string &what)
{
    return StateProblem{"is damaged: " + what, kReplace};
}

std::optional<StateProblem> OutOfRange(const std::string &field, std::int64_t value,
                                       std::int64_t min, std::int64_t max, const char *span)
{
    std::string range = span ? span : std::to_string(min) + ".." + std::to_string(max);
    return Damaged(field + " is " + std::to_string(value) + ", outside " + range);
}

// Text from the file, fit for a one-line message.
std::string Printable(std::string_view text)
{
    std::string shown(text);
    for (char &c : shown)
        if (c < ' ' || c > '~')
            c = '?';
    return shown;
}

std::optional<StateProblem> CheckSlots(const SharedState &state)
{
    for (int i = 0; i < kAtomSlots; ++i)
        if (state.atoms[i].length > kMaxAtomName)
            return OutOfRange("atoms[" + std::to_string(i) + "].length", state.atoms[i].length, 0,
                              kMaxAtomName, nullptr);
    for (int i = 0; i < kProcessSlots; ++i) {
        const ProcessSlot &slot = state.processes[i];
        std::string field = "processes[" + std::to_string(i) + "]";
        if (slot.pid < 0 || slot.pid > kMaxPid)
            return OutOfRange(field + ".pid", slot.pid, 0, kMaxPid, nullptr);
        if (!std::memchr(slot.name, '\0', sizeof slot.name))
            return Damaged(field + ".name has no end within its " +
                           std::to_string(sizeof slot.name) + " bytes");
    }
    return std::nullopt;
}

}  // namespace

std::optional<StateProblem> CheckStateHeader(const void *bytes, std::size_t available,
                                             std::uint64_t fileSize)
{
    struct {
        char magic[8];
        std::uint32_t layoutVersion;
        std::uint32_t stateSize;
    } header{};
    std::memcpy(&header, bytes, available < sizeof header ? available : sizeof header);
    if (available < sizeof header.magic || std::memcmp(header.magic, kMagic, sizeof kMagic) != 0)
        return StateProblem{"is not a simulated PC's state file",
                            "remove it or choose another PC directory (--pc or TOLVANE_PC)"};
    const std::string layoutSize = std::to_string(sizeof(SharedState));
    if (available < sizeof header)
        return Damaged("it is " + std::to_string(fileSize) +
                       " bytes long, where a PC's state file is " + layoutSize);
    if (header.layoutVersion != kLayoutVersion)
        return StateProblem{"was made by another version of Tolvane (layout " +
                                std::to_string(header.layoutVersion) + ", this one uses " +
                                std::to_string(kLayoutVersion) + ")",
                            kReplace};
    if (header.stateSize != sizeof(SharedState))
        return Damaged("its header gives a size of " + std::to_string(header.stateSize) +
                       " bytes, this layout's is " + layoutSize);
    if (fileSize != sizeof(SharedState))
        return Damaged("it is " + std::to_string(fileSize) +
                       " bytes long, where a PC's state file is " + layoutSize);
    return std::nullopt;
}

std::optional<StateProblem> CheckStateFields(const SharedState &state)
{
    std::size_t count = 0;
    const Range *ranges = Ranges(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Range &range = ranges[i];
        std::int64_t value = range.read(state);
        if (value < range.min || value > range.max)
            return OutOfRange(range.field, value, range.min, range.max, range.span);
    }
    std::string_view profile = ProfileName(state.settings);
    if (profile.size() == sizeof state.settings.profile)
        return Damaged("settings.profile has no end within its " +
                       std::to_string(sizeof state.settings.profile) + " bytes");
    if (!FindProfile(std::string(profile)))
        return Damaged("settings.profile '" + Printable(profile) + "' is no profile");
    if (!IsValidSystemTime(state.lastBoot.loaded))
        return Damaged("lastBoot.loaded is no date and time Windows holds");
    return CheckSlots(state);
}

std::optional<StateProblem> CheckStateFile(const void *bytes, std::size_t size)
{
    if (std::optional<StateProblem> problem = CheckStateHeader(bytes, size, size))
        return problem;
    return CheckStateFields(*static_cast<const SharedState *>(bytes));
}

}  // namespace pc::detail
