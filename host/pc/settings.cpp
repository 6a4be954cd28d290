// Reading and changing the settings of the attached PC, for `tolvane-pc show`
// and `tolvane-pc set`: a table of keys, each with how it shows its value and
// how it takes a new one.
#include "pc/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <optional>

#include "pc/calendar.h"
#include "pc/machine.h"
#include "pc/osclock.h"
#include "pc/rtc.h"

namespace pc {

using detail::BiosMode;
using detail::SharedState;

namespace {

const char *const kBiosModeNames[] = {"plain", "windowing", "date-fails", "time-fails",
                                      "latched-century"};
const char *const kPostModeNames[] = {"plain", "carry-century", "year-range"};
static_assert(std::size(kBiosModeNames) == detail::kBiosModes);
static_assert(std::size(kPostModeNames) == detail::kPostModes);

std::string YesNo(bool value)
{
    return value ? "yes" : "no";
}

bool ParseYesNo(const std::string &value, bool &out)
{
    if (value == "yes" || value == "on" || value == "true" || value == "1")
        out = true;
    else if (value == "no" || value == "off" || value == "false" || value == "0")
        out = false;
    else
        return false;
    return true;
}

// Moving between the host clock and the virtual one keeps every clock of the
// PC where it was: only the time source under them changes.
void SwitchTimeSource(SharedState &state, bool toVirtual)
{
    detail::StateLock lock(state);
    bool isVirtual = state.virtualTime.load();
    if (toVirtual == isVirtual)
        return;
    std::int64_t before = detail::NowOn(state);
    if (toVirtual) {
        state.virtualNowNs.store(before);
        state.virtualTime.store(1);
    } else {
        std::int64_t after = detail::HostNowNs();
        std::int64_t shift = after - before;
        state.osOffsetTicks -= shift / 100;
        state.rtc.lastUpdateNs += shift;
        state.rtc.periodicSeenNs += shift;
        state.bootNs += shift;
        state.virtualTime.store(0);
    }
    state.timeGeneration.fetch_add(1);
}

// A change a setting has taken, made once every setting of the command has
// taken its value, under the PC's lock.
using Change = std::function<void(SharedState &)>;

// What the settings before this one in the same command will have changed,
// as far as a later one's value depends on it.
struct Plan {
    int utcOffsetMinutes;
};

struct Setting {
    const char *key;
    const char *accepts;
    std::function<std::string(const SharedState &)> show;
    // The change `value` asks for, or nullptr for a value it does not take.
    std::function<Change(const SharedState &, Plan &, const std::string &)> take;
};

// The named value of an enum as the file holds it; "?" for one it should not.
template <std::size_t N>
std::string NameIn(const char *const (&names)[N], std::uint32_t value)
{
    return value < N ? names[value] : "?";
}

Change SetFlag(std::uint32_t detail::Settings::*flag, const std::string &value)
{
    bool on;
    if (!ParseYesNo(value, on))
        return nullptr;
    return [flag, on](SharedState &s) { s.settings.*flag = on; };
}

const std::vector<Setting> &Table()
{
    static const std::vector<Setting> kTable = {
        {"profile", "a profile name (its features; clocks and atoms stay)",
         [](const SharedState &s) { return std::string(detail::ProfileName(s.settings)); },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             const Profile *profile = FindProfile(v);
             if (!profile)
                 return nullptr;
             return [profile](SharedState &s) {
                 int offset = s.settings.utcOffsetMinutes;
                 ApplyProfile(s.settings, *profile);
                 s.settings.utcOffsetMinutes = offset;
             };
         }},
        {"century-aware", "yes|no",
         [](const SharedState &s) { return YesNo(s.settings.centuryAware); },
         [](const SharedState &, Plan &, const std::string &v) {
             return SetFlag(&detail::Settings::centuryAware, v);
         }},
        {"bios", "plain|windowing|date-fails|time-fails|latched-century",
         [](const SharedState &s) {
             return NameIn(kBiosModeNames, static_cast<std::uint32_t>(s.settings.bios));
         },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             for (std::uint32_t i = 0; i < detail::kBiosModes; ++i)
                 if (v == kBiosModeNames[i])
                     return [i](SharedState &s) { s.settings.bios = static_cast<BiosMode>(i); };
             return nullptr;
         }},
        {"post", "plain|carry-century|year-range (what the BIOS does to the chip at power-on)",
         [](const SharedState &s) {
             return NameIn(kPostModeNames, static_cast<std::uint32_t>(s.settings.post));
         },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             for (std::uint32_t i = 0; i < detail::kPostModes; ++i)
                 if (v == kPostModeNames[i])
                     return [i](SharedState &s) {
                         s.settings.post = static_cast<detail::PostMode>(i);
                     };
             return nullptr;
         }},
        {"platform", "win95|win98|win98se|nt4",
         [](const SharedState &) { return std::string(CurrentPlatform().name); },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             detail::Platform platform;
             if (!FindPlatform(v == "nt" ? "nt4" : v, platform))
                 return nullptr;
             return [platform](SharedState &s) { s.settings.platform = platform; };
         }},
        {"network", "yes|no", [](const SharedState &s) { return YesNo(s.settings.network); },
         [](const SharedState &, Plan &, const std::string &v) {
             return SetFlag(&detail::Settings::network, v);
         }},
        {"stuck-chip", "yes|no", [](const SharedState &s) { return YesNo(s.settings.stuckChip); },
         [](const SharedState &, Plan &, const std::string &v) {
             return SetFlag(&detail::Settings::stuckChip, v);
         }},
        {"set-time", "allowed|denied (denied: SetLocalTime fails with error 1314)",
         [](const SharedState &s) {
             return std::string(s.settings.setTimeDenied ? "denied" : "allowed");
         },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             if (v != "allowed" && v != "denied")
                 return nullptr;
             bool denied = v == "denied";
             return [denied](SharedState &s) { s.settings.setTimeDenied = denied; };
         }},
        {"utc-offset", "+HH:MM|-HH:MM|minutes (local = UTC + offset)",
         [](const SharedState &s) { return FormatUtcOffset(s.settings.utcOffsetMinutes); },
         [](const SharedState &, Plan &plan, const std::string &v) -> Change {
             std::optional<int> minutes = ParseUtcOffset(v);
             if (!minutes)
                 return nullptr;
             plan.utcOffsetMinutes = *minutes;
             return [minutes](SharedState &s) { s.settings.utcOffsetMinutes = *minutes; };
         }},
        {"time-source", "host|virtual",
         [](const SharedState &s) { return std::string(s.virtualTime ? "virtual" : "host"); },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             if (v != "host" && v != "virtual")
                 return nullptr;
             bool toVirtual = v == "virtual";
             return [toVirtual](SharedState &s) { SwitchTimeSource(s, toVirtual); };
         }},
        {"rtc-phase-ms", "0..999 (where in each second the RTC updates)",
         [](const SharedState &s) {
             std::int64_t phase = s.rtc.lastUpdateNs % rtc::kSecondNs;
             return std::to_string((phase + rtc::kSecondNs) % rtc::kSecondNs / 1'000'000);
         },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             char *end = nullptr;
             long ms = std::strtol(v.c_str(), &end, 10);
             if (v.empty() || *end || ms < 0 || ms > 999)
                 return nullptr;
             return [ms](SharedState &) { SetRtcPhase(ms * 1'000'000); };
         }},
        {"os-time", "YYYY-MM-DD HH:MM:SS (local; written through to the RTC)",
         [](const SharedState &) { return FormatCivil(OsLocalNow()); },
         [](const SharedState &s, Plan &plan, const std::string &v) -> Change {
             auto time = ParseCivil(v);
             if (!time || !IsValidSystemTime(*time) || !OsClockHolds(*time, plan.utcOffsetMinutes))
                 return nullptr;
             if (!s.poweredOn)
                 throw PcError("the PC is off, so its Windows has no clock to set; set rtc-time, "
                               "or switch it on with 'tolvane-pc power on'");
             return [time](SharedState &) { SetOsLocalTime(*time, true); };
         }},
        {"rtc-time", "YYYY-MM-DD HH:MM:SS (the RTC alone, century included)",
         [](const SharedState &) {
             RtcTime t = DecodeRtc(RtcRegisters());
             if (!t.valid || t.century < 0)
                 return std::string("(not a valid time)");
             return FormatCivil(CivilTime{t.century * 100 + t.year, t.month, t.day, t.hour,
                                          t.minute, t.second, 0, 0});
         },
         [](const SharedState &, Plan &, const std::string &v) -> Change {
             auto time = ParseCivil(v);
             if (!time)
                 return nullptr;
             return [time](SharedState &) { SetRtcTime(*time); };
         }},
    };
    return kTable;
}

