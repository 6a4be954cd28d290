// Writes the seed corpus of the state-file harness into a directory: PCs of
// this layout made the way tolvane-pc and the programs make them ("valid-*"),
// and copies of one with a field, the header or the size spoilt ("broken-*").
// Everything runs on a virtual clock from a fixed time, so the files are the
// same on every run.
#include <stdlib.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "pc/atoms.h"
#include "pc/machine.h"
#include "pc/power.h"
#include "pc/session.h"
#include "pc/settings.h"
#include "pc/state.h"
#include "pc/timesource.h"
#include "pcio.h"
#include "rtc_registers.h"

namespace {

namespace fs = std::filesystem;
using pc::detail::SharedState;

std::string Contents(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path &file, const std::string &bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// A PC of `profile` at 1999-12-31 23:59:55 UTC, changed by `change` while
// attached; its state file's bytes.
std::string MadePc(const fs::path &work, const char *profile, const std::function<void()> &change)
{
    fs::path directory = work / profile;
    pc::CreateOptions options;
    options.profile = profile;
    options.virtualTime = true;
    options.virtualStartNs = *pc::TimeSourceNsOf({1999, 12, 31, 23, 59, 55}, 0);
    options.hasUtcOffsetMinutes = true;
    options.replaceExisting = true;
    pc::Create(directory.string(), options);
    pc::Attach(directory.string());
    change();
    return Contents(directory / "state");
}

// The fresh PC's bytes with `spoil` applied to its fields.
std::string Spoilt(const std::string &fresh, const std::function<void(SharedState &)> &spoil)
{
    std::vector<std::uint64_t> words(sizeof(SharedState) / 8 + 1);
    std::memcpy(words.data(), fresh.data(), sizeof(SharedState));
    spoil(*reinterpret_cast<SharedState *>(words.data()));
    return {reinterpret_cast<const char *>(words.data()), sizeof(SharedState)};
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pc_state_seeds DIRECTORY\n");
        return 2;
    }
    fs::path out = argv[1];
    fs::create_directories(out);
    std::string pattern = (fs::temp_directory_path() / "tolvane-seeds-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return 2;
    fs::path work = pattern;

    const std::string fresh = MadePc(work, "y2k-ready", [] {});
    Write(out / "valid-y2k-ready", fresh);
    Write(out / "valid-legacy-rtc-booted-after-midnight", MadePc(work, "legacy-rtc", [] {
              pc::PowerOff();
              pc::AdvanceVirtualTime(300'000'000'000);
              pc::PowerOn();
          }));
    Write(out / "valid-range-bios-off", MadePc(work, "range-bios", [] { pc::PowerOff(); }));
    Write(out / "valid-nt-with-atoms-and-a-program", MadePc(work, "nt", [] {
              pc::AddAtom("_faltrem_running_");
              pc::AddAtom("_faltrem_running_");
              pc::AddAtom("Tolvane");
              pc::RegisterThisProcess("tolvane");
              // Of no process that runs, the same on every run.
              pc::detail::ProcessSlot &slot = pc::detail::Attached()->processes[0];
              slot.pid = static_cast<std::int32_t>(slot.threadId = 4242);
              slot.startTicks = 12345;
          }));
    Write(out / "valid-windowing-bios-binary-12-hour", MadePc(work, "windowing-bios", [] {
              pc::ChangeSettings({{"utc-offset", "-05:00"}, {"rtc-phase-ms", "999"}});
              PortWriteByte(CMOS_INDEX_PORT, RTC_STATUS_B);
              PortWriteByte(CMOS_DATA_PORT, 0x04);
          }));
    Write(out / "valid-latched-century-bios-date-set", MadePc(work, "latched-century-bios", [] {
              pc::ChangeSettings({{"os-time", "1999-12-31 23:59:55"}});
          }));
    Write(out / "valid-stuck-rtc-lock-taken-over", MadePc(work, "stuck-rtc", [] {
              pc::detail::Attached()->deadHolders = {3, 4242, 0};
          }));

    struct Broken {
        const char *name;
        std::function<void(SharedState &)> spoil;
    } broken[] = {
        {"bios-kind", [](SharedState &s) { s.settings.bios = pc::detail::BiosMode{9}; }},
        {"rtc-index", [](SharedState &s) { s.rtc.index = 200; }},
        {"atom-length",
         [](SharedState &s) {
             s.atoms[3] = {1, 300, {}};
         }},
        {"program-pid", [](SharedState &s) { s.processes[0].pid = -1; }},
        {"profile-without-end",
         [](SharedState &s) { std::memset(s.settings.profile, 'x', sizeof s.settings.profile); }},
        {"virtual-clock", [](SharedState &s) { s.virtualNowNs = LLONG_MIN; }},
        {"boot-date", [](SharedState &s) { s.lastBoot.loaded.month = 13; }},
        {"older-layout", [](SharedState &s) { s.layoutVersion = pc::detail::kLayoutVersion - 1; }},
        {"magic", [](SharedState &s) { s.magic[0] = 'X'; }},
    };
    for (const Broken &b : broken)
        Write(out / (std::string("broken-") + b.name), Spoilt(fresh, b.spoil));
    Write(out / "broken-cut-short", fresh.substr(0, 4096));
    fs::remove_all(work);
    return 0;
}
