// Any bytes at all as a PC's state file. The check that every attach makes
// must refuse them in one line or accept them; a file it accepts must be one
// that every reader of the PC copes with, and that what programs then do to
// the PC keeps within range.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "pc/atoms.h"
#include "pc/machine.h"
#include "pc/osclock.h"
#include "pc/power.h"
#include "pc/rtc.h"
#include "pc/session.h"
#include "pc/settings.h"
#include "pc/state.h"
#include "pc/state_check.h"
#include "pc/timesource.h"
#include "pcio.h"

namespace {

using pc::detail::AtomSlot;
using pc::detail::ProcessSlot;
using pc::detail::SharedState;

// The PC the accepted files are put into: one, attached once, in a
// temporary directory removed at exit.
struct FuzzPc {
    std::string directory;
    SharedState *live = nullptr;
    std::vector<std::uint64_t> input;  // the bytes, aligned as a SharedState

    FuzzPc() : input(sizeof(SharedState) / 8 + 1)
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvane-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        directory = pattern;
        pc::CreateOptions options;
        options.virtualTime = true;
        options.virtualStartNs = *pc::TimeSourceNsOf({1999, 12, 31, 23, 59, 55}, 0);
        options.hasUtcOffsetMinutes = true;
        pc::Create(directory, options);
        pc::Attach(directory);
        live = pc::detail::Attached();
    }
    ~FuzzPc()
    {
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }
};

FuzzPc &ThePc()
{
    static FuzzPc pc;
    return pc;
}

// What the programs and tolvane-pc read and do, as far as it stays on this PC
// (nothing is signalled).
void UseThePc()
{
    pc::CurrentSettings();
    pc::RtcRegisters();
    pc::RtcPortIndex();
    pc::RtcNextUpdateNs();
    pc::LastBootReport();
    pc::CountLockTakeovers();
    for (const pc::AtomEntry &entry : pc::ListAtoms()) {
        std::string name;
        pc::AtomName(entry.atom, name);
    }
    pc::FindAtom("_faltrem_running_");
    pc::AddAtom("_faltrem_running_");
    pc::ListRunningPrograms();
    pc::OsLocalNow();
    pc::OsUtcNow();
    pc::OsTickCount();
    pc::CurrentPlatform();

    // The data port as the file left it selected, both ways; then the
    // program's readings, with interrupts off, and the BIOS's.
    PortWriteByte(CMOS_DATA_PORT, static_cast<unsigned char>(PortReadByte(CMOS_DATA_PORT) ^ 0x5A));
    DisableInterrupts();
    for (unsigned char reg : {0x0A, 0x00, 0x04, 0x09, 0x32, 0x0B, 0x0C, 0xFF}) {
        PortWriteByte(CMOS_INDEX_PORT, reg);
        PortReadByte(CMOS_DATA_PORT);
    }
    EnableInterrupts();
    for (unsigned char function : {0x02, 0x04}) {
        BiosRegs regs{};
        regs.h.ah = function;
        CallBiosTimeService(&regs);
    }

    pc::AdvanceVirtualTime(1'500'000'000);
    pc::ChangeSetting("rtc-phase-ms", "250");
    if (pc::PoweredOn())
        pc::RestartWindows();
    else
        pc::PowerOn();
    pc::LastBootReport();
}

}  // namespace

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t *data, std::size_t size, std::size_t maxSize);

// Nearly all of a state file is the atoms' names, which any bytes suit:
// mutations of a whole file go mostly to the fields before them, or to the
// fields of one slot, where a change is a new case.
extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t *data, std::size_t size,
                                               std::size_t maxSize, unsigned int seed)
{
    std::minstd_rand random(seed);
    if (size != sizeof(SharedState) || random() % 4 == 0)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::size_t at = 0, length = offsetof(SharedState, atoms);
    switch (random() % 3) {
    case 0:
        at = offsetof(SharedState, atoms) + random() % pc::detail::kAtomSlots * sizeof(AtomSlot);
        length = offsetof(AtomSlot, name) + 8;
        break;
    case 1:
        at = offsetof(SharedState, processes) +
             random() % pc::detail::kProcessSlots * sizeof(ProcessSlot);
        length = sizeof(ProcessSlot);
        break;
    }
    LLVMFuzzerMutate(data + at, length, length);
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzPc &pc = ThePc();
    std::memset(pc.input.data(), 0, sizeof(SharedState));
    std::memcpy(pc.input.data(), data, size < sizeof(SharedState) ? size : sizeof(SharedState));
    if (std::optional<pc::detail::StateProblem> problem =
            pc::detail::CheckStateFile(pc.input.data(), size)) {
        if (problem->Line("state").find('\n') != std::string::npos)
            std::abort();
        return 0;
    }
    std::memcpy(static_cast<void *>(pc.live), pc.input.data(), sizeof(SharedState));
    // The lock's own cases are the lock tests': a held word would only cost
    // each run a wait for its holder. On the host clock a poll of a stuck
    // chip would spin in real time.
    pc.live->lock.store(0);
    pc.live->virtualTime.store(1);
    UseThePc();
    if (std::optional<pc::detail::StateProblem> after = pc::detail::CheckStateFields(*pc.live)) {
        std::fprintf(stderr, "an accepted state was left out of range: %s\n", after->what.c_str());
        std::abort();
    }
    return 0;
}
