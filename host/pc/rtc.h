// The PC's real-time clock: an MC146818A-compatible chip with 128 registers, a
// once-a-second update on its own phase, and the index/data ports 0x70/0x71.
#pragma once

#include <array>
#include <cstdint>

#include "pc/calendar.h"
#include "rtc_registers.h"

namespace pc {

namespace rtc {
inline constexpr std::int64_t kSecondNs = 1'000'000'000;
inline constexpr std::int64_t kTimeBaseHz = 32'768;
// Datasheet timing with a 32.768 kHz time base: UIP rises tBUC before the
// update cycle, which lasts tUC.
inline constexpr std::int64_t kUipLeadNs = 244'000;
inline constexpr std::int64_t kUpdateCycleNs = 1'984'000;
// One ISA bus cycle: what every port access costs.
inline constexpr std::int64_t kBusCycleNs = 1'000;
// Where a new chip's updates start within each second of the time source.
inline constexpr std::int64_t kDefaultPhaseNs = 500'000'000;
}  // namespace rtc

// The 128 registers as they stand now: A shows UIP as a program would read it,
// the time registers hold their values even during an update, and register C is
// not cleared. No bus time is spent.
std::array<std::uint8_t, 128> RtcRegisters();

// The register last selected on port 0x70, and its NMI mask bit.
struct RtcIndex {
    int index = 0;
    bool nmiMasked = false;
};
RtcIndex RtcPortIndex();

// Start of the chip's next update cycle on the time source.
std::int64_t RtcNextUpdateNs();

// Moves the chip's updates to `phaseNs` into each second of the time source;
// the time the chip keeps, in whole seconds from the time source's, stays.
void SetRtcPhase(std::int64_t phaseNs);

// Sets the chip's date and time as Windows does: SET, the time, date, day of week
// and century in the chip's current BCD/binary and 12/24-hour modes, SET cleared.
void SetRtcTime(const CivilTime &local);

// What a register file's time and date say, decoded by its own register B.
struct RtcTime {
    bool valid = false;
    int century = 0;  // -1 when the century byte does not decode
    int year = 0;     // 0..99
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int dayOfWeek = 0;  // 1 = Sunday
};
RtcTime DecodeRtc(const std::array<std::uint8_t, 128> &registers);

namespace detail {
struct SharedState;

// Brings up a new chip at `now`, set to the local time the machine gives it,
// in ticks since 1601.
void InitRtc(SharedState &state, std::int64_t now, std::int64_t localTicksNow);
// Port accesses on a state whose lock the caller holds, at time `now`.
std::uint8_t RtcPortRead(SharedState &state, std::uint16_t port, std::int64_t now);
void RtcPortWrite(SharedState &state, std::uint16_t port, std::uint8_t value, std::int64_t now);
bool RtcInUpdateWindow(SharedState &state, std::int64_t now);
void WriteRtcTime(SharedState &state, const CivilTime &local, std::int64_t now);
}  // namespace detail

}  // namespace pc
