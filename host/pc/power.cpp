// The power switch, the warm boot, and the report of what the last boot did to
// the date.
#include "pc/power.h"

#include <cstdio>
#include <cstring>

#include "pc/machine.h"
#include "pc/session.h"
#include "pc/settings.h"
#include "pc/state.h"

namespace pc {

using detail::BootAction;
using detail::PostAction;
using detail::RawDate;
using detail::SharedState;

namespace {

SharedState &AttachedOrThrow()
{
    SharedState *state = detail::Attached();
    if (!state)
        throw PcError("no PC attached");
    return *state;
}

// The bytes as the chip holds them: BCD shows as the digits it stands for.
std::string Format(const RawDate &date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02X%02X-%02X-%02X %02X:%02X:%02X", date.century, date.year,
                  date.month, date.day, date.hour, date.minute, date.second);
    return text;
}

std::string FormatDate(const CivilTime &time)
{
    return FormatCivil(time).substr(0, 10);
}

bool SameDate(const RawDate &a, const RawDate &b)
{
    return std::memcmp(&a, &b, 7) == 0;
}

std::string PostLine(const detail::BootRecord &record)
{
    std::string line = "POST: chip " + Format(record.chipAtPost) + ", ";
    switch (record.post) {
    case PostAction::CarriedCentury:
        return line + "the BIOS carried the century: " + Format(record.chipAtBoot);
    case PostAction::ResetOutOfRange:
        return line + "outside the years the BIOS allows: reset to " + Format(record.chipAtBoot);
    default:
        return line + "left as it was";
    }
}

std::string BootLine(const detail::BootRecord &record)
{
    std::string line = "boot: chip " + Format(record.chipAtBoot) + ", ";
    std::string windows = PlatformOf(record.platform).product;
    bool handedOwn =
        record.boot != BootAction::BiosFailed && !SameDate(record.handed, record.chipAtBoot);
    if (handedOwn)
        line += "BIOS handed " + Format(record.handed) + ", ";
    switch (record.boot) {
    case BootAction::SetForwardTo2000:
        return line + windows + " set " + FormatDate(record.loaded) + " and wrote century 20";
    case BootAction::TookAsDosStart:
        return line + windows + " took it as " + FormatDate(record.loaded) +
               " (DOS dates start in 1980)";
    case BootAction::MappedForward:
        return line + windows + " read it as " + FormatDate(record.loaded);
    case BootAction::BiosFailed:
        return line + "the BIOS call failed (carry set), " + windows + " started at " +
               FormatCivil(record.loaded);
    case BootAction::NotADate:
        return line + "not a date, " + windows + " started at " + FormatCivil(record.loaded);
    default:
        return line + windows + " took it";
    }
}

}  // namespace

bool PoweredOn()
{
    SharedState *state = detail::Attached();
    return state && state->poweredOn;
}

void PowerOff()
{
    SharedState &state = AttachedOrThrow();
    // Under the lock no program can register between the look and the switch.
    detail::StateLock lock(state);
    if (!state.poweredOn)
        throw PcError("the PC is off already; 'tolvane-pc power on' switches it on");
    detail::PruneEndedPrograms(state);
    for (const detail::ProcessSlot &slot : state.processes)
        if (slot.pid)
            throw PcError("host programs still run on the PC, " +
                          std::string(detail::NameOf(slot)) + " (pid " + std::to_string(slot.pid) +
                          ") among them; end them first");
    state.poweredOn = 0;
    std::memset(state.atoms, 0, sizeof state.atoms);
}

void PowerOn()
{
    SharedState &state = AttachedOrThrow();
    detail::InterruptsOff cli(state);
    if (state.poweredOn)
        throw PcError("the PC is on already; 'tolvane-pc restart' boots it again");
    detail::Boot(state);
}

void RestartWindows()
{
    SharedState *state = detail::Attached();
    if (!state)
        return;
    detail::InterruptsOff cli(*state);
    if (state->poweredOn)
        detail::Boot(*state);
}

std::vector<std::string> LastBootReport()
{
    SharedState &state = AttachedOrThrow();
    detail::BootRecord record;
    {
        detail::StateLock lock(state);
        record = state.lastBoot;
    }
    if (!record.booted)
        return {};
    return {PostLine(record), BootLine(record)};
}

}  // namespace pc
