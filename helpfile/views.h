// The bounds-checked views a reader of a help file reads through: bytes with
// a name, whose every read is checked against their end; fields one after
// another, compressed numbers included; an internal file found by offset; a
// B+ tree whose walks are bounded by its page count. A cut or corrupted file
// stops the reader with Damaged, naming the part that was damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "helpfile/format.h"

namespace helpfile {

// What is wrong with a file, in words for the person who opened it.
struct Damaged : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Bytes with a name, every read checked against their end.
class View {
public:
    View() = default;
    View(const std::uint8_t *data, std::size_t size, std::string name)
        : data_(data), size_(size), name_(std::move(name))
    {
    }

    const std::uint8_t *Data() const { return data_; }
    std::size_t Size() const { return size_; }
    const std::string &Name() const { return name_; }

    void Need(std::size_t at, std::size_t n) const
    {
        if (at > size_ || n > size_ - at)
            throw Damaged(name_ + " is cut short");
    }
    std::uint8_t U8(std::size_t at) const
    {
        Need(at, 1);
        return data_[at];
    }
    std::uint16_t U16(std::size_t at) const
    {
        Need(at, 2);
        return static_cast<std::uint16_t>(data_[at] | data_[at + 1] << 8);
    }
    std::uint32_t U32(std::size_t at) const
    {
        Need(at, 4);
        return static_cast<std::uint32_t>(U16(at)) | static_cast<std::uint32_t>(U16(at + 2)) << 16;
    }
    View Sub(std::size_t at, std::size_t n, const std::string &name) const
    {
        Need(at, n);
        return View(data_ + at, n, name);
    }
    // A NUL-terminated string; `next` is set past its NUL.
    std::string StringZ(std::size_t at, std::size_t &next) const;
    // A fixed field, NUL-padded or full.
    std::string Field(std::size_t at, std::size_t n) const;

private:
    const std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
    std::string name_;
};

// Reads fields one after another.
class Cursor {
public:
    explicit Cursor(const View &view) : view_(view) {}
    std::uint8_t U8() { return view_.U8(at_++); }
    std::uint16_t U16()
    {
        std::uint16_t v = view_.U16(at_);
        at_ += 2;
        return v;
    }
    std::uint32_t U32()
    {
        std::uint32_t v = view_.U32(at_);
        at_ += 4;
        return v;
    }
    void Skip(std::size_t n)
    {
        view_.Need(at_, n);
        at_ += n;
    }
    unsigned CompressedUShort();
    int CompressedShort();
    long CompressedLong();

private:
    const View &view_;
    std::size_t at_ = 0;
};

// An internal file's content, found by offset.
View InternalFile(const View &file, std::uint32_t at, const std::string &name);

// A B+ tree over an internal file's content.
class BTree {
public:
    explicit BTree(const View &file);

    // The leaf entry whose fixed-size value follows a key equal to the one
    // `compare(page, at, keyEnd)` looks for; it answers <0, 0 or >0 as the
    // key at `at` is below, equal to or above it, and where that key ends.
    template <typename Compare>
    std::optional<std::uint32_t> FindU32(Compare compare) const
    {
        using namespace btree;
        std::uint16_t page = root_;
        for (std::uint16_t level = levels_; level > 1; --level) {
            View p = Page(page);
            std::uint16_t child = p.U16(kPreviousPageAt);
            std::size_t at = kIndexHeaderSize;
            for (std::uint16_t i = 0, n = p.U16(kEntriesAt); i < n; ++i) {
                std::size_t keyEnd = 0;
                if (compare(p, at, keyEnd) > 0)
                    break;
                child = p.U16(keyEnd);
                at = keyEnd + kChildPageSize;
            }
            page = child;
        }
        View p = Page(page);
        std::size_t at = kLeafHeaderSize;
        for (std::uint16_t i = 0, n = p.U16(kEntriesAt); i < n; ++i) {
            std::size_t keyEnd = 0;
            int c = compare(p, at, keyEnd);
            if (c == 0)
                return p.U32(keyEnd);
            if (c > 0)
                break;
            at = keyEnd + 4;
        }
        return std::nullopt;
    }

    // Every leaf entry in order: `entry(page, at)` reads one and returns
    // where the next begins.
    template <typename Entry>
    void ForEach(Entry entry) const
    {
        using namespace btree;
        std::uint16_t page = root_;
        for (std::uint16_t level = levels_; level > 1; --level)
            page = Page(page).U16(kPreviousPageAt);
        for (std::uint16_t visited = 0; page != kNoPage; ++visited) {
            if (visited == pages_)
                throw Damaged(file_.Name() + "'s leaf pages run in a circle");
            View p = Page(page);
            std::size_t at = kLeafHeaderSize;
            for (std::uint16_t i = 0, n = p.U16(kEntriesAt); i < n; ++i)
                at = entry(p, at);
            page = p.U16(kNextPageAt);
        }
    }

private:
    View Page(std::uint16_t n) const;

    View file_;
    std::uint16_t pageSize_ = 0, root_ = 0, pages_ = 0, levels_ = 0;
};

}  // namespace helpfile
