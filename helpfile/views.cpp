// The reads of the views that are more than a bounds check and a load.
#include "helpfile/views.h"

#include <cstring>

namespace helpfile {

std::string View::StringZ(std::size_t at, std::size_t &next) const
{
    Need(at, 0);
    const void *nul = std::memchr(data_ + at, 0, size_ - at);
    if (!nul)
        throw Damaged(name_ + " holds a string without its end");
    const std::size_t end =
        static_cast<std::size_t>(static_cast<const std::uint8_t *>(nul) - data_);
    next = end + 1;
    return std::string(reinterpret_cast<const char *>(data_ + at), end - at);
}

std::string View::Field(std::size_t at, std::size_t n) const
{
    Need(at, n);
    const char *p = reinterpret_cast<const char *>(data_ + at);
    return std::string(p, strnlen(p, n));
}

unsigned Cursor::CompressedUShort()
{
    std::uint8_t first = view_.U8(at_);
    if (first & 1)
        return U16() / 2u;
    ++at_;
    return first / 2u;
}

int Cursor::CompressedShort()
{
    std::uint8_t first = view_.U8(at_);
    if (first & 1)
        return static_cast<int>(U16() / 2u) - 0x4000;
    ++at_;
    return static_cast<int>(first / 2u) - 0x40;
}

long Cursor::CompressedLong()
{
    std::uint8_t first = view_.U8(at_);
    if (first & 1)
        return static_cast<long>(U32() / 2u) - 0x40000000L;
    return static_cast<long>(U16() / 2u) - 0x4000L;
}

View InternalFile(const View &file, std::uint32_t at, const std::string &name)
{
    if (at > file.Size() || file.Size() - at < internal_file::kSize)
        throw Damaged(name + " lies outside the file");
    const std::uint32_t reserved = file.U32(at + internal_file::kReservedAt);
    const std::uint32_t used = file.U32(at + internal_file::kUsedAt);
    if (used > reserved || reserved - used < internal_file::kSize)
        throw Damaged(name + " claims more bytes than it reserves");
    if (reserved > file.Size() - at)
        throw Damaged(name + " runs past the end of the file");
    return file.Sub(at + internal_file::kSize, used, name);
}

BTree::BTree(const View &file) : file_(file)
{
    using namespace btree;
    if (file.U16(kMagicAt) != kMagic)
        throw Damaged(file.Name() + " is not a B+ tree");
    pageSize_ = file.U16(kPageSizeAt);
    root_ = file.U16(kRootPageAt);
    pages_ = file.U16(kTotalPagesAt);
    levels_ = file.U16(kLevelsAt);
    if (pageSize_ < kLeafHeaderSize || pages_ == 0 || root_ >= pages_ || levels_ == 0 ||
        levels_ > pages_)
        throw Damaged(file.Name() + " has a B+ tree header that makes no sense");
    file.Need(kHeaderSize, static_cast<std::size_t>(pages_) * pageSize_);
}

View BTree::Page(std::uint16_t n) const
{
    if (n >= pages_)
        throw Damaged(file_.Name() + " points to a page it does not have");
    return file_.Sub(btree::kHeaderSize + static_cast<std::size_t>(n) * pageSize_, pageSize_,
                     file_.Name());
}

}  // namespace helpfile
