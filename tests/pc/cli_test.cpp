// The tolvane-pc command run as a child, as a person would run it: what it
// prints, its exit status, and that bad input never replaces a PC.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pc/atoms.h"
#include "pc/osclock.h"
#include "pc/power.h"
#include "pc/session.h"
#include "pc/settings.h"
#include "pc_cli.h"
#include "pc_fixture.h"
#include "pcio.h"

namespace {

namespace fs = std::filesystem;
using pctest::Cli;
using pctest::CliRun;
using pctest::KillAtEnd;
using pctest::ScopedEnv;
using pctest::StartRefusingProgram;
using pctest::TestPc;

std::string Contents(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

TEST(Cli, BadInputGetsOneLineStatusTwoAndChangesNothing)
{
    TestPc pc("1999-12-31 23:59:58");
    fs::path state = fs::path(pc.Directory()) / "state";
    std::string before = Contents(state);

    std::string garbage = pc.Directory() + "/garbage";
    fs::create_directory(garbage);
    std::ofstream(garbage + "/state") << "not a PC";
    std::string hostPc = pc.Directory() + "/host";
    ASSERT_EQ(Cli({"--pc", hostPc, "create"}).status, 0);

    struct Case {
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"create", "--profile", "no-such"}, "unknown profile 'no-such'"},
        {{"create"}, "already exists"},
        {{"create", "--start", "1999-12-31 23:59:58"}, "--start needs --virtual"},
        {{"--pc", pc.Directory() + "/none", "show"}, "no PC in"},
        {{"--pc", garbage, "show"}, "not a simulated PC"},
        {{"--pc", garbage, "create"}, "already exists"},
        {{"--pc", "/dev/null/pc", "create"}, "cannot create the PC directory"},
        {{"show", "extra"}, "takes no arguments"},
        {{"set", "warp=9"}, "unknown setting 'warp'"},
        {{"set", "bios=maybe"}, "bad value 'maybe' for bios"},
        {{"set", "os-time=1999-02-29 00:00:00"}, "bad value"},
        {{"set", "os-time=1999-12-31", "23:59:55"}, "is not KEY=VALUE"},
        {{"advance", "soon"}, "not a duration"},
        {{"--pc", hostPc, "advance", "1s"}, "host clock"},
        {{"power"}, "power takes on or off"},
        {{"power", "on"}, "on already"},
        {{"power", "off", "now"}, "takes only --force"},
    };
    for (const Case &c : cases) {
        std::string line;
        for (const std::string &arg : c.args)
            line += arg + " ";
        SCOPED_TRACE(line);
        CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("tolvane-pc: ", 0), 0u) << run.err;
        EXPECT_TRUE(Contains(run.err, c.says)) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
    EXPECT_EQ(Contents(state), before);
    EXPECT_EQ(Contents(garbage + "/state"), "not a PC");
}

// Each refusal as the user reads it, whole; none changes the PC.
TEST(Cli, RefusalsSayWhatTheClockHoldsAndChangeNothing)
{
    TestPc pc("1999-12-31 23:59:58");
    fs::path state = fs::path(pc.Directory()) / "state";
    std::string before = Contents(state);
    const std::string holds = "1900-01-01 00:00:00 to 2099-12-31 23:59:59 UTC";
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"create", "--virtual", "--start", "9999-12-31 00:00:00"},
         "--start 9999-12-31 00:00:00 is outside what the virtual clock holds, " + holds},
        {{"create", "--virtual", "--start", "1899-12-31 23:59:59"},
         "--start 1899-12-31 23:59:59 is outside what the virtual clock holds, " + holds},
        {{"create", "--virtual", "--start", "2099-12-31 23:00:00", "--utc-offset", "-02:00"},
         "--start 2099-12-31 23:00:00 is outside what the virtual clock holds, " + holds},
        {{"advance", "36600d"},
         "advance 36600d would take the virtual clock past what it holds, " + holds +
             "; it stands at 1999-12-31 23:59:58 UTC"},
        {{"set", "network=yes", "bios=bogus"},
         "bad value 'bogus' for bios; it takes plain|windowing|date-fails|time-fails|latched-century"},
        {{"set", "network=yes", "warp=9"},
         "unknown setting 'warp'; 'tolvane-pc --help' lists the settings"},
        // Either alone is fine; together the time falls before 1601 in UTC.
        {{"set", "utc-offset=+14:00", "os-time=1601-01-01 00:00:00"},
         "bad value '1601-01-01 00:00:00' for os-time; it takes YYYY-MM-DD HH:MM:SS (local; "
         "written through to the RTC)"},
        {{"set", "rtc-phase-ms=250", "stuck-chip=maybe"},
         "bad value 'maybe' for stuck-chip; it takes yes|no"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, "tolvane-pc: " + c.says + "\n");
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Contents(state), before) << "a refused command changed the PC";
}

