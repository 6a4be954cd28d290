// Machine profiles and the settings of an attached PC: what its RTC, BIOS and
// Windows are like. Profiles are starting points; each setting can be changed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pc/state.h"

namespace pc {

struct Profile {
    const char *name;
    const char *description;
    bool centuryAware;
    detail::BiosMode bios;
    detail::PostMode post;
    detail::Platform platform;
    bool network;
    bool stuckChip;
};

const std::vector<Profile> &Profiles();
const Profile *FindProfile(const std::string &name);
void ApplyProfile(detail::Settings &settings, const Profile &profile);

// What GetVersionExA reports.
struct PlatformInfo {
    const char *name;
    const char *product;  // "Windows 98"
    const char *description;
    std::uint32_t platformId;
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t buildNumber;  // as reported: Windows 9x puts major.minor in the high word
    const char *csdVersion;
};
PlatformInfo CurrentPlatform();
PlatformInfo PlatformOf(detail::Platform platform);
bool NetworkInstalled();
const PlatformInfo *FindPlatform(const std::string &name, detail::Platform &platform);

// One setting as `tolvane-pc show` prints it and `tolvane-pc set` takes it.
struct SettingLine {
    std::string key;
    std::string value;
};
std::vector<SettingLine> CurrentSettings();

// Every key that ChangeSetting takes, with the values it accepts.
std::vector<SettingLine> SettingKeys();

// Changes settings of the attached PC, in order, all or none: throws PcError,
// with a line that says what is accepted, for an unknown key or a bad value,
// and nothing is changed then.
void ChangeSettings(const std::vector<SettingLine> &changes);
void ChangeSetting(const std::string &key, const std::string &value);

}  // namespace pc
