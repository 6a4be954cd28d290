// tolvane-pc: creates, shows and changes a simulated PC, the way an emulator's
// monitor does. Every failure is one line on stderr and exit status 2.
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "pc/atoms.h"
#include "pc/calendar.h"
#include "pc/machine.h"
#include "pc/osclock.h"
#include "pc/power.h"
#include "pc/rtc.h"
#include "pc/session.h"
#include "pc/settings.h"
#include "pc/timesource.h"
#include "pcio.h"

namespace {

constexpr int kFailure = 2;

struct Usage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

const char *const kHelp =
    "usage: tolvane-pc [--pc DIR] COMMAND [ARGUMENTS]\n"
    "\n"
    "Creates, shows and changes the simulated PC that Tolvane's host programs run on.\n"
    "The PC lives in DIR (--pc), else $TOLVANE_PC, else %s.\n"
    "\n"
    "commands:\n"
    "  create [--profile NAME] [--virtual [--start 'YYYY-MM-DD HH:MM:SS']]\n"
    "         [--utc-offset +HH:MM] [--force]\n"
    "                     make a new PC; --force replaces one that is there\n"
    "  profiles           list the machine profiles\n"
    "  show               registers, clocks, platform, atoms and running programs\n"
    "  set KEY=VALUE...   change settings, in order (quote values with spaces)\n"
    "  sync               set the OS clock back to the time source and write it to the RTC\n"
    "  advance DURATION   move a virtual clock on (e.g. 5, 1.5s, 250ms, 10m, 2h, 400d)\n"
    "  restart [--force]  restart the simulated Windows: the running host programs get\n"
    "                     their end of session (--force: they cannot refuse) and end,\n"
    "                     then the PC boots again; a refusal calls it off\n"
    "  power off [--force]\n"
    "                     shut down as restart does, then switch the PC off: only\n"
    "                     the clock chip runs, on its battery\n"
    "  power on           switch the PC on: the BIOS's power-on self test, then the\n"
    "                     boot, which loads Windows' clock from the chip\n"
    "  end-session [--cancel | --force]\n"
    "                     end the user's session for every running host program;\n"
    "                     --cancel: an end that was called off, they go on;\n"
    "                     --force: an end they are told of but cannot refuse\n"
    "  --help             this text\n"
    "\n"
    "settings:\n";

// Attaches the PC, telling of a lock it had to take over.
void Attach(const std::string &directory)
{
    std::string note = pc::Attach(directory);
    if (!note.empty())
        std::fprintf(stderr, "tolvane-pc: %s\n", note.c_str());
}

void PrintHelp()
{
    std::printf(kHelp, pc::DefaultDirectory().c_str());
    for (const pc::SettingLine &key : pc::SettingKeys())
        std::printf("  %-14s %s\n", key.key.c_str(), key.value.c_str());
}

// ---- create ----

// An instant of the time source as a UTC date and time.
std::string Utc(std::int64_t ns)
{
    return pc::FormatCivil(pc::CivilFromTicks(pc::TicksFromUnixNs(ns)));
}

// The span of the time source, for the lines that refuse times outside it.
std::string Span()
{
    return Utc(pc::kEarliestNs) + " to " + Utc(pc::kLatestNs) + " UTC";
}

int Create(const std::string &directory, const std::vector<std::string> &args)
{
    pc::CreateOptions options;
    std::optional<pc::CivilTime> start;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw Usage(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--profile") {
            options.profile = value();
        } else if (arg == "--virtual") {
            options.virtualTime = true;
        } else if (arg == "--force") {
            options.replaceExisting = true;
        } else if (arg == "--start") {
            start = pc::ParseCivil(value());
            if (!start)
                throw Usage("--start takes 'YYYY-MM-DD HH:MM:SS', a real date and time");
        } else if (arg == "--utc-offset") {
            std::optional<int> minutes = pc::ParseUtcOffset(value());
            if (!minutes)
                throw Usage("--utc-offset takes +HH:MM, -HH:MM or minutes, within 14 hours of UTC");
            options.hasUtcOffsetMinutes = true;
            options.utcOffsetMinutes = *minutes;
        } else {
            throw Usage("create does not take '" + arg + "'; see tolvane-pc --help");
        }
    }
    if (start) {
        if (!options.virtualTime)
            throw Usage("--start needs --virtual: only a virtual clock can start elsewhere");
        if (!options.hasUtcOffsetMinutes) {
            options.hasUtcOffsetMinutes = true;
            options.utcOffsetMinutes = 0;
        }
        std::optional<std::int64_t> ns = pc::TimeSourceNsOf(*start, options.utcOffsetMinutes);
        if (!ns)
            throw Usage("--start " + pc::FormatCivil(*start) + " is outside what the virtual " +
                        "clock holds, " + Span());
        options.virtualStartNs = *ns;
    }
    pc::Create(directory, options);
    std::printf("created a %s PC in %s\n", options.profile.c_str(), directory.c_str());
    return 0;
}

