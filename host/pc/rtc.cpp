// The RTC chip. It is brought up to date lazily, at each access, by whole
// updates since the last one: date arithmetic on its own calendar, so a gap of
// years costs what a second does.
#include "pc/rtc.h"

#include "pc/state.h"
#include "pc/timesource.h"

namespace pc {

using namespace rtc;

namespace {

// ---- Encoding in the chip's modes ----

bool Binary(const std::uint8_t *regs)
{
    return regs[RTC_STATUS_B] & RTC_BINARY_MODE;
}

bool Hour24(const std::uint8_t *regs)
{
    return regs[RTC_STATUS_B] & RTC_24_HOUR_MODE;
}

std::uint8_t Encode(int value, bool binary)
{
    return static_cast<std::uint8_t>(binary ? value : (value / 10) << 4 | value % 10);
}

// -1 when the byte is not a number in the mode.
int Decode(std::uint8_t byte, bool binary)
{
    if (binary)
        return byte;
    if ((byte & 0x0F) > 9 || (byte >> 4) > 9)
        return -1;
    return (byte >> 4) * 10 + (byte & 0x0F);
}

std::uint8_t EncodeHour(int hour, const std::uint8_t *regs)
{
    if (Hour24(regs))
        return Encode(hour, Binary(regs));
    int twelve = hour % 12 == 0 ? 12 : hour % 12;
    return static_cast<std::uint8_t>(Encode(twelve, Binary(regs)) | (hour >= 12 ? RTC_HOUR_PM : 0));
}

int DecodeHour(std::uint8_t byte, const std::uint8_t *regs)
{
    if (Hour24(regs)) {
        int hour = Decode(byte, Binary(regs));
        return hour <= 23 ? hour : -1;
    }
    int twelve = Decode(byte & ~RTC_HOUR_PM, Binary(regs));
    if (twelve < 1 || twelve > 12)
        return -1;
    return twelve % 12 + (byte & RTC_HOUR_PM ? 12 : 0);
}

// ---- The chip's calendar: two-digit years, every fourth one (00 too) leap ----

constexpr int kCenturyDays = 25 * 1461;

int ChipDaysInMonth(int year, int month)
{
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && year % 4 == 0 ? 29 : kDays[month - 1];
}

int ChipDayIndex(int year, int month, int day)
{
    int index = 365 * year + (year + 3) / 4;
    for (int m = 1; m < month; ++m)
        index += ChipDaysInMonth(year, m);
    return index + day - 1;
}

void ChipDate(int index, int &year, int &month, int &day)
{
    int block = index / 1461, rest = index % 1461;
    if (rest < 366) {
        year = block * 4;
    } else {
        rest -= 366;
        year = block * 4 + 1 + rest / 365;
        rest %= 365;
    }
    month = 1;
    while (rest >= ChipDaysInMonth(year, month))
        rest -= ChipDaysInMonth(year, month++);
    day = rest + 1;
}

RtcTime DecodeRegisters(const std::uint8_t *regs)
{
    RtcTime t;
    bool binary = Binary(regs);
    t.second = Decode(regs[RTC_SECONDS], binary);
    t.minute = Decode(regs[RTC_MINUTES], binary);
    t.hour = DecodeHour(regs[RTC_HOURS], regs);
    t.dayOfWeek = Decode(regs[RTC_DAY_OF_WEEK], binary);
    t.day = Decode(regs[RTC_DAY], binary);
    t.month = Decode(regs[RTC_MONTH], binary);
    t.year = Decode(regs[RTC_YEAR], binary);
    t.century = Decode(regs[CMOS_CENTURY], binary);
    t.valid = t.second >= 0 && t.second <= 59 && t.minute >= 0 && t.minute <= 59 && t.hour >= 0 &&
              t.year >= 0 && t.year <= 99 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
              t.day <= ChipDaysInMonth(t.year, t.month);
    if (t.century > 99)
        t.century = -1;
    return t;
}

// The chip counts `seconds` whole updates. Registers that hold no valid time
// (a program wrote nonsense) are left as they are: the datasheet leaves the
// result undefined, and this chip waits for a valid time to be written.
void Count(detail::SharedState &state, std::int64_t seconds)
{
    std::uint8_t *regs = state.rtc.regs;
    RtcTime t = DecodeRegisters(regs);
    if (!t.valid)
        return;
    std::int64_t secondOfDay = t.hour * 3600 + t.minute * 60 + t.second + seconds;
    std::int64_t days = secondOfDay / 86400;
    secondOfDay %= 86400;
    std::int64_t index = ChipDayIndex(t.year, t.month, t.day) + days;
    std::int64_t centuries = index / kCenturyDays;
    int year, month, day;
    ChipDate(static_cast<int>(index % kCenturyDays), year, month, day);

    bool binary = Binary(regs);
    regs[RTC_SECONDS] = Encode(static_cast<int>(secondOfDay % 60), binary);
    regs[RTC_MINUTES] = Encode(static_cast<int>(secondOfDay / 60 % 60), binary);
    regs[RTC_HOURS] = EncodeHour(static_cast<int>(secondOfDay / 3600), regs);
    regs[RTC_DAY] = Encode(day, binary);
    regs[RTC_MONTH] = Encode(month, binary);
    regs[RTC_YEAR] = Encode(year, binary);
    if (t.dayOfWeek >= 1 && t.dayOfWeek <= 7)
        regs[RTC_DAY_OF_WEEK] = Encode(static_cast<int>((t.dayOfWeek - 1 + days) % 7) + 1, binary);
    // A legacy chip has no century counter: 0x32 is plain RAM to it.
    if (centuries && state.settings.centuryAware && t.century >= 0)
        regs[CMOS_CENTURY] = Encode(static_cast<int>((t.century + centuries) % 100), binary);
}

bool Running(const std::uint8_t *regs)
{
    return (regs[RTC_STATUS_A] & RTC_DIVIDER_MASK) == RTC_DIVIDER_RUNNING;
}

bool Counting(const std::uint8_t *regs)
{
    return Running(regs) && !(regs[RTC_STATUS_B] & RTC_SET);
}

// The latest update start on `phaseNs` whose cycle has ended by `now`.
std::int64_t LastUpdateOnPhase(std::int64_t now, std::int64_t phaseNs)
{
    std::int64_t since = now - kUpdateCycleNs - phaseNs;
    std::int64_t whole = since >= 0 ? since / kSecondNs : -((-since + kSecondNs - 1) / kSecondNs);
    return whole * kSecondNs + phaseNs;
}

// Applies every update whose cycle has ended by `now`. While SET is high or the
// divider is held, the phase runs on but nothing is counted.
void CatchUp(detail::SharedState &state, std::int64_t now)
{
    detail::Rtc &chip = state.rtc;
    if (!Running(chip.regs) || now < chip.lastUpdateNs + kSecondNs + kUpdateCycleNs)
        return;
    std::int64_t updates = (now - kUpdateCycleNs - chip.lastUpdateNs) / kSecondNs;
    chip.lastUpdateNs += updates * kSecondNs;
    if (chip.regs[RTC_STATUS_B] & RTC_SET)
        return;
    Count(state, updates);
    chip.regs[RTC_STATUS_C] |= RTC_UPDATE_ENDED_FLAG;
    if (chip.regs[RTC_STATUS_B] & RTC_UPDATE_INTERRUPT)
        chip.regs[RTC_STATUS_C] |= RTC_INTERRUPT_REQUEST;
}

// The periodic rate selected by RS3..RS0 as a divisor of the time base: none,
// 256 Hz, 128 Hz, then 8192 Hz halving at each step down to 2 Hz.
std::int64_t PeriodicDivisor(const std::uint8_t *regs)
{
    int rate = regs[RTC_STATUS_A] & RTC_RATE_MASK;
    if (rate == 0)
        return 0;
    return rate <= 2 ? std::int64_t{64} << rate : std::int64_t{1} << (rate - 1);
}

// Periodic ticks from `origin` to `at`, rounded down. Every rate divides one
// second, so any update start serves as the origin.
std::int64_t PeriodicTicks(std::int64_t origin, std::int64_t at, std::int64_t divisor)
{
    __int128 scaled = static_cast<__int128>(at - origin) * kTimeBaseHz;
    __int128 period = static_cast<__int128>(divisor) * kSecondNs;
    __int128 ticks = scaled / period;
    if (scaled % period != 0 && scaled < 0)
        --ticks;
    return static_cast<std::int64_t>(ticks);
}

// PF is set by each periodic tick since register C was last looked at, IRQF
// with it when PIE enables the interrupt.
void CatchUpPeriodic(detail::SharedState &state, std::int64_t now)
{
    detail::Rtc &chip = state.rtc;
    if (now <= chip.periodicSeenNs)
        return;
    std::int64_t divisor = PeriodicDivisor(chip.regs);
    if (Running(chip.regs) && divisor != 0 &&
        PeriodicTicks(chip.lastUpdateNs, now, divisor) !=
            PeriodicTicks(chip.lastUpdateNs, chip.periodicSeenNs, divisor)) {
        chip.regs[RTC_STATUS_C] |= RTC_PERIODIC_FLAG;
        if (chip.regs[RTC_STATUS_B] & RTC_PERIODIC_INTERRUPT)
            chip.regs[RTC_STATUS_C] |= RTC_INTERRUPT_REQUEST;
    }
    chip.periodicSeenNs = now;
}

bool UpdateInProgress(const detail::SharedState &state, std::int64_t now)
{
    if (state.settings.stuckChip)
        return true;
    return Counting(state.rtc.regs) && now >= state.rtc.lastUpdateNs + kSecondNs - kUipLeadNs;
}

// During the update cycle itself the counters are being carried and read as
// undefined; this chip shows 0xFF, which no valid time contains.
bool InUpdateCycle(const detail::SharedState &state, std::int64_t now)
{
    return Counting(state.rtc.regs) && now >= state.rtc.lastUpdateNs + kSecondNs;
}

// The file is shared: bounded at each use, whatever another program wrote.
int SelectedRegister(const detail::SharedState &state)
{
    return state.rtc.index & 0x7F;
}

bool IsCounter(const detail::SharedState &state, int index)
{
    return index <= RTC_YEAR || (index == CMOS_CENTURY && state.settings.centuryAware);
}

// Raising SET aborts an update cycle under way, and one due while SET was high
// never began: either way it is not counted.
void SkipUpdateCycle(detail::SharedState &state, std::int64_t now)
{
    if (Running(state.rtc.regs) && now >= state.rtc.lastUpdateNs + kSecondNs)
        state.rtc.lastUpdateNs += kSecondNs;
}

void WriteRegister(detail::SharedState &state, int index, std::uint8_t value, std::int64_t now)
{
    std::uint8_t *regs = state.rtc.regs;
    switch (index) {
    case RTC_STATUS_A: {
        bool wasRunning = Running(regs);
        regs[RTC_STATUS_A] = value & ~RTC_UPDATE_IN_PROGRESS;
        // Leaving divider reset, the first update comes half a second later.
        if (!wasRunning && Running(regs))
            state.rtc.lastUpdateNs = now + kSecondNs / 2 - kSecondNs;
        break;
    }
    case RTC_STATUS_B:
        if ((value ^ regs[RTC_STATUS_B]) & RTC_SET)
            SkipUpdateCycle(state, now);
        if ((value & RTC_SET) && !(regs[RTC_STATUS_B] & RTC_SET))
            value &= ~RTC_UPDATE_INTERRUPT;
        regs[RTC_STATUS_B] = value;
        break;
    case RTC_STATUS_C:
    case RTC_STATUS_D:
        break;  // read-only
    default:
        regs[index] = value;
        break;
    }
}

std::uint8_t ReadRegister(detail::SharedState &state, int index, std::int64_t now)
{
    std::uint8_t *regs = state.rtc.regs;
    switch (index) {
    case RTC_STATUS_A:
        return static_cast<std::uint8_t>(
            regs[RTC_STATUS_A] | (UpdateInProgress(state, now) ? RTC_UPDATE_IN_PROGRESS : 0));
    case RTC_STATUS_C: {
        std::uint8_t flags = regs[RTC_STATUS_C];
        regs[RTC_STATUS_C] = 0;
        return flags;
    }
    case RTC_STATUS_D:
        return RTC_VALID_RAM;
    default:
        if (IsCounter(state, index) && InUpdateCycle(state, now))
            return 0xFF;
        return regs[index];
    }
}

void EncodeTime(detail::SharedState &state, const CivilTime &local)
{
    std::uint8_t *regs = state.rtc.regs;
    bool binary = Binary(regs);
    regs[RTC_SECONDS] = Encode(local.second, binary);
    regs[RTC_MINUTES] = Encode(local.minute, binary);
    regs[RTC_HOURS] = EncodeHour(local.hour, regs);
    std::int64_t days = DaysFromCivil(local.year, local.month, local.day);
    regs[RTC_DAY_OF_WEEK] = Encode(static_cast<int>(((days + 4) % 7 + 7) % 7) + 1, binary);
    regs[RTC_DAY] = Encode(local.day, binary);
    regs[RTC_MONTH] = Encode(local.month, binary);
    regs[RTC_YEAR] = Encode(local.year % 100, binary);
    // Years past 9999 do not fit the byte; the chip keeps the low two digits.
    regs[CMOS_CENTURY] = Encode(local.year / 100 % 100, binary);
}

}  // namespace

RtcTime DecodeRtc(const std::array<std::uint8_t, 128> &registers)
{
    return DecodeRegisters(registers.data());
}

namespace detail {

void InitRtc(SharedState &state, std::int64_t now, std::int64_t localTicksNow)
{
    std::uint8_t *regs = state.rtc.regs;
    regs[RTC_STATUS_A] = RTC_DIVIDER_RUNNING | 0x06;  // 1024 Hz periodic rate, as BIOSes leave it
    regs[RTC_STATUS_B] = RTC_24_HOUR_MODE;
    regs[RTC_STATUS_C] = 0;
    regs[RTC_STATUS_D] = RTC_VALID_RAM;
    state.rtc.lastUpdateNs = LastUpdateOnPhase(now, kDefaultPhaseNs);
    state.rtc.periodicSeenNs = now;
    // The chip shows the second whose start is nearest its last update.
    std::int64_t ticks =
        localTicksNow - (now - state.rtc.lastUpdateNs) / kNsPerTick + kTicksPerSecond / 2;
    EncodeTime(state, CivilFromTicks(ticks - ticks % kTicksPerSecond));
}

std::uint8_t RtcPortRead(SharedState &state, std::uint16_t port, std::int64_t now)
{
    if (port != CMOS_DATA_PORT)
        return 0xFF;  // the index port is write-only; nothing else answers
    CatchUp(state, now);
    CatchUpPeriodic(state, now);
    return ReadRegister(state, SelectedRegister(state), now);
}

void RtcPortWrite(SharedState &state, std::uint16_t port, std::uint8_t value, std::int64_t now)
{
    if (port == CMOS_INDEX_PORT) {
        state.rtc.index = value & ~CMOS_NMI_MASK & 0xFF;
        state.rtc.nmiMasked = (value & CMOS_NMI_MASK) != 0;
    } else if (port == CMOS_DATA_PORT) {
        CatchUp(state, now);
        CatchUpPeriodic(state, now);
        WriteRegister(state, SelectedRegister(state), value, now);
    }
}

bool RtcInUpdateWindow(SharedState &state, std::int64_t now)
{
    CatchUp(state, now);
    return UpdateInProgress(state, now);
}

void WriteRtcTime(SharedState &state, const CivilTime &local, std::int64_t now)
{
    CatchUp(state, now);
    SkipUpdateCycle(state, now);
    EncodeTime(state, local);
}

}  // namespace detail

std::array<std::uint8_t, 128> RtcRegisters()
{
    std::array<std::uint8_t, 128> copy{};
    detail::SharedState *state = detail::Attached();
    if (!state)
        return copy;
    detail::StateLock lock(*state);
    std::int64_t now = detail::NowOn(*state);
    CatchUp(*state, now);
    CatchUpPeriodic(*state, now);
    for (int i = 0; i < 128; ++i)
        copy[i] = state->rtc.regs[i];
    if (UpdateInProgress(*state, now))
        copy[RTC_STATUS_A] |= RTC_UPDATE_IN_PROGRESS;
    copy[RTC_STATUS_D] = RTC_VALID_RAM;
    return copy;
}

RtcIndex RtcPortIndex()
{
    detail::SharedState *state = detail::Attached();
    if (!state)
        return {};
    detail::StateLock lock(*state);
    return {SelectedRegister(*state), state->rtc.nmiMasked != 0};
}

std::int64_t RtcNextUpdateNs()
{
    detail::SharedState *state = detail::Attached();
    if (!state)
        return 0;
    detail::StateLock lock(*state);
    CatchUp(*state, detail::NowOn(*state));
    return state->rtc.lastUpdateNs + kSecondNs;
}

void SetRtcPhase(std::int64_t phaseNs)
{
    detail::SharedState *state = detail::Attached();
    if (!state)
        return;
    detail::StateLock lock(*state);
    CatchUp(*state, detail::NowOn(*state));
    // The phase is where the chip's seconds start, not its time: the second
    // the registers show keeps its place on the time source and only its
    // start moves within it, so the next update may lie a little more or
    // less than a second ahead, and changes never add up.
    std::int64_t last = state->rtc.lastUpdateNs;
    std::int64_t second = last - (last % kSecondNs + kSecondNs) % kSecondNs;
    state->rtc.lastUpdateNs = second + (phaseNs % kSecondNs + kSecondNs) % kSecondNs;
}

void SetRtcTime(const CivilTime &local)
{
    detail::SharedState *state = detail::Attached();
    if (!state)
        return;
    detail::StateLock lock(*state);
    detail::WriteRtcTime(*state, local, detail::NowOn(*state));
}

}  // namespace pc
