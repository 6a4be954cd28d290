// The machine profiles: the PCs worth testing a Year 2000 clock test on, and the
// Windows platforms they can run.
#include <cstring>
#include <iterator>

#include "pc/settings.h"

namespace pc {

using detail::BiosMode;
using detail::Platform;
using detail::PostMode;

namespace {

struct PlatformEntry {
    Platform platform;
    PlatformInfo info;
};

const PlatformEntry kPlatforms[] = {
    {Platform::Win95, {"win95", "Windows 95", "Windows 95 4.00.950", 1, 4, 0, 0x040003B6, ""}},
    {Platform::Win98, {"win98", "Windows 98", "Windows 98 4.10.1998", 1, 4, 10, 0x040A07CE, ""}},
    {Platform::Win98SE,
     {"win98se", "Windows 98 SE", "Windows 98 Second Edition 4.10.2222", 1, 4, 10, 0x040A08AE,
      " A "}},
    {Platform::NT4,
     {"nt4", "Windows NT 4.0", "Windows NT 4.0 build 1381, Service Pack 6", 2, 4, 0, 1381,
      "Service Pack 6"}},
};

static_assert(std::size(kPlatforms) == detail::kPlatforms);

}  // namespace

const std::vector<Profile> &Profiles()
{
    static const std::vector<Profile> kProfiles = {
        {"y2k-ready", "century-aware RTC, plain BIOS, Windows 98, no network (the default)", true,
         BiosMode::Plain, PostMode::Plain, Platform::Win98, false, false},
        {"legacy-rtc", "RTC that never touches its century byte: 1999 rolls over to 1900", false,
         BiosMode::Plain, PostMode::Plain, Platform::Win98, false, false},
        {"windowing-bios", "legacy RTC; the BIOS reports century 20 for years below 80, else 19",
         false, BiosMode::Windowing, PostMode::Plain, Platform::Win98, false, false},
        {"post-fix-bios",
         "legacy RTC; at power-on the BIOS sets century 19 to 20 for years below 80, never while running",
         false, BiosMode::Plain, PostMode::CarryCentury, Platform::Win98, false, false},
        {"range-bios",
         "century-aware RTC; at power-on the BIOS resets a year outside 94-99 to 94: 2000 becomes 2094",
         true, BiosMode::Plain, PostMode::YearRange, Platform::Win98, false, false},
        {"latched-century-bios",
         "century-aware RTC; the BIOS reads the century byte at power-on and reports it until INT 1Ah 05h or the next boot",
         true, BiosMode::LatchedCentury, PostMode::Plain, Platform::Win98, false, false},
        {"bios-date-fails", "the BIOS date call (INT 1Ah, 04h) fails with carry set", true,
         BiosMode::DateFails, PostMode::Plain, Platform::Win98, false, false},
        {"bios-time-fails",
         "the BIOS time call (INT 1Ah, 02h) fails with carry set; the date call works", true,
         BiosMode::TimeFails, PostMode::Plain, Platform::Win98, false, false},
        {"nt", "Windows NT 4.0 Service Pack 6 (platform 2) on a Year 2000 ready PC", true,
         BiosMode::Plain, PostMode::Plain, Platform::NT4, false, false},
        {"networked", "a Year 2000 ready PC with network software installed", true, BiosMode::Plain,
         PostMode::Plain, Platform::Win98, true, false},
        {"stuck-rtc", "RTC whose update-in-progress bit never clears", true, BiosMode::Plain,
         PostMode::Plain, Platform::Win98, false, true},
        {"win95", "a Year 2000 ready PC running Windows 95", true, BiosMode::Plain, PostMode::Plain,
         Platform::Win95, false, false},
    };
    return kProfiles;
}

const Profile *FindProfile(const std::string &name)
{
    for (const Profile &profile : Profiles())
        if (name == profile.name)
            return &profile;
    return nullptr;
}

void ApplyProfile(detail::Settings &settings, const Profile &profile)
{
    std::memset(settings.profile, 0, sizeof settings.profile);
    std::strncpy(settings.profile, profile.name, sizeof settings.profile - 1);
    settings.centuryAware = profile.centuryAware;
    settings.bios = profile.bios;
    settings.post = profile.post;
    settings.platform = profile.platform;
    settings.network = profile.network;
    settings.stuckChip = profile.stuckChip;
    settings.setTimeDenied = 0;
}

PlatformInfo CurrentPlatform()
{
    const detail::SharedState *state = detail::Attached();
    return PlatformOf(state ? state->settings.platform : Platform::Win98);
}

PlatformInfo PlatformOf(Platform platform)
{
    for (const PlatformEntry &entry : kPlatforms)
        if (entry.platform == platform)
            return entry.info;
    return kPlatforms[1].info;
}

bool NetworkInstalled()
{
    const detail::SharedState *state = detail::Attached();
    return state && state->settings.network;
}

// Used by the settings to name and parse platforms.
const PlatformInfo *FindPlatform(const std::string &name, Platform &platform)
{
    for (const PlatformEntry &entry : kPlatforms)
        if (name == entry.info.name) {
            platform = entry.platform;
            return &entry.info;
        }
    return nullptr;
}

}  // namespace pc