TEST(Cli, TheVirtualClockRunsToTheLastInstantItHolds)
{
    TestPc pc;
    struct Step {
        std::vector<std::string> args;
        int status;
    } steps[] = {
        {{"create", "--force", "--virtual", "--start", "1900-01-01 00:00:00"}, 0},
        {{"create", "--force", "--virtual", "--start", "2099-12-31 23:59:59"}, 0},
        {{"advance", "1s"}, 2},
        {{"advance", "999ms"}, 0},
        {{"advance", "1ms"}, 2},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.args[0] + " " + step.args.back());
        CliRun run = Cli(step.args);
        EXPECT_EQ(run.status, step.status) << run.err;
    }
    pc::Attach(pc.Directory());
    EXPECT_EQ(pc::FormatCivil(pc::OsUtcNow(), true), "2099-12-31 23:59:59.999");
}

// A program killed while it held the PC (here with interrupts off) leaves the
// lock behind: show goes on, says so, and shows it from then on.
TEST(Cli, ShowAfterAHolderWasKilledWithTheLockSaysSoAndGoesOn)
{
    TestPc pc;
    pid_t holder = 0;
    ASSERT_NO_FATAL_FAILURE(pctest::KillAProcessHoldingThePc(holder));

    CliRun show = Cli({"show"});
    EXPECT_EQ(show.status, 0);
    EXPECT_EQ(show.err, "tolvane-pc: the PC's lock was held by process " + std::to_string(holder) +
                            ", which has ended without letting go; taken over, and the PC's "
                            "state checked\n");
    const std::string line = "lock:           taken over 1 time from a program that ended "
                             "holding it, last from process " +
                             std::to_string(holder) + "\n";
    EXPECT_TRUE(Contains(show.out, line)) << show.out;
    CliRun again = Cli({"show"});
    EXPECT_EQ(again.err, "");
    EXPECT_TRUE(Contains(again.out, line)) << again.out;
}

TEST(Cli, ShowsAndChangesThePcOtherProgramsUse)
{
    TestPc pc("1999-12-31 23:59:58", "legacy-rtc");
    CliRun show = Cli({"show"});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_TRUE(Contains(show.out, "OS local time:  1999-12-31 23:59:58.000 Friday")) << show.out;
    EXPECT_TRUE(Contains(show.out, "date 1999-12-31  time 23:59:58")) << show.out;
    EXPECT_TRUE(Contains(show.out, "  30: 00 FC 19 ")) << show.out;
    EXPECT_TRUE(Contains(show.out, "profile        legacy-rtc")) << show.out;
    EXPECT_TRUE(Contains(show.out, "global atoms: none")) << show.out;

    EXPECT_EQ(Cli({"advance", "2s"}).status, 0);
    EXPECT_TRUE(Contains(Cli({"show"}).out, "date 1900-01-01  time 00:00:00"));

    std::uint16_t atom = pc::AddAtom("_faltrem_running_").atom;
    EXPECT_TRUE(Contains(Cli({"show"}).out, "references 1  \"_faltrem_running_\""));
    EXPECT_EQ(Cli({"restart"}).status, 0);
    EXPECT_EQ(pc::FindAtom("_faltrem_running_").atom, 0);
    EXPECT_NE(pc::DeleteAtom(atom), pc::AtomStatus::Ok);

    ASSERT_EQ(Cli({"set", "os-time=2001-02-03 04:05:06", "platform=nt4", "network=yes"}).status, 0);
    pc::CivilTime now = pc::OsLocalNow();
    EXPECT_EQ(now.year, 2001);
    EXPECT_EQ(now.second, 6);
    EXPECT_EQ(pc::CurrentPlatform().platformId, 2u) << "VER_PLATFORM_WIN32_NT";
    EXPECT_EQ(Cli({"sync"}).status, 0);
    now = pc::OsLocalNow();
    EXPECT_EQ(now.year, 2000);
}

