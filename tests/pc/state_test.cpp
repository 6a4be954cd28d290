// A PC's state file that is not what this layout wrote: each damaged field,
// a cut or grown file, a foreign file, another layout version. Attaching it
// gives one line that names what is wrong, never a crash; the seed files the
// fuzzer starts from are what they claim to be.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "pc/state.h"
#include "pc/state_check.h"
#include "pc_fixture.h"

namespace {

namespace fs = std::filesystem;
using pc::detail::SharedState;
using pctest::TestPc;

const std::string kReplace = "; replace it with 'tolvane-pc create --force'";

std::string Contents(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh PC's state file, aligned as a SharedState so that fields can be
// changed by name before it is written out as another PC's.
class StateImage {
public:
    explicit StateImage(const std::string &bytes) : words_(sizeof(SharedState) / 8 + 1)
    {
        std::memcpy(words_.data(), bytes.data(), std::min(bytes.size(), sizeof(SharedState)));
    }
    SharedState &State() { return *reinterpret_cast<SharedState *>(words_.data()); }
    std::string Bytes() const
    {
        return {reinterpret_cast<const char *>(words_.data()), sizeof(SharedState)};
    }

private:
    std::vector<std::uint64_t> words_;
};

// What attaching a PC whose state file holds `bytes` says; the PC is made in
// a directory of its own under `parent`.
std::string AttachSays(const fs::path &parent, const std::string &name, const std::string &bytes)
{
    fs::path directory = parent / name;
    fs::create_directories(directory);
    std::ofstream(directory / "state", std::ios::binary) << bytes;
    try {
        pc::Attach(directory.string());
    } catch (const pc::PcError &error) {
        std::string line = error.what();
        std::string file = (directory / "state").string() + " ";
        return line.rfind(file, 0) == 0 ? line.substr(file.size()) : line;
    }
    return "(attached)";
}

struct FieldCase {
    const char *name;
    std::function<void(SharedState &)> damage;
    std::string says;
};

TEST(PcStateFile, EachFieldOutsideItsRangeIsNamedInOneLine)
{
    TestPc pc;
    const std::string fresh = Contents(fs::path(pc.Directory()) / "state");
    const FieldCase cases[] = {
        {"virtual clock flag", [](SharedState &s) { s.virtualTime = 2; },
         "is damaged: virtualTime is 2, outside 0..1"},
        {"virtual clock before 1900", [](SharedState &s) { s.virtualNowNs = LLONG_MIN; },
         "is damaged: virtualNowNs is -9223372036854775808, outside the time source's span, "
         "1900 to 2099"},
        {"century flag", [](SharedState &s) { s.settings.centuryAware = 7; },
         "is damaged: settings.centuryAware is 7, outside 0..1"},
        {"BIOS kind", [](SharedState &s) { s.settings.bios = pc::detail::BiosMode{5}; },
         "is damaged: settings.bios is 5, outside 0..4"},
        {"POST kind", [](SharedState &s) { s.settings.post = pc::detail::PostMode{0xFFFFFFFF}; },
         "is damaged: settings.post is 4294967295, outside 0..2"},
        {"platform", [](SharedState &s) { s.settings.platform = pc::detail::Platform{4}; },
         "is damaged: settings.platform is 4, outside 0..3"},
        {"network flag", [](SharedState &s) { s.settings.network = 2; },
         "is damaged: settings.network is 2, outside 0..1"},
        {"stuck flag", [](SharedState &s) { s.settings.stuckChip = 9; },
         "is damaged: settings.stuckChip is 9, outside 0..1"},
        {"set-time flag", [](SharedState &s) { s.settings.setTimeDenied = 3; },
         "is damaged: settings.setTimeDenied is 3, outside 0..1"},
        {"time zone", [](SharedState &s) { s.settings.utcOffsetMinutes = -1441; },
         "is damaged: settings.utcOffsetMinutes is -1441, outside -1440..1440"},
        {"selected register", [](SharedState &s) { s.rtc.index = 200; },
         "is damaged: rtc.index is 200, outside 0..127"},
        {"NMI mask", [](SharedState &s) { s.rtc.nmiMasked = 0x80; },
         "is damaged: rtc.nmiMasked is 128, outside 0..1"},
        {"chip's phase", [](SharedState &s) { s.rtc.lastUpdateNs = LLONG_MAX; },
         "is damaged: rtc.lastUpdateNs is 9223372036854775807, outside the time source's span, "
         "1900 to 2099"},
        {"periodic flag time",
         [](SharedState &s) { s.rtc.periodicSeenNs = 4'200'000'000'000'000'000; },
         "is damaged: rtc.periodicSeenNs is 4200000000000000000, outside the time source's span, "
         "1900 to 2099"},
        {"OS clock", [](SharedState &s) { s.osOffsetTicks = LLONG_MIN; },
         "is damaged: osOffsetTicks is -9223372036854775808, outside "
         "-157470911999999999..9128797631999990000"},
        {"boot time", [](SharedState &s) { s.bootNs = -3'000'000'000'000'000'000; },
         "is damaged: bootNs is -3000000000000000000, outside the time source's span, "
         "1900 to 2099"},
        {"power", [](SharedState &s) { s.poweredOn = 2; },
         "is damaged: poweredOn is 2, outside 0..1"},
        {"boot record flag", [](SharedState &s) { s.lastBoot.booted = 5; },
         "is damaged: lastBoot.booted is 5, outside 0..1"},
        {"POST action", [](SharedState &s) { s.lastBoot.post = pc::detail::PostAction{3}; },
         "is damaged: lastBoot.post is 3, outside 0..2"},
        {"boot action", [](SharedState &s) { s.lastBoot.boot = pc::detail::BootAction{6}; },
         "is damaged: lastBoot.boot is 6, outside 0..5"},
        {"boot platform", [](SharedState &s) { s.lastBoot.platform = pc::detail::Platform{77}; },
         "is damaged: lastBoot.platform is 77, outside 0..3"},
        {"boot day of week", [](SharedState &s) { s.lastBoot.loaded.dayOfWeek = 7; },
         "is damaged: lastBoot.loaded.dayOfWeek is 7, outside 0..6"},
        {"boot date", [](SharedState &s) { s.lastBoot.loaded.month = 13; },
         "is damaged: lastBoot.loaded is no date and time Windows holds"},
        {"takeover time", [](SharedState &s) { s.deadHolders.lastAtNs = LLONG_MIN; },
         "is damaged: deadHolders.lastAtNs is -9223372036854775808, outside the time source's "
         "span, 1900 to 2099"},
        {"profile without end",
         [](SharedState &s) { std::memset(s.settings.profile, 'x', sizeof s.settings.profile); },
         "is damaged: settings.profile has no end within its 32 bytes"},
        {"unknown profile",
         [](SharedState &s) { std::strcpy(s.settings.profile, "bogus\n\x1b[2J"); },
         "is damaged: settings.profile 'bogus??[2J' is no profile"},
        {"atom name length", [](SharedState &s) { s.atoms[17].length = 300; },
         "is damaged: atoms[17].length is 300, outside 0..255"},
        {"program's pid", [](SharedState &s) { s.processes[3].pid = -1; },
         "is damaged: processes[3].pid is -1, outside 0..4194304"},
        {"program's name without end",
         [](SharedState &s) {
             s.processes[0].pid = 1;
             std::memset(s.processes[0].name, 'x', sizeof s.processes[0].name);
         },
         "is damaged: processes[0].name has no end within its 64 bytes"},
    };
    for (const FieldCase &c : cases) {
        SCOPED_TRACE(c.name);
        StateImage image(fresh);
        c.damage(image.State());
        EXPECT_EQ(AttachSays(pc.Directory(), c.name, image.Bytes()), c.says + kReplace);
    }
}

TEST(PcStateFile, AFileOfAnotherShapeSaysWhichAndNeverThatTheVersionDiffersWhenItIsTheSame)
{
    TestPc pc;
    const std::string fresh = Contents(fs::path(pc.Directory()) / "state");
    const std::string size = std::to_string(sizeof(SharedState));
    const std::string layout = std::to_string(pc::detail::kLayoutVersion);
    auto withVersion = [&](std::uint32_t version) {
        std::string bytes = fresh;
        std::memcpy(bytes.data() + 8, &version, 4);
        return bytes;
    };
    std::string wrongHeaderSize = fresh;
    wrongHeaderSize[12] = 12;
    wrongHeaderSize[13] = wrongHeaderSize[14] = wrongHeaderSize[15] = 0;
    const std::string foreign =
        "is not a simulated PC's state file; remove it or choose another PC directory (--pc or "
        "TOLVANE_PC)";
    struct Case {
        const char *name;
        std::string bytes;
        std::string says;
    } cases[] = {
        {"empty", "", foreign},
        {"three bytes", "TOL", foreign},
        {"a script", "#!/bin/sh\necho not a PC\n", foreign},
        {"another magic", "TOLVPC\r\r" + fresh.substr(8), foreign},
        {"header cut", fresh.substr(0, 12),
         "is damaged: it is 12 bytes long, where a PC's state file is " + size + kReplace},
        {"cut short", fresh.substr(0, 1000),
         "is damaged: it is 1000 bytes long, where a PC's state file is " + size + kReplace},
        {"grown", fresh + "x",
         "is damaged: it is " + std::to_string(sizeof(SharedState) + 1) +
             " bytes long, where a PC's state file is " + size + kReplace},
        {"header's size", wrongHeaderSize,
         "is damaged: its header gives a size of 12 bytes, this layout's is " + size + kReplace},
        {"older", withVersion(pc::detail::kLayoutVersion - 1),
         "was made by another version of Tolvane (layout " +
             std::to_string(pc::detail::kLayoutVersion - 1) + ", this one uses " + layout + ")" +
             kReplace},
        {"newer", withVersion(pc::detail::kLayoutVersion + 1),
         "was made by another version of Tolvane (layout " +
             std::to_string(pc::detail::kLayoutVersion + 1) + ", this one uses " + layout + ")" +
             kReplace},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AttachSays(pc.Directory(), c.name, c.bytes), c.says);
    }
    EXPECT_EQ(AttachSays(pc.Directory(), "unchanged", fresh), "(attached)");
}

// The fuzzer's seeds: "valid-*" files are PCs of this layout (made again
// after a layout change, see fuzz/CMakeLists.txt), "broken-*" ones are not.
TEST(PcStateFile, SeedCorpusHoldsValidAndBrokenFilesOfThisLayout)
{
    fs::path corpus = fs::path(TOLVANE_SOURCE_DIR) / "fuzz" / "corpus" / "pc_state";
    int valid = 0, broken = 0;
    for (const fs::directory_entry &entry : fs::directory_iterator(corpus)) {
        std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        std::string bytes = Contents(entry.path());
        StateImage image(bytes);
        auto problem = pc::detail::CheckStateFile(&image.State(), bytes.size());
        if (name.rfind("valid-", 0) == 0) {
            ++valid;
            EXPECT_FALSE(problem) << problem->what;
        } else {
            ++broken;
            EXPECT_TRUE(problem);
        }
    }
    EXPECT_GE(valid, 5);
    EXPECT_GE(broken, 5);
}

}  // namespace