// ---- show ----

const char *Bit(int value, int bit)
{
    return value & (1 << bit) ? "1" : "0";
}

std::string Decimal2(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, value >= 0 ? "%02d" : "??", value);
    return text;
}

const char *CenturyByteRole()
{
    for (const pc::SettingLine &line : pc::CurrentSettings())
        if (line.key == "century-aware")
            return line.value == "yes" ? "counted by the chip" : "plain RAM to this chip";
    return "";
}

void ShowRtc()
{
    std::array<std::uint8_t, 128> regs = pc::RtcRegisters();
    std::printf("RTC registers:\n");
    for (int row = 0; row < 128; row += 16) {
        std::printf("  %02X:", row);
        for (int i = 0; i < 16; ++i)
            std::printf(" %02X", regs[row + i]);
        std::printf("\n");
    }
    int a = regs[RTC_STATUS_A], b = regs[RTC_STATUS_B];
    int c = regs[RTC_STATUS_C], d = regs[RTC_STATUS_D];
    pc::RtcTime t = pc::DecodeRtc(regs);
    std::printf("RTC says:\n");
    std::printf("  date %s%s-%s-%s  time %s:%s:%s  day of week %d%s\n", Decimal2(t.century).c_str(),
                Decimal2(t.year).c_str(), Decimal2(t.month).c_str(), Decimal2(t.day).c_str(),
                Decimal2(t.hour).c_str(), Decimal2(t.minute).c_str(), Decimal2(t.second).c_str(),
                t.dayOfWeek, t.valid ? "" : "  (not a valid time)");
    std::printf("  century byte 0x32 = %02X (%s)\n", regs[CMOS_CENTURY], CenturyByteRole());
    int divider = (a >> 4) & 7;
    std::printf("  A %02X: UIP %s, DV %s%s%s (%s), RS %d\n", a, Bit(a, 7), Bit(a, 6), Bit(a, 5),
                Bit(a, 4),
                divider == 2   ? "running"
                : divider >= 6 ? "divider reset"
                               : "oscillator off",
                a & 0x0F);
    std::printf("  B %02X: SET %s, PIE %s, AIE %s, UIE %s, SQWE %s, DM %s, %s, DSE %s\n", b,
                Bit(b, 7), Bit(b, 6), Bit(b, 5), Bit(b, 4), Bit(b, 3),
                b & RTC_BINARY_MODE ? "binary" : "BCD",
                b & RTC_24_HOUR_MODE ? "24-hour" : "12-hour", Bit(b, 0));
    std::printf("  C %02X: IRQF %s, PF %s, AF %s, UF %s\n", c, Bit(c, 7), Bit(c, 6), Bit(c, 5),
                Bit(c, 4));
    std::printf("  D %02X: VRT %s (battery good)\n", d, Bit(d, 7));
    pc::RtcIndex index = pc::RtcPortIndex();
    std::printf("  port 0x70: register %02X selected, NMI %s\n", index.index,
                index.nmiMasked ? "masked" : "enabled");
    std::int64_t next = pc::RtcNextUpdateNs() - pc::Now();
    std::printf("  next update in %.3f ms\n", static_cast<double>(next) / 1e6);
}