// Where the BIOS's answer and the chip's registers part, show says both.
TEST(Cli, ShowsWhatTheBiosSaysBesideTheChip)
{
    TestPc pc("1999-12-31 23:59:58", "latched-century-bios");
    EXPECT_EQ(Cli({"advance", "3s"}).status, 0);
    std::string out = Cli({"show"}).out;
    EXPECT_TRUE(Contains(out, "date 2000-01-01  time 00:00:01")) << out;
    EXPECT_TRUE(Contains(out, "BIOS says:      date 1900-01-01  time 00:00:01  (INT 1Ah)")) << out;
    EXPECT_EQ(Cli({"restart"}).status, 0);
    out = Cli({"show"}).out;
    EXPECT_TRUE(Contains(out, "BIOS says:      date 2000-01-01  time 00:00:01  (INT 1Ah)")) << out;
}

TEST(Cli, CreateForceReplacesAndProfilesAreListed)
{
    TestPc pc;
    std::ofstream(pc.Directory() + "/state") << "not a PC";
    CliRun created = Cli({"create", "--force", "--profile", "nt", "--virtual"});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_TRUE(Contains(Cli({"show"}).out, "platform id 2, version 4.0, build number 0x00000565"));

    CliRun profiles = Cli({"profiles"});
    EXPECT_EQ(profiles.status, 0);
    for (const char *name :
         {"y2k-ready", "legacy-rtc", "windowing-bios", "post-fix-bios", "range-bios",
          "latched-century-bios", "bios-date-fails", "bios-time-fails", "nt", "networked"})
        EXPECT_TRUE(Contains(profiles.out, std::string(name) + " ")) << name;
    CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Contains(help.out, "set KEY=VALUE"));
}

// The programs' grace, which tolvane-pc waits out with 2 s more before it
// calls a shutdown off, cut short for these tests; tests/slow/real_timeouts_test.cpp
// waits out the real one.
const char *const kShortGraceMs = "300";

TEST(Cli, RestartEndsTheSessionFirstAndARefusalCallsItOff)
{
    TestPc pc;
    ScopedEnv grace("TOLVANE_WAIT_TO_KILL_MS", kShortGraceMs);
    std::uint16_t atom = pc::AddAtom("_faltrem_running_").atom;
    pid_t refuser = StartRefusingProgram();
    ASSERT_GT(refuser, 0);
    KillAtEnd killAtEnd{refuser};

    const auto begin = std::chrono::steady_clock::now();
    CliRun refused = Cli({"restart"});
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(waited, std::chrono::milliseconds(2300)) << "called off before the grace was out";
    EXPECT_LT(waited, std::chrono::seconds(12)) << "the grace set was not followed";
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, "restart called off")) << refused.err;
    EXPECT_TRUE(Contains(refused.err, "refuser (pid " + std::to_string(refuser) + ")"))
        << refused.err;
    EXPECT_EQ(pc::FindAtom("_faltrem_running_").atom, atom)
        << "a called-off restart cleared the atoms";
    EXPECT_EQ(pc::BootCount(), 1u);

    // Forced, the program ends; not yet reaped by its parent, it counts as ended.
    CliRun forced = Cli({"restart", "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_TRUE(Contains(forced.out, "Windows restarted; 1 running host program ended first"))
        << forced.out;
    EXPECT_EQ(pc::FindAtom("_faltrem_running_").atom, 0);
    EXPECT_EQ(pc::BootCount(), 2u);
    int status = 0;
    EXPECT_EQ(waitpid(refuser, &status, 0), refuser);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP);
    refuser = 0;

    EXPECT_EQ(Cli({"restart", "now"}).status, 2);
}

