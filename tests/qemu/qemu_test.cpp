// The program's clock code on a PC we did not write: the bare guest (guest/)
// booted on QEMU's PC with SeaBIOS at chosen start times, its clock running on
// QEMU's virtual time; and the same watch on the simulated PC with the
// latched-century-bios profile, which must give QEMU's lines second by second.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "pc/calendar.h"
#include "pc_fixture.h"
#include "program_session.h"
#include "watch.h"

extern char **environ;

// The watch's machine on the simulated PC: the BIOS timer ticks on the virtual
// clock, and the lines go to a transcript.
namespace {
std::vector<std::string> gTranscript;
std::int64_t gFirstTickNs = 0;
std::int64_t gTicks = 0;

// The timer chip counts 3579545 / 3 Hz down from 65536: 18.2 ticks a second.
std::int64_t TickNs(std::int64_t ticks)
{
    return ticks * 65536 * 3 * 1'000'000'000 / 3'579'545;
}
}  // namespace

void WaitForTimerTick(void)
{
    ++gTicks;
    pctest::TestPc::AdvanceTo(gFirstTickNs + TickNs(gTicks));
}

void WriteLine(const char *text)
{
    gTranscript.push_back(text);
}

namespace {

using Lines = std::vector<std::string>;

const char *const kGuestImage = TOLVANE_BINARY_DIR "/guest/tolvane-guest.img";
// What isa-debug-exit makes of the guest's 0: the end time came.
constexpr int kGuestReachedTheEnd = 1;
constexpr auto kQemuTimeLimit = std::chrono::seconds(30);

struct Case {
    const char *start;  // local time the PC's clock starts at
    const char *plan;   // for the watch: see guest/watch.h
};

struct QemuRun {
    Lines lines;
    int status = -1;
    double seconds = 0;
};

Lines SplitLines(const std::string &text)
{
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// QEMU's PC with its own BIOS, the guest's floppy and nothing else; its clock
// chip counts QEMU's virtual time, which jumps ahead whenever the guest halts
// (sleep=off). Between halts each instruction counts 128 ns (shift=7): with
// shift=auto QEMU slows the guest down to the host's own time while the BIOS
// busy-waits on the floppy, which took a second more and moved the guest's
// first second by up to three with the machine's load.
QemuRun RunOnQemu(const Case &c)
{
    std::string base = c.start;
    base[10] = 'T';
    std::vector<std::string> args = {"qemu-system-i386"};
    for (const char *option :
         {"-machine", "pc", "-m", "16", "-nodefaults", "-no-reboot", "-display", "none", "-monitor",
          "none", "-serial", "stdio", "-icount", "shift=7,sleep=off", "-boot", "a", "-device",
          "isa-debug-exit,iobase=0xf4,iosize=1", "-rtc"})
        args.push_back(option);
    args.push_back("base=" + base + ",clock=vm");
    args.push_back("-drive");
    args.push_back(std::string("if=floppy,format=raw,readonly=on,file=") + kGuestImage);
    args.push_back("-fw_cfg");
    args.push_back(std::string("name=opt/tolvane/plan,string=") + c.plan);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    QemuRun run;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const auto started = std::chrono::steady_clock::now();
    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        ADD_FAILURE() << "cannot start qemu-system-i386: " << std::strerror(spawned)
                      << "; scripts/deps.sh test installs it";
        return run;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        auto left = kQemuTimeLimit - (std::chrono::steady_clock::now() - started);
        pollfd wait{out[0], POLLIN, 0};
        int ms =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count());
        if (ms <= 0 || poll(&wait, 1, ms) <= 0) {
            ADD_FAILURE() << "QEMU still ran after " << kQemuTimeLimit.count() << " s; ended it";
            kill(pid, SIGKILL);
            break;
        }
        ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.lines = SplitLines(text);
    std::printf("QEMU ran the guest from %s in %.2f s\n", c.start, run.seconds);
    return run;
}

// The same watch, on the simulated PC made at the same start time.
Lines RunOnSimulatedPc(const Case &c)
{
    pctest::TestPc pc(c.start, "latched-century-bios");
    gTranscript.clear();
    gFirstTickNs = pc::Now();
    gTicks = 0;
    WatchPlan plan;
    ParseWatchPlan(c.plan, &plan);
    WatchClocks(&plan);
    return gTranscript;
}

// " MM-DD-CCYY   hh:mm:ss" as the instant it names, if it names one.
std::optional<pc::CivilTime> TimeOfLine(const std::string &line)
{
    return pc::ParseCivil(line.substr(7, 4) + "-" + line.substr(1, 2) + "-" + line.substr(4, 2) +
                          " " + line.substr(14, 8));
}

// Every record holds two real dates of the same second, one second after the
// last: nothing torn, no "ff" of a register read inside an update, no carry.
void ExpectSoundRecords(const Lines &lines)
{
    static const std::regex kRecord(
        "cmos( \\d\\d-\\d\\d-\\d{4}   \\d\\d:\\d\\d:\\d\\d) bios( \\d\\d-\\d\\d-\\d{4}   "
        "\\d\\d:\\d\\d:\\d\\d) carry ([01])");
    std::optional<std::int64_t> last;
    int records = 0;
    for (const std::string &line : lines) {
        if (line.rfind("cmos", 0) != 0)
            continue;
        ++records;
        std::smatch m;
        if (!std::regex_match(line, m, kRecord)) {
            ADD_FAILURE() << "not a record of two clock lines: " << line;
            continue;
        }
        const std::string cmos = m[1], bios = m[2];
        auto cmosTime = TimeOfLine(cmos), biosTime = TimeOfLine(bios);
        EXPECT_TRUE(cmosTime && biosTime) << "not a date: " << line;
        EXPECT_EQ(bios.substr(0, 7) + bios.substr(9), cmos.substr(0, 7) + cmos.substr(9))
            << "the lines differ beyond the century: " << line;
        EXPECT_EQ(m[3], "0") << "carry set: " << line;
        if (!cmosTime)
            continue;
        std::int64_t ticks = pc::TicksFromCivil(*cmosTime);
        if (last) {
            EXPECT_EQ(ticks - *last, pc::kTicksPerSecond) << "not one second on: " << line;
        }
        last = ticks;
    }
    EXPECT_GT(records, 3);
}

// The run's lines from `first` on.
Lines From(const Lines &lines, const std::string &first)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == first)
            return Lines(lines.begin() + static_cast<std::ptrdiff_t>(i), lines.end());
    ADD_FAILURE() << "never showed: " << first;
    return {};
}

