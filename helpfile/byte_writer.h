// Little-endian bytes appended to a buffer, or patched into it later, as the
// help file's structures lay them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace helpfile {

class ByteWriter {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v)
    {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v)
    {
        U16(static_cast<std::uint16_t>(v));
        U16(static_cast<std::uint16_t>(v >> 16));
    }
    void Bytes(const std::vector<std::uint8_t> &b)
    {
        bytes_.insert(bytes_.end(), b.begin(), b.end());
    }
    void Text(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }
    void TextZ(std::string_view s)  // NUL-terminated
    {
        Text(s);
        U8(0);
    }
    void Zeros(std::size_t n) { bytes_.resize(bytes_.size() + n, 0); }

    void PatchU16(std::size_t at, std::uint16_t v)
    {
        bytes_[at] = static_cast<std::uint8_t>(v);
        bytes_[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void PatchU32(std::size_t at, std::uint32_t v)
    {
        PatchU16(at, static_cast<std::uint16_t>(v));
        PatchU16(at + 2, static_cast<std::uint16_t>(v >> 16));
    }

    std::size_t Size() const { return bytes_.size(); }
    const std::vector<std::uint8_t> &Bytes() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace helpfile
