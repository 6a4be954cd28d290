// B+ tree layout. Pages are numbered as they are made: the leaves first, then
// each level of index pages; the last page made is the root.
#include "helpfile/btree_writer.h"

#include <stdexcept>

#include "helpfile/byte_writer.h"
#include "helpfile/format.h"

namespace helpfile {

namespace {

using namespace btree;

struct Child {
    std::uint16_t page;
    std::size_t firstEntry;  // the first entry below it, whose key heads it in an index page
};

std::vector<std::uint8_t> FinishPage(ByteWriter &page, std::uint16_t pageSize)
{
    page.Zeros(pageSize - page.Size());
    return page.Take();
}

}  // namespace

BTreeImage BuildBTree(const BTreeLayout &layout, const std::vector<BTreeEntry> &entries)
{
    std::vector<std::vector<std::uint8_t>> pages;
    std::vector<Child> level;
    BTreeImage image;

    // Leaves; an empty tree is one empty leaf.
    std::size_t next = 0;
    do {
        ByteWriter page;
        page.Zeros(kLeafHeaderSize);
        std::size_t first = next;
        while (next < entries.size() &&
               page.Size() + entries[next].leaf.size() <= layout.pageSize) {
            page.Bytes(entries[next].leaf);
            ++next;
        }
        if (next == first && next < entries.size())
            throw std::length_error("a B+ tree entry is larger than a page");
        const auto number = static_cast<std::uint16_t>(pages.size());
        page.PatchU16(kUnusedAt, static_cast<std::uint16_t>(layout.pageSize - page.Size()));
        page.PatchU16(kEntriesAt, static_cast<std::uint16_t>(next - first));
        page.PatchU16(kPreviousPageAt,
                      level.empty() ? kNoPage : static_cast<std::uint16_t>(number - 1));
        page.PatchU16(kNextPageAt,
                      next < entries.size() ? static_cast<std::uint16_t>(number + 1) : kNoPage);
        pages.push_back(FinishPage(page, layout.pageSize));
        level.push_back({number, first});
        image.leaves.push_back({static_cast<std::uint32_t>(first), number});
    } while (next < entries.size());

    // Index levels until one page holds them all.
    std::uint16_t levels = 1;
    while (level.size() > 1) {
        std::vector<Child> above;
        std::size_t c = 0;
        while (c < level.size()) {
            ByteWriter page;
            page.Zeros(kIndexHeaderSize);
            page.PatchU16(kPreviousPageAt, level[c].page);
            const Child head = level[c++];
            std::uint16_t keys = 0;
            while (c < level.size()) {
                const std::vector<std::uint8_t> &key = entries[level[c].firstEntry].key;
                if (page.Size() + key.size() + kChildPageSize > layout.pageSize)
                    break;
                page.Bytes(key);
                page.U16(level[c].page);
                ++keys;
                ++c;
            }
            if (keys == 0 && c < level.size())
                throw std::length_error("a B+ tree key is larger than a page");
            page.PatchU16(kUnusedAt, static_cast<std::uint16_t>(layout.pageSize - page.Size()));
            page.PatchU16(kEntriesAt, keys);
            above.push_back({static_cast<std::uint16_t>(pages.size()), head.firstEntry});
            pages.push_back(FinishPage(page, layout.pageSize));
        }
        level = std::move(above);
        ++levels;
    }

    ByteWriter out;
    out.U16(kMagic);
    out.U16(layout.flags);
    out.U16(layout.pageSize);
    out.Text(layout.structure);
    out.Zeros(kStructureSize - layout.structure.size());
    out.U16(0);  // must be zero
    out.U16(0);  // page splits: built in one go, it never split
    out.U16(level.front().page);
    out.U16(0xFFFF);
    out.U16(static_cast<std::uint16_t>(pages.size()));
    out.U16(levels);
    out.U32(static_cast<std::uint32_t>(entries.size()));
    for (const auto &page : pages)
        out.Bytes(page);
    image.bytes = out.Take();
    return image;
}

}  // namespace helpfile