// The simulated PC starts counting at once, QEMU's after its BIOS has booted:
// from QEMU's first line on, the two give the same lines.
void ExpectSimulatedPcGivesTheSameLines(const Case &c, const QemuRun &qemu)
{
    ASSERT_FALSE(qemu.lines.empty());
    Lines simulated = RunOnSimulatedPc(c);
    EXPECT_EQ(From(simulated, qemu.lines.front()), qemu.lines)
        << "the simulated PC with latched-century-bios differs from QEMU from " << c.start;
}

class QemuJudge : public ProgramTest {};

// Booted before midnight, its BIOS read century 19; the chip carries into
// 2000 and the BIOS goes on saying 1900, so the program's judgement is Fail,
// until the companion's fix step sets the BIOS date.
TEST_F(QemuJudge, RunningRolloverKeepsTheBiosIn1900UntilTheFixStep)
{
    const Case c{"1999-12-31 23:59:55", "fix=00:00:03 end=00:00:06"};
    QemuRun qemu = RunOnQemu(c);
    EXPECT_EQ(qemu.status, kGuestReachedTheEnd);
    ExpectSoundRecords(qemu.lines);
    const Lines expected = {
        "cmos 12-31-1999   23:59:59 bios 12-31-1999   23:59:59 carry 0",
        "cmos 01-01-2000   00:00:00 bios 01-01-1900   00:00:00 carry 0",
        "cmos 01-01-2000   00:00:01 bios 01-01-1900   00:00:01 carry 0",
        "cmos 01-01-2000   00:00:02 bios 01-01-1900   00:00:02 carry 0",
        "cmos 01-01-2000   00:00:03 bios 01-01-1900   00:00:03 carry 0",
        "verdict Fail",
        "fix",
        "cmos 01-01-2000   00:00:04 bios 01-01-2000   00:00:04 carry 0",
        "cmos 01-01-2000   00:00:05 bios 01-01-2000   00:00:05 carry 0",
        "cmos 01-01-2000   00:00:06 bios 01-01-2000   00:00:06 carry 0",
        "verdict Pass",
    };
    EXPECT_EQ(From(qemu.lines, expected.front()), expected);
    ExpectSimulatedPcGivesTheSameLines(c, qemu);
}

// Switched on after midnight, the BIOS reads century 20 at power-on.
TEST_F(QemuJudge, SwitchedOffOverMidnightBothLinesSay2000AndPass)
{
    const Case c{"2000-01-01 00:00:05", "end=00:00:10"};
    QemuRun qemu = RunOnQemu(c);
    EXPECT_EQ(qemu.status, kGuestReachedTheEnd);
    ExpectSoundRecords(qemu.lines);
    const Lines expected = {
        "cmos 01-01-2000   00:00:08 bios 01-01-2000   00:00:08 carry 0",
        "cmos 01-01-2000   00:00:09 bios 01-01-2000   00:00:09 carry 0",
        "cmos 01-01-2000   00:00:10 bios 01-01-2000   00:00:10 carry 0",
        "verdict Pass",
    };
    EXPECT_EQ(From(qemu.lines, expected.front()), expected);
    for (const std::string &line : qemu.lines) {
        EXPECT_EQ(line.find("1900"), std::string::npos) << line;
    }
    ExpectSimulatedPcGivesTheSameLines(c, qemu);
}

// 2000 is a leap year although 1900 was not: 28 February is followed by the
// 29th on both lines.
TEST_F(QemuJudge, LeapDay2000OnBothLines)
{
    const Case c{"2000-02-28 23:59:55", "end=00:00:02"};
    QemuRun qemu = RunOnQemu(c);
    EXPECT_EQ(qemu.status, kGuestReachedTheEnd);
    ExpectSoundRecords(qemu.lines);
    const Lines expected = {
        "cmos 02-28-2000   23:59:59 bios 02-28-2000   23:59:59 carry 0",
        "cmos 02-29-2000   00:00:00 bios 02-29-2000   00:00:00 carry 0",
        "cmos 02-29-2000   00:00:01 bios 02-29-2000   00:00:01 carry 0",
        "cmos 02-29-2000   00:00:02 bios 02-29-2000   00:00:02 carry 0",
        "verdict Fail",
    };
    EXPECT_EQ(From(qemu.lines, expected.front()), expected);
    ExpectSimulatedPcGivesTheSameLines(c, qemu);
}

}  // namespace