// What a program asking INT 1Ah is told, which a BIOS with a mind of its own
// makes differ from the chip.
void ShowBios()
{
    BiosRegs date{}, time{};
    date.h.ah = 0x04;
    CallBiosTimeService(&date);
    time.h.ah = 0x02;
    CallBiosTimeService(&time);
    if (date.x.cflag || time.x.cflag) {
        std::printf("BIOS says:      nothing: INT 1Ah %s set carry\n",
                    date.x.cflag ? "04h (date)" : "02h (time)");
        return;
    }
    std::printf("BIOS says:      date %02X%02X-%02X-%02X  time %02X:%02X:%02X  (INT 1Ah)\n",
                date.h.ch, date.h.cl, date.h.dh, date.h.dl, time.h.ch, time.h.cl, time.h.dh);
}

void ShowClock(const char *label, const pc::CivilTime &time)
{
    static const char *const kDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                         "Thursday", "Friday", "Saturday"};
    std::printf("%-15s %s %s\n", label, pc::FormatCivil(time, true).c_str(),
                kDays[time.dayOfWeek % 7]);
}

int Show(const std::string &directory)
{
    Attach(directory);
    bool on = pc::PoweredOn();
    std::printf("PC directory:   %s\n", directory.c_str());
    std::printf("time source:    %s\n", pc::IsVirtualTime() ? "virtual clock" : "host clock");
    std::printf("power:          %s\n",
                on ? "on" : "off; only the clock chip runs, on its battery");
    if (on) {
        ShowClock("OS local time:", pc::OsLocalNow());
        ShowClock("OS UTC:", pc::OsUtcNow());
        std::printf("tick count:     %u ms since Windows started (boot count %u)\n",
                    pc::OsTickCount(), pc::BootCount());
    } else {
        std::printf("OS local time:  none while the PC is off\n");
        std::printf("boot count:     %u\n", pc::BootCount());
    }
    for (const std::string &line : pc::LastBootReport())
        std::printf("%s\n", line.c_str());
    pc::PlatformInfo platform = pc::CurrentPlatform();
    std::printf(
        "platform:       %s, platform id %u, version %u.%u, build number 0x%08X, CSD \"%s\"\n",
        platform.description, platform.platformId, platform.major, platform.minor,
        platform.buildNumber, platform.csdVersion);
    std::printf("network:        %s\n", pc::NetworkInstalled() ? "software installed" : "none");
    pc::LockTakeovers takeovers = pc::CountLockTakeovers();
    if (takeovers.count > 0)
        std::printf("lock:           taken over %u time%s from a program that ended holding it, "
                    "last from %s\n",
                    takeovers.count, takeovers.count == 1 ? "" : "s", takeovers.last.c_str());
    std::printf("settings:\n");
    for (const pc::SettingLine &line : pc::CurrentSettings())
        std::printf("  %-14s %s\n", line.key.c_str(), line.value.c_str());
    ShowRtc();
    if (on)
        ShowBios();

    std::vector<pc::AtomEntry> atoms = pc::ListAtoms();
    std::printf("global atoms:%s\n", atoms.empty() ? " none" : "");
    for (const pc::AtomEntry &atom : atoms)
        std::printf("  %04X  references %u  \"%s\"\n", atom.atom, atom.references,
                    atom.name.c_str());
    std::vector<pc::RunningProgram> programs = pc::ListRunningPrograms();
    std::printf("running host programs:%s\n", programs.empty() ? " none" : "");
    for (const pc::RunningProgram &program : programs)
        std::printf("  pid %d  main thread %u  %s  (started in boot %u)\n", program.pid,
                    program.threadId, program.name.c_str(), program.bootCount);
    return 0;
}

// ---- set, sync, advance, restart ----

