// Lays out a B+ tree of the help file from entries already in key order:
// leaf pages filled in turn, then levels of index pages until one page, the
// root, remains.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace helpfile {

struct BTreeEntry {
    std::vector<std::uint8_t> leaf;  // the whole leaf entry
    std::vector<std::uint8_t> key;   // its indexed leading field, as index pages repeat it
};

struct BTreeLayout {
    std::uint16_t flags = 0;
    std::uint16_t pageSize = 0;
    std::string_view structure;
};

struct BTreeLeaf {
    std::uint32_t firstEntry;  // number of its first entry
    std::uint16_t page;
};

struct BTreeImage {
    std::vector<std::uint8_t> bytes;  // header and pages
    std::vector<BTreeLeaf> leaves;    // in order, for a map of the leaf pages
};

// Throws std::length_error when an entry does not fit a page.
BTreeImage BuildBTree(const BTreeLayout &layout, const std::vector<BTreeEntry> &entries);

}  // namespace helpfile
