// Power and boot of the simulated PC. Switched off, only the RTC runs, on its
// battery. Every boot, cold or warm, runs the BIOS's power-on self test on the
// chip, then the simulated Windows loads its clock from the chip the way its
// platform does.
#pragma once

#include <string>
#include <vector>

namespace pc {

bool PoweredOn();

// Switches the PC off; its atoms go with its memory. Throws PcError, naming
// them, while host programs still run on it: they are to be ended first.
void PowerOff();

// Switches the PC on and boots it. Throws PcError if it is on already.
void PowerOn();

// A warm boot of a PC that is on: the same POST and boot as at power-on, so
// the OS clock is loaded from the chip again; the global atoms go, the boot
// count rises and the tick count starts again. A PC that is off stays off.
void RestartWindows();

// What the last boot did to the date: a "POST: ..." line and a "boot: ..."
// line; none before the PC's first boot.
std::vector<std::string> LastBootReport();

namespace detail {
struct SharedState;
// POST, then the OS clock from the chip, with interrupts off (the caller may
// have them off already, or hold the state's lock); records what each did in
// the state's last boot.
void Boot(SharedState &state);
}  // namespace detail

}  // namespace pc
