// The BIOS time-of-day service, INT 1Ah, as the profiles have it: a plain BIOS
// returns the RTC's registers; a windowing one makes up its own century; a
// broken one fails a call with carry set.
#include "pc/bus.h"
#include "pc/rtc.h"
#include "pc/state.h"

namespace pc::detail {

namespace {

// Long enough for any real update (244 + 1984 us), short enough that a stuck
// chip costs a caller only 10 ms of bus time before the BIOS gives up with
// carry set.
constexpr std::int64_t kUipWaitNs = 10'000'000;

void Fail(BiosRegs &regs)
{
    regs.x.cflag = 1;
}

}  // namespace

void BiosTimeService(SharedState &state, BiosRegs &regs)
{
    // The BIOS keeps interrupts off for the whole call.
    InterruptsOff cli(state);
    BiosMode mode = state.settings.bios;
    switch (regs.h.ah) {
    case 0x02:  // read RTC time: CH hour, CL minute, DH second, DL daylight saving
        if (mode == BiosMode::TimeFails || !WaitForUpdateEnd(state, kUipWaitNs))
            return Fail(regs);
        regs.h.ch = CmosRead(state, rtc::kHours);
        regs.h.cl = CmosRead(state, rtc::kMinutes);
        regs.h.dh = CmosRead(state, rtc::kSeconds);
        regs.h.dl = CmosRead(state, rtc::kStatusB) & rtc::kBDaylightSaving;
        regs.x.cflag = 0;
        return;
    case 0x04:  // read RTC date: CH century, CL year, DH month, DL day
        if (mode == BiosMode::DateFails || !WaitForUpdateEnd(state, kUipWaitNs))
            return Fail(regs);
        regs.h.cl = CmosRead(state, rtc::kYear);
        regs.h.dh = CmosRead(state, rtc::kMonth);
        regs.h.dl = CmosRead(state, rtc::kDay);
        if (mode == BiosMode::Windowing)
            regs.h.ch = regs.h.cl < 0x80 ? 0x20 : 0x19;
        else
            regs.h.ch = CmosRead(state, rtc::kCentury);
        regs.x.cflag = 0;
        return;
    default:
        return Fail(regs);
    }
}

}  // namespace pc::detail