TEST(Cli, TheProgramsGraceIsWindowsOwnUnlessTheSettingNamesAnother)
{
    struct Case {
        const char *setting;  // nullptr: not set
        std::int64_t ms;
    } cases[] = {
        {nullptr, 20'000}, {"", 20'000},   {"1500", 1'500},        {"0", 0},
        {"-5", 20'000},    {"2s", 20'000}, {"9999999999", 20'000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "(not set)");
        ScopedEnv grace("TOLVANE_WAIT_TO_KILL_MS", c.setting ? c.setting : "");
        if (!c.setting)
            unsetenv("TOLVANE_WAIT_TO_KILL_MS");
        EXPECT_EQ(pc::WaitToKillMs(), c.ms);
    }
}

TEST(Cli, PowerOffEndsTheProgramsAndPowerOnBootsFromTheChip)
{
    TestPc pc("1999-12-31 23:58:00", "legacy-rtc");
    ScopedEnv grace("TOLVANE_WAIT_TO_KILL_MS", kShortGraceMs);
    pid_t refuser = StartRefusingProgram();
    ASSERT_GT(refuser, 0);
    KillAtEnd killAtEnd{refuser};

    CliRun refused = Cli({"power", "off"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, "power off called off")) << refused.err;
    EXPECT_TRUE(pc::PoweredOn());
    CliRun off = Cli({"power", "off", "--force"});
    EXPECT_EQ(off.status, 0) << off.err;
    EXPECT_EQ(off.out, "PC switched off; 1 running host program ended first\n");
    EXPECT_EQ(waitpid(refuser, nullptr, 0), refuser);
    refuser = 0;
    EXPECT_TRUE(Contains(Cli({"show"}).out, "power:          off")) << Cli({"show"}).out;

    struct Case {
        std::vector<std::string> args;
        const char *says;
    } refusals[] = {
        {{"power", "off"}, "tolvane-pc: the PC is off already"},
        {{"restart"}, "tolvane-pc: the PC is off; switch it on with 'tolvane-pc power on'"},
        {{"sync"}, "tolvane-pc: the PC is off; switch it on with 'tolvane-pc power on'"},
        {{"set", "os-time=2000-01-01 00:00:00"},
         "tolvane-pc: the PC is off, so its Windows has no clock"},
    };
    for (const Case &c : refusals) {
        SCOPED_TRACE(c.args[0]);
        CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind(c.says, 0), 0u) << run.err;
    }

    ASSERT_EQ(Cli({"advance", "5m"}).status, 0);
    CliRun on = Cli({"power", "on"});
    EXPECT_EQ(on.status, 0) << on.err;
    EXPECT_EQ(on.out,
              "PC switched on\n"
              "POST: chip 1900-01-01 00:03:00, left as it was\n"
              "boot: chip 1900-01-01 00:03:00, Windows 98 set 2000-01-01 and wrote century 20\n");
    std::string show = Cli({"show"}).out;
    EXPECT_TRUE(Contains(show, "power:          on\n")) << show;
    EXPECT_TRUE(Contains(show, "OS local time:  2000-01-01 00:03:00.000 Saturday")) << show;
    EXPECT_TRUE(Contains(show, "  date 2000-01-01  time 00:03:00")) << show;
    EXPECT_TRUE(Contains(show, "boot: chip 1900-01-01 00:03:00, Windows 98 set 2000-01-01"))
        << show;
}

}  // namespace