int Set(const std::string &directory, const std::vector<std::string> &args)
{
    if (args.empty())
        throw Usage("set needs KEY=VALUE; see tolvane-pc --help for the keys");
    for (const std::string &arg : args)
        if (arg.find('=') == std::string::npos)
            throw Usage(
                "'" + arg +
                "' is not KEY=VALUE; quote values with spaces, e.g. 'os-time=1999-12-31 23:59:55'");
    std::vector<pc::SettingLine> changes;
    for (const std::string &arg : args) {
        std::size_t equals = arg.find('=');
        changes.push_back({arg.substr(0, equals), arg.substr(equals + 1)});
    }
    Attach(directory);
    pc::ChangeSettings(changes);
    return 0;
}

// "5", "1.5s", "250ms", "10m", "2h", "400d" as nanoseconds; nullopt otherwise.
std::optional<std::int64_t> ParseDuration(const std::string &text)
{
    char *end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value) || value < 0)
        return std::nullopt;
    std::string unit(end);
    double scale;
    if (unit.empty() || unit == "s")
        scale = 1e9;
    else if (unit == "ms")
        scale = 1e6;
    else if (unit == "m")
        scale = 60e9;
    else if (unit == "h")
        scale = 3600e9;
    else if (unit == "d")
        scale = 86400e9;
    else
        return std::nullopt;
    double ns = value * scale;
    // Beyond a century the nanosecond clock would not hold it.
    if (ns > 100.0 * 366 * 86400e9)
        return std::nullopt;
    return static_cast<std::int64_t>(ns);
}

int Advance(const std::string &directory, const std::vector<std::string> &args)
{
    if (args.size() != 1)
        throw Usage("advance takes one duration, e.g. 'advance 5s'");
    std::optional<std::int64_t> ns = ParseDuration(args[0]);
    if (!ns)
        throw Usage(
            "'" + args[0] +
            "' is not a duration; use e.g. 5, 1.5s, 250ms, 10m, 2h or 400d (up to a century)");
    Attach(directory);
    if (!pc::IsVirtualTime())
        throw pc::PcError(
            "this PC runs on the host clock, which cannot be advanced; 'tolvane-pc set time-source=virtual' first");
    if (!pc::AdvanceVirtualTime(*ns))
        throw pc::PcError("advance " + args[0] + " would take the virtual clock past what it " +
                          "holds, " + Span() + "; it stands at " + Utc(pc::Now()) + " UTC");
    return 0;
}

int EndSession(const std::string &directory, const std::vector<std::string> &args)
{
    pc::SessionEndKind kind = pc::SessionEndKind::kEnd;
    if (args.size() > 1)
        throw Usage("end-session takes at most one of --cancel and --force");
    if (args.size() == 1) {
        if (args[0] == "--cancel")
            kind = pc::SessionEndKind::kCancelled;
        else if (args[0] == "--force")
            kind = pc::SessionEndKind::kForcedEnd;
        else
            throw Usage("end-session does not take '" + args[0] + "'; see tolvane-pc --help");
    }
    Attach(directory);
    int told = pc::DeliverSessionEnd(kind);
    std::printf("%s delivered to %d running host program%s\n",
                kind == pc::SessionEndKind::kCancelled ? "cancelled end of session"
                                                       : "end of session",
                told, told == 1 ? "" : "s");
    return 0;
}

