// The global atom table: fixed slots in the shared state, atom = 0xC000 + slot,
// so every process on the PC agrees on the values.
#include "pc/atoms.h"

#include <cstring>

#include "pc/state.h"

namespace pc {

using detail::AtomSlot;
using detail::SharedState;

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const AtomSlot &slot, std::string_view name)
{
    std::string_view held = detail::NameOf(slot);
    if (held.size() != name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (Lower(held[i]) != Lower(name[i]))
            return false;
    return true;
}

enum class Kind { Integer, String, Invalid };

// How Windows reads an atom's name: "#" and only digits is an integer atom.
Kind Classify(std::string_view name, AtomResult &result)
{
    if (name.empty()) {
        result.status = AtomStatus::InvalidName;
        return Kind::Invalid;
    }
    if (name[0] == '#' && name.size() > 1) {
        std::uint32_t value = 0;
        std::size_t i = 1;
        for (; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
            value =
                value < 0x10000 ? value * 10 + static_cast<std::uint32_t>(name[i] - '0') : value;
        if (i == name.size()) {
            result = IntegerAtom(value);
            return result.status == AtomStatus::Ok ? Kind::Integer : Kind::Invalid;
        }
    }
    if (name.size() > detail::kMaxAtomName) {
        result.status = AtomStatus::InvalidParameter;
        return Kind::Invalid;
    }
    return Kind::String;
}

int FindSlot(const SharedState &state, std::string_view name)
{
    for (int i = 0; i < detail::kAtomSlots; ++i)
        if (state.atoms[i].references && SameName(state.atoms[i], name))
            return i;
    return -1;
}

AtomSlot *SlotOf(SharedState &state, std::uint16_t atom)
{
    if (atom < kFirstStringAtom || atom - kFirstStringAtom >= detail::kAtomSlots)
        return nullptr;
    AtomSlot &slot = state.atoms[atom - kFirstStringAtom];
    return slot.references ? &slot : nullptr;
}

std::uint16_t AtomOf(int slot)
{
    return static_cast<std::uint16_t>(kFirstStringAtom + slot);
}

}  // namespace

AtomResult IntegerAtom(std::uint32_t value)
{
    AtomResult result;
    if (value == 0 || value >= kFirstStringAtom)
        result.status = AtomStatus::InvalidParameter;
    else
        result.atom = static_cast<std::uint16_t>(value);
    return result;
}

AtomResult AddAtom(std::string_view name)
{
    AtomResult result;
    if (Classify(name, result) != Kind::String)
        return result;
    SharedState *state = detail::Attached();
    if (!state)
        return {0, AtomStatus::TableFull};
    detail::StateLock lock(*state);
    int slot = FindSlot(*state, name);
    if (slot >= 0) {
        ++state->atoms[slot].references;
        return {AtomOf(slot), AtomStatus::Ok};
    }
    for (int i = 0; i < detail::kAtomSlots; ++i) {
        AtomSlot &free = state->atoms[i];
        if (free.references)
            continue;
        free.references = 1;
        free.length = static_cast<std::uint16_t>(name.size());
        std::memcpy(free.name, name.data(), name.size());
        free.name[name.size()] = '\0';
        return {AtomOf(i), AtomStatus::Ok};
    }
    return {0, AtomStatus::TableFull};
}

AtomResult FindAtom(std::string_view name)
{
    AtomResult result;
    if (Classify(name, result) != Kind::String)
        return result;
    SharedState *state = detail::Attached();
    if (!state)
        return {0, AtomStatus::NotFound};
    detail::StateLock lock(*state);
    int slot = FindSlot(*state, name);
    if (slot < 0)
        return {0, AtomStatus::NotFound};
    return {AtomOf(slot), AtomStatus::Ok};
}

AtomStatus DeleteAtom(std::uint16_t atom)
{
    if (atom < kFirstStringAtom)
        return AtomStatus::Ok;  // integer atoms have no entry to delete
    SharedState *state = detail::Attached();
    if (!state)
        return AtomStatus::InvalidHandle;
    detail::StateLock lock(*state);
    AtomSlot *slot = SlotOf(*state, atom);
    if (!slot)
        return AtomStatus::InvalidHandle;
    if (--slot->references == 0)
        std::memset(slot, 0, sizeof *slot);
    return AtomStatus::Ok;
}

AtomStatus AtomName(std::uint16_t atom, std::string &name)
{
    if (atom == 0)
        return AtomStatus::InvalidParameter;
    if (atom < kFirstStringAtom) {
        name = "#" + std::to_string(atom);
        return AtomStatus::Ok;
    }
    SharedState *state = detail::Attached();
    if (!state)
        return AtomStatus::InvalidHandle;
    detail::StateLock lock(*state);
    AtomSlot *slot = SlotOf(*state, atom);
    if (!slot)
        return AtomStatus::InvalidHandle;
    name.assign(detail::NameOf(*slot));
    return AtomStatus::Ok;
}

std::vector<AtomEntry> ListAtoms()
{
    std::vector<AtomEntry> entries;
    SharedState *state = detail::Attached();
    if (!state)
        return entries;
    detail::StateLock lock(*state);
    for (int i = 0; i < detail::kAtomSlots; ++i) {
        const AtomSlot &slot = state->atoms[i];
        if (slot.references)
            entries.push_back({AtomOf(i), slot.references, std::string(detail::NameOf(slot))});
    }
    return entries;
}

}  // namespace pc
