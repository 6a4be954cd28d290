// The BIOS time-of-day service, INT 1Ah, as the profiles have it: a plain BIOS
// returns the RTC's registers; a windowing one makes up its own century; a
// latching one reports the century it read at power-on; a broken one fails a
// call with carry set.
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

void Succeed(BiosRegs &regs)
{
    regs.h.ah = 0;
    regs.x.cflag = 0;
}

}  // namespace

void LatchBiosCentury(SharedState &state)
{
    state.bios.century = CmosRead(state, CMOS_CENTURY);
}

void BiosTimeService(SharedState &state, BiosRegs &regs)
{
    // The BIOS keeps interrupts off for the whole call.
    InterruptsOff cli(state);
    BiosMode mode = state.settings.bios;
    switch (regs.h.ah) {
    case 0x02:  // read RTC time: CH hour, CL minute, DH second, DL daylight saving
        if (mode == BiosMode::TimeFails || !WaitForUpdateEnd(state, kUipWaitNs))
            return Fail(regs);
        regs.h.ch = CmosRead(state, RTC_HOURS);
        regs.h.cl = CmosRead(state, RTC_MINUTES);
        regs.h.dh = CmosRead(state, RTC_SECONDS);
        regs.h.dl = CmosRead(state, RTC_STATUS_B) & RTC_DAYLIGHT_SAVING;
        regs.x.cflag = 0;
        return;
    case 0x04:  // read RTC date: CH century, CL year, DH month, DL day
        if (mode == BiosMode::DateFails || !WaitForUpdateEnd(state, kUipWaitNs))
            return Fail(regs);
        regs.h.cl = CmosRead(state, RTC_YEAR);
        regs.h.dh = CmosRead(state, RTC_MONTH);
        regs.h.dl = CmosRead(state, RTC_DAY);
        if (mode == BiosMode::Windowing)
            regs.h.ch = regs.h.cl < 0x80 ? 0x20 : 0x19;
        else if (mode == BiosMode::LatchedCentury)
            regs.h.ch = state.bios.century;
        else
            regs.h.ch = CmosRead(state, CMOS_CENTURY);
        regs.x.cflag = 0;
        return;
    case 0x05:  // set RTC date from CH century, CL year, DH month, DL day
        // Writing in the middle of an update would be lost or torn.
        if (!WaitForUpdateEnd(state, kUipWaitNs))
            return Fail(regs);
        CmosWrite(state, RTC_YEAR, regs.h.cl);
        CmosWrite(state, RTC_MONTH, regs.h.dh);
        CmosWrite(state, RTC_DAY, regs.h.dl);
        // An AT BIOS keeps the century in the chip's byte; a latching one in
        // its own memory alone, where its date call finds it.
        if (mode != BiosMode::LatchedCentury)
            CmosWrite(state, CMOS_CENTURY, regs.h.ch);
        state.bios.century = regs.h.ch;
        // The chip counts again if a program had stopped it to set it.
        CmosWrite(state, RTC_STATUS_B, CmosRead(state, RTC_STATUS_B) & ~RTC_SET);
        Succeed(regs);
        return;
    default:
        return Fail(regs);
    }
}

}  // namespace pc::detail
