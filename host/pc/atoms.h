// The global atom table of the simulated Windows, kept in the PC's state so that
// it outlives the programs that add atoms, until the simulated Windows restarts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pc {

enum class AtomStatus { Ok, InvalidParameter, InvalidName, NotFound, InvalidHandle, TableFull };

struct AtomResult {
    std::uint16_t atom = 0;
    AtomStatus status = AtomStatus::Ok;
};

inline constexpr std::uint16_t kFirstStringAtom = 0xC000;

// Names compare without regard to ASCII case. "#" and decimal digits name an
// integer atom (1..0xBFFF), which needs no table entry; so does a value below
// 0xC000 passed as an integer.
AtomResult AddAtom(std::string_view name);
AtomResult FindAtom(std::string_view name);
AtomResult IntegerAtom(std::uint32_t value);
// One reference fewer; the entry goes with its last.
AtomStatus DeleteAtom(std::uint16_t atom);
AtomStatus AtomName(std::uint16_t atom, std::string &name);

struct AtomEntry {
    std::uint16_t atom;
    std::uint32_t references;
    std::string name;
};
std::vector<AtomEntry> ListAtoms();

}  // namespace pc
