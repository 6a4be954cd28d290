// A boot of the simulated PC: the BIOS's power-on self test acts on the chip as
// the profile has it, then Windows loads its clock from the chip as its
// platform does (Microsoft, "Windows Operating System Interactions with BIOS
// and Real Time Clock", 1999). Both run with interrupts off, so no time passes.
#include <cstring>

#include "pc/bus.h"
#include "pc/osclock.h"
#include "pc/power.h"
#include "pc/rtc.h"
#include "pc/state.h"

namespace pc::detail {

namespace {

// As the BIOS's own wait: past that a stuck chip is read as it stands.
constexpr std::int64_t kUipBoundNs = 10'000'000;

// Where DOS, and Windows 9x over it, start when the BIOS gives them nothing.
constexpr CivilTime kDosStart{1980, 1, 1, 0, 0, 0, 0, 0};

RawDate ReadDate(SharedState &state)
{
    RawDate date{};
    date.century = CmosRead(state, CMOS_CENTURY);
    date.year = CmosRead(state, RTC_YEAR);
    date.month = CmosRead(state, RTC_MONTH);
    date.day = CmosRead(state, RTC_DAY);
    date.hour = CmosRead(state, RTC_HOURS);
    date.minute = CmosRead(state, RTC_MINUTES);
    date.second = CmosRead(state, RTC_SECONDS);
    return date;
}

std::uint8_t EncodeForChip(SharedState &state, int value)
{
    bool binary = CmosRead(state, RTC_STATUS_B) & RTC_BINARY_MODE;
    return static_cast<std::uint8_t>(binary ? value : (value / 10) << 4 | value % 10);
}

// ---- POST ----

struct Limit {
    int reg;
    std::uint8_t min, max;
};

// One common BIOS checked each register against a table and set one outside
// it to its minimum. Its years, 94 to 99, make 2000 into 2094 on a chip that
// counts centuries and 1900 into 1994 on one that does not.
const Limit kRangeLimits[] = {{RTC_SECONDS, 0x00, 0x59}, {RTC_MINUTES, 0x00, 0x59},
                              {RTC_HOURS, 0x00, 0x23},   {RTC_DAY, 0x01, 0x31},
                              {RTC_MONTH, 0x01, 0x12},   {RTC_YEAR, 0x94, 0x99},
                              {CMOS_CENTURY, 0x19, 0x20}};

// The BIOS works in BCD, whatever register B says, as the BIOSes of the time did.
PostAction RunPost(SharedState &state, const RawDate &found)
{
    switch (state.settings.post) {
    case PostMode::CarryCentury:
        if (found.century != 0x19 || found.year >= 0x80)
            return PostAction::LeftAlone;
        CmosWrite(state, CMOS_CENTURY, 0x20);
        return PostAction::CarriedCentury;
    case PostMode::YearRange: {
        bool reset = false;
        for (const Limit &limit : kRangeLimits) {
            std::uint8_t value = CmosRead(state, limit.reg);
            if (value < limit.min || value > limit.max) {
                CmosWrite(state, limit.reg, limit.min);
                reset = true;
            }
        }
        return reset ? PostAction::ResetOutOfRange : PostAction::LeftAlone;
    }
    default:
        return PostAction::LeftAlone;
    }
}

// ---- The OS clock ----

int Bcd(std::uint8_t byte)
{
    return (byte & 0x0F) > 9 || (byte >> 4) > 9 ? -1 : (byte >> 4) * 10 + (byte & 0x0F);
}

// The date as BCD, 24-hour, as the BIOS hands it and NT reads it; false when a
// byte is not BCD.
bool FromBcd(const RawDate &raw, CivilTime &time)
{
    const int fields[7] = {Bcd(raw.century), Bcd(raw.year),   Bcd(raw.month), Bcd(raw.day),
                           Bcd(raw.hour),    Bcd(raw.minute), Bcd(raw.second)};
    for (int field : fields)
        if (field < 0)
            return false;
    time = CivilTime{
        fields[0] * 100 + fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], 0, 0};
    return true;
}

// Windows 9x take the date from INT 1Ah as the BIOS hands it, windowed or not.
BootAction LoadFromBios(SharedState &state, BootRecord &record, CivilTime &loaded)
{
    BiosRegs date{}, time{};
    date.h.ah = 0x04;
    BiosTimeService(state, date);
    time.h.ah = 0x02;
    BiosTimeService(state, time);
    if (date.x.cflag || time.x.cflag)
        return BootAction::BiosFailed;
    record.handed = {date.h.ch, date.h.cl, date.h.dh, date.h.dl,
                     time.h.ch, time.h.cl, time.h.dh, 0};
    if (!FromBcd(record.handed, loaded))
        return BootAction::NotADate;
    // Windows 98 knows 1900 as a BIOS that missed the century, and only 1900:
    // a PC left off into 1901 is not caught.
    if (record.platform != Platform::Win95 && loaded.year == 1900) {
        loaded.year = 2000;
        CmosWrite(state, CMOS_CENTURY, EncodeForChip(state, 20));
        // Set as Windows sets a date: the BIOS hears of it too.
        LatchBiosCentury(state);
        return BootAction::SetForwardTo2000;
    }
    if (loaded.year < 1980) {
        loaded = CivilTime{1980, 1, 4, loaded.hour, loaded.minute, loaded.second, 0, 0};
        return BootAction::TookAsDosStart;
    }
    return BootAction::Took;
}

// NT reads the chip itself and moves 1900-1919 a century on; it writes nothing.
BootAction LoadFromChip(BootRecord &record, CivilTime &loaded)
{
    record.handed = record.chipAtBoot;
    if (!FromBcd(record.handed, loaded))
        return BootAction::NotADate;
    if (loaded.year >= 1900 && loaded.year <= 1919) {
        loaded.year += 100;
        return BootAction::MappedForward;
    }
    return BootAction::Took;
}

}  // namespace

void Boot(SharedState &state)
{
    InterruptsOff cli(state);
    BootRecord record{};
    record.booted = 1;
    record.platform = state.settings.platform;

    WaitForUpdateEnd(state, kUipBoundNs);
    record.chipAtPost = ReadDate(state);
    record.post = RunPost(state, record.chipAtPost);
    record.chipAtBoot = ReadDate(state);
    // The BIOS sets up its clock after its checks of the chip.
    LatchBiosCentury(state);

    CivilTime loaded;
    record.boot = record.platform == Platform::NT4 ? LoadFromChip(record, loaded)
                                                   : LoadFromBios(state, record, loaded);
    bool gotDate = record.boot != BootAction::BiosFailed && record.boot != BootAction::NotADate;
    if (gotDate && !IsValidSystemTime(loaded))
        record.boot = BootAction::NotADate;
    if (record.boot == BootAction::BiosFailed || record.boot == BootAction::NotADate)
        loaded = kDosStart;
    record.loaded = loaded;

    // The chip holds local time, and so the clock starts from it in local time.
    std::int64_t now = NowOn(state);
    state.osOffsetTicks = TicksFromCivil(loaded) -
                          std::int64_t{state.settings.utcOffsetMinutes} * 60 * kTicksPerSecond -
                          TicksFromUnixNs(now);
    std::memset(state.atoms, 0, sizeof state.atoms);
    ++state.bootCount;
    state.bootNs = now;
    state.poweredOn = 1;
    state.lastBoot = record;
}

}  // namespace pc::detail
