// The PC hardware primitives of pcio.h on the simulated PC. Without an attached
// PC the bus floats (0xFF) and the BIOS reports failure.
#include "pcio.h"

#include "pc/bus.h"
#include "pc/rtc.h"
#include "pc/state.h"

namespace pc::detail {

namespace {

// Inside a stretch with interrupts off a cycle moves only the stretch's clock.
// Outside, a virtual clock pays for each cycle; on the host clock a cycle is
// only paid for inside the RTC's update window, so that a poll bounded by a
// count of cycles waits as long as it would on an ISA bus, while a plain read
// stays fast.
void SpendBusCycle(SharedState &state, std::int64_t now)
{
    if (SpendStretchCycle(state))
        return;
    if (state.virtualTime.load(std::memory_order_relaxed)) {
        AdvanceVirtual(state, rtc::kBusCycleNs, false);
        return;
    }
    if (RtcInUpdateWindow(state, now))
        while (HostNowNs() < now + rtc::kBusCycleNs) {
        }
}

}  // namespace

std::uint8_t BusRead(SharedState &state, std::uint16_t port)
{
    std::int64_t now = BusTime(state);
    std::uint8_t value = RtcPortRead(state, port, now);
    SpendBusCycle(state, now);
    return value;
}

void BusWrite(SharedState &state, std::uint16_t port, std::uint8_t value)
{
    std::int64_t now = BusTime(state);
    RtcPortWrite(state, port, value, now);
    SpendBusCycle(state, now);
}

std::uint8_t CmosRead(SharedState &state, int index)
{
    BusWrite(state, CMOS_INDEX_PORT, static_cast<std::uint8_t>(index));
    return BusRead(state, CMOS_DATA_PORT);
}

void CmosWrite(SharedState &state, int index, std::uint8_t value)
{
    BusWrite(state, CMOS_INDEX_PORT, static_cast<std::uint8_t>(index));
    BusWrite(state, CMOS_DATA_PORT, value);
}

bool WaitForUpdateEnd(SharedState &state, std::int64_t boundNs)
{
    std::int64_t deadline = BusTime(state) + boundNs;
    while (CmosRead(state, RTC_STATUS_A) & RTC_UPDATE_IN_PROGRESS)
        if (BusTime(state) >= deadline)
            return false;
    return true;
}

}  // namespace pc::detail

using pc::detail::Attached;
using pc::detail::StateLock;

unsigned char PortReadByte(unsigned short port)
{
    pc::detail::SharedState *state = Attached();
    if (!state)
        return 0xFF;
    StateLock lock(*state);
    return pc::detail::BusRead(*state, port);
}

void PortWriteByte(unsigned short port, unsigned char value)
{
    pc::detail::SharedState *state = Attached();
    if (!state)
        return;
    StateLock lock(*state);
    pc::detail::BusWrite(*state, port, value);
}

void DisableInterrupts(void)
{
    if (pc::detail::SharedState *state = Attached())
        pc::detail::HoldInterrupts(*state);
}

void EnableInterrupts(void)
{
    pc::detail::ReleaseInterrupts();
}

void CallBiosTimeService(union BiosRegs *regs)
{
    if (!regs)
        return;
    pc::detail::SharedState *state = Attached();
    if (!state) {
        regs->x.cflag = 1;
        return;
    }
    pc::detail::BiosTimeService(*state, *regs);
}
