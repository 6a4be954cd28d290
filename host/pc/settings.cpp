// Reading and changing the settings of the attached PC, one key at a time, for
// `tolvane-pc show` and `tolvane-pc set`.
#include "pc/settings.h"

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

const char *const kBiosModes[] = {"plain", "windowing", "date-fails", "time-fails",
                                  "latched-century"};
const char *const kPostModes[] = {"plain", "carry-century", "year-range"};

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

struct Setting {
    const char *key;
    const char *accepts;
    std::function<std::string(const SharedState &)> show;
    // False for a value it does not take.
    std::function<bool(SharedState &, const std::string &)> change;
};

template <typename Apply>
bool Locked(SharedState &state, Apply apply)
{
    detail::StateLock lock(state);
    return apply(state.settings);
}

const std::vector<Setting> &Table()
{
    static const std::vector<Setting> kTable = {
        {"profile", "a profile name (its features; clocks and atoms stay)",
         [](const SharedState &s) { return std::string(s.settings.profile); },
         [](SharedState &s, const std::string &v) {
             const Profile *profile = FindProfile(v);
             return profile && Locked(s, [&](detail::Settings &set) {
                        int offset = set.utcOffsetMinutes;
                        ApplyProfile(set, *profile);
                        set.utcOffsetMinutes = offset;
                        return true;
                    });
         }},
        {"century-aware", "yes|no",
         [](const SharedState &s) { return YesNo(s.settings.centuryAware); },
         [](SharedState &s, const std::string &v) {
             bool on;
             return ParseYesNo(v, on) &&
                    Locked(s, [&](detail::Settings &set) { return set.centuryAware = on, true; });
         }},
        {"bios", "plain|windowing|date-fails|time-fails|latched-century",
         [](const SharedState &s) {
             return std::string(kBiosModes[static_cast<int>(s.settings.bios)]);
         },
         [](SharedState &s, const std::string &v) {
             for (int i = 0; i < static_cast<int>(std::size(kBiosModes)); ++i)
                 if (v == kBiosModes[i])
                     return Locked(s, [&](detail::Settings &set) {
                         return set.bios = static_cast<BiosMode>(i), true;
                     });
             return false;
         }},
        {"post", "plain|carry-century|year-range (what the BIOS does to the chip at power-on)",
         [](const SharedState &s) {
             return std::string(kPostModes[static_cast<int>(s.settings.post)]);
         },
         [](SharedState &s, const std::string &v) {
             for (int i = 0; i < 3; ++i)
                 if (v == kPostModes[i])
                     return Locked(s, [&](detail::Settings &set) {
                         return set.post = static_cast<detail::PostMode>(i), true;
                     });
             return false;
         }},
        {"platform", "win95|win98|win98se|nt4",
         [](const SharedState &) { return std::string(CurrentPlatform().name); },
         [](SharedState &s, const std::string &v) {
             detail::Platform platform;
             return FindPlatform(v == "nt" ? "nt4" : v, platform) &&
                    Locked(s, [&](detail::Settings &set) { return set.platform = platform, true; });
         }},
        {"network", "yes|no", [](const SharedState &s) { return YesNo(s.settings.network); },
         [](SharedState &s, const std::string &v) {
             bool on;
             return ParseYesNo(v, on) &&
                    Locked(s, [&](detail::Settings &set) { return set.network = on, true; });
         }},
        {"stuck-chip", "yes|no", [](const SharedState &s) { return YesNo(s.settings.stuckChip); },
         [](SharedState &s, const std::string &v) {
             bool on;
             return ParseYesNo(v, on) &&
                    Locked(s, [&](detail::Settings &set) { return set.stuckChip = on, true; });
         }},
        {"set-time", "allowed|denied (denied: SetLocalTime fails with error 1314)",
         [](const SharedState &s) {
             return std::string(s.settings.setTimeDenied ? "denied" : "allowed");
         },
         [](SharedState &s, const std::string &v) {
             if (v != "allowed" && v != "denied")
                 return false;
             return Locked(s, [&](detail::Settings &set) {
                 return set.setTimeDenied = v == "denied", true;
             });
         }},
        {"utc-offset", "+HH:MM|-HH:MM|minutes (local = UTC + offset)",
         [](const SharedState &s) { return FormatUtcOffset(s.settings.utcOffsetMinutes); },
         [](SharedState &s, const std::string &v) {
             std::optional<int> minutes = ParseUtcOffset(v);
             return minutes && Locked(s, [&](detail::Settings &set) {
                        return set.utcOffsetMinutes = *minutes, true;
                    });
         }},
        {"time-source", "host|virtual",
         [](const SharedState &s) { return std::string(s.virtualTime ? "virtual" : "host"); },
         [](SharedState &s, const std::string &v) {
             if (v != "host" && v != "virtual")
                 return false;
             SwitchTimeSource(s, v == "virtual");
             return true;
         }},
        {"rtc-phase-ms", "0..999 (where in each second the RTC updates)",
         [](const SharedState &s) {
             std::int64_t phase = s.rtc.lastUpdateNs % rtc::kSecondNs;
             return std::to_string((phase + rtc::kSecondNs) % rtc::kSecondNs / 1'000'000);
         },
         [](SharedState &, const std::string &v) {
             char *end = nullptr;
             long ms = std::strtol(v.c_str(), &end, 10);
             if (v.empty() || *end || ms < 0 || ms > 999)
                 return false;
             SetRtcPhase(ms * 1'000'000);
             return true;
         }},
        {"os-time", "YYYY-MM-DD HH:MM:SS (local; written through to the RTC)",
         [](const SharedState &) { return FormatCivil(OsLocalNow()); },
         [](SharedState &s, const std::string &v) {
             auto time = ParseCivil(v);
             if (!time || !IsValidSystemTime(*time))
                 return false;
             if (!s.poweredOn)
                 throw PcError("the PC is off, so its Windows has no clock to set; set rtc-time, "
                               "or switch it on with 'tolvane-pc power on'");
             return SetOsLocalTime(*time, true) == SetTimeResult::Ok;
         }},
        {"rtc-time", "YYYY-MM-DD HH:MM:SS (the RTC alone, century included)",
         [](const SharedState &) {
             RtcTime t = DecodeRtc(RtcRegisters());
             if (!t.valid || t.century < 0)
                 return std::string("(not a valid time)");
             return FormatCivil(CivilTime{t.century * 100 + t.year, t.month, t.day, t.hour,
                                          t.minute, t.second, 0, 0});
         },
         [](SharedState &, const std::string &v) {
             auto time = ParseCivil(v);
             if (!time)
                 return false;
             SetRtcTime(*time);
             return true;
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

void ChangeSetting(const std::string &key, const std::string &value)
{
    SharedState &state = AttachedOrThrow();
    for (const Setting &setting : Table()) {
        if (key != setting.key)
            continue;
        if (!setting.change(state, value))
            throw PcError("bad value '" + value + "' for " + key + "; it takes " + setting.accepts);
        return;
    }
    throw PcError("unknown setting '" + key + "'; 'tolvane-pc --help' lists the settings");
}

}  // namespace pc