SharedState &AttachedOrThrow()
{
    SharedState *state = detail::Attached();
    if (!state)
        throw PcError("no PC attached");
    return *state;
}

}  // namespace

std::vector<SettingLine> CurrentSettings()
{
    SharedState &state = AttachedOrThrow();
    std::vector<SettingLine> lines;
    for (const Setting &setting : Table())
        lines.push_back({setting.key, setting.show(state)});
    return lines;
}

std::vector<SettingLine> SettingKeys()
{
    std::vector<SettingLine> keys;
    for (const Setting &setting : Table())
        keys.push_back({setting.key, setting.accepts});
    return keys;
}

void ChangeSettings(const std::vector<SettingLine> &changes)
{
    SharedState &state = AttachedOrThrow();
    // Every value is taken before anything changes, and no other program
    // comes between: the command changes all it names, or nothing.
    detail::StateLock lock(state);
    Plan plan{state.settings.utcOffsetMinutes};
    std::vector<Change> taken;
    for (const SettingLine &change : changes) {
        auto setting = std::find_if(Table().begin(), Table().end(),
                                    [&](const Setting &s) { return change.key == s.key; });
        if (setting == Table().end())
            throw PcError("unknown setting '" + change.key +
                          "'; 'tolvane-pc --help' lists the settings");
        Change made = setting->take(state, plan, change.value);
        if (!made)
            throw PcError("bad value '" + change.value + "' for " + change.key + "; it takes " +
                          setting->accepts);
        taken.push_back(std::move(made));
    }
    for (const Change &made : taken)
        made(state);
}

void ChangeSetting(const std::string &key, const std::string &value)
{
    ChangeSettings({{key, value}});
}

}  // namespace pc
