// The ISA bus of the simulated PC: port accesses that cost a bus cycle each, and
// the BIOS time service built on them. The caller holds the state's lock.
#pragma once

#include <cstdint>

#include "pcio.h"

namespace pc::detail {

struct SharedState;

std::uint8_t BusRead(SharedState &state, std::uint16_t port);
void BusWrite(SharedState &state, std::uint16_t port, std::uint8_t value);

// A CMOS register through the index and data ports.
std::uint8_t CmosRead(SharedState &state, int index);
void CmosWrite(SharedState &state, int index, std::uint8_t value);
// Polls UIP until it clears or `boundNs` of bus time has passed; false then.
bool WaitForUpdateEnd(SharedState &state, std::int64_t boundNs);

// INT 1Ah: functions 02h and 04h read the RTC, 05h sets its date; anything
// else returns carry set.
void BiosTimeService(SharedState &state, BiosRegs &regs);

// The BIOS reads the chip's century byte into its own memory, as at POST.
void LatchBiosCentury(SharedState &state);

}  // namespace pc::detail