// Longer than a program may take over its end of session before it is ended
// anyway, so only a program that refused is still there afterwards.
std::chrono::milliseconds ShutdownWait()
{
    return std::chrono::milliseconds(pc::WaitToKillMs() + 2'000);
}

void RequirePowerOn()
{
    if (!pc::PoweredOn())
        throw pc::PcError("the PC is off; switch it on with 'tolvane-pc power on'");
}

// As from the Start menu: the session ends first, and `what` goes on only once
// every program has ended; one that refuses calls it off. Returns how many
// programs were told.
int EndProgramsFirst(bool forced, const std::string &what)
{
    // Every program running now has ended when this returns, whether the
    // signal reached it or it had gone already: a fix companion that Tolvane
    // stops in its own end may be gone before its turn to be told.
    const int running = static_cast<int>(pc::ListRunningPrograms().size());
    pc::DeliverSessionEnd(forced ? pc::SessionEndKind::kForcedEnd : pc::SessionEndKind::kEnd);
    const auto deadline = std::chrono::steady_clock::now() + ShutdownWait();
    std::vector<pc::RunningProgram> left;
    while (!(left = pc::ListRunningPrograms()).empty() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!left.empty()) {
        std::string names;
        for (const pc::RunningProgram &program : left)
            names += (names.empty() ? "" : ", ") + program.name + " (pid " +
                     std::to_string(program.pid) + ")";
        throw pc::PcError(what +
                          " called off: still running after the end of the session: " + names);
    }
    return running;
}

bool ForceOnly(const std::vector<std::string> &args, const std::string &command)
{
    if (args.size() == 1 && args[0] == "--force")
        return true;
    if (!args.empty())
        throw Usage(command + " takes only --force; see tolvane-pc --help");
    return false;
}

const char *Programs(int count)
{
    return count == 1 ? "program" : "programs";
}

int Restart(const std::string &directory, const std::vector<std::string> &args)
{
    bool forced = ForceOnly(args, "restart");
    Attach(directory);
    RequirePowerOn();
    int told = EndProgramsFirst(forced, "restart");
    pc::RestartWindows();
    std::printf("Windows restarted; %d running host %s ended first\n", told, Programs(told));
    return 0;
}

int Power(const std::string &directory, const std::vector<std::string> &args)
{
    if (args.empty() || (args[0] != "on" && args[0] != "off"))
        throw Usage("power takes on or off; see tolvane-pc --help");
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "on") {
        if (!rest.empty())
            throw Usage("power on takes nothing more; see tolvane-pc --help");
        Attach(directory);
        if (pc::PoweredOn())
            throw pc::PcError("the PC is on already; 'tolvane-pc restart' boots it again");
        pc::PowerOn();
        std::printf("PC switched on\n");
        for (const std::string &line : pc::LastBootReport())
            std::printf("%s\n", line.c_str());
        return 0;
    }
    bool forced = ForceOnly(rest, "power off");
    Attach(directory);
    if (!pc::PoweredOn())
        throw pc::PcError("the PC is off already; 'tolvane-pc power on' switches it on");
    int told = EndProgramsFirst(forced, "power off");
    pc::PowerOff();
    std::printf("PC switched off; %d running host %s ended first\n", told, Programs(told));
    return 0;
}

int Run(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::optional<std::string> directory;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--pc") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                throw Usage("--pc needs a directory");
            directory = args[++i];
        } else if (args[i].rfind("--pc=", 0) == 0) {
            directory = args[i].substr(5);
        } else {
            break;
        }
    }
    if (i >= args.size())
        throw Usage("no command given; see tolvane-pc --help");
    std::string command = args[i];
    std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
    std::string dir = directory.value_or(pc::DefaultDirectory());

    if (command == "--help" || command == "-h" || command == "help") {
        PrintHelp();
        return 0;
    }
    if (command == "create")
        return Create(dir, rest);
    auto noArguments = [&]() {
        if (!rest.empty())
            throw Usage(command + " takes no arguments; see tolvane-pc --help");
    };
    if (command == "profiles") {
        noArguments();
        for (const pc::Profile &profile : pc::Profiles())
            std::printf("%-16s %s\n", profile.name, profile.description);
        return 0;
    }
    if (command == "show") {
        noArguments();
        return Show(dir);
    }
    if (command == "set")
        return Set(dir, rest);
    if (command == "advance")
        return Advance(dir, rest);
    if (command == "sync") {
        noArguments();
        Attach(dir);
        RequirePowerOn();
        pc::SyncOsClock();
        return 0;
    }
    if (command == "restart")
        return Restart(dir, rest);
    if (command == "power")
        return Power(dir, rest);
    if (command == "end-session")
        return EndSession(dir, rest);
    throw Usage("unknown command '" + command + "'; see tolvane-pc --help");
}

}  // namespace

int main(int argc, char **argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tolvane-pc: %s\n", error.what());
        return kFailure;
    }
}
