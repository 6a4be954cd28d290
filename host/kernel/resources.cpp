// Reads the embedded .res image: a sequence of DWORD-aligned records, each a
// RESOURCEHEADER (sizes, type, name, language) followed by the resource data.
#include "kernel/resources.h"

#include <cctype>
#include <cstring>

extern "C" const unsigned char host_module_resources[];
extern "C" const unsigned char host_module_resources_end[];

namespace kernel {

namespace {

bool SameText(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

class Reader {
public:
    Reader(std::span<const BYTE> bytes, size_t at) : bytes_(bytes), at_(at) {}
    bool Word(WORD &out)
    {
        if (at_ + 2 > bytes_.size())
            return false;
        out = static_cast<WORD>(bytes_[at_] | (bytes_[at_ + 1] << 8));
        at_ += 2;
        return true;
    }
    bool Dword(DWORD &out)
    {
        WORD lo, hi;
        if (!Word(lo) || !Word(hi))
            return false;
        out = lo | (static_cast<DWORD>(hi) << 16);
        return true;
    }
    // A type or name field: 0xFFFF and an ordinal, or a zero-terminated UTF-16 string.
    bool Name(ResourceName &out)
    {
        WORD first;
        if (!Word(first))
            return false;
        if (first == 0xFFFF) {
            out.isOrdinal = true;
            return Word(out.ordinal);
        }
        std::u16string text;
        for (WORD c = first; c != 0;) {
            text.push_back(static_cast<char16_t>(c));
            if (!Word(c))
                return false;
        }
        out.isOrdinal = false;
        out.text = NarrowText(text);
        return true;
    }
    void AlignDword() { at_ = (at_ + 3) & ~size_t{3}; }
    size_t At() const { return at_; }

private:
    std::span<const BYTE> bytes_;
    size_t at_;
};

}  // namespace

std::string NarrowText(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text)
        out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
    return out;
}

ResourceName ResourceName::From(LPCSTR name)
{
    ResourceName result;
    if (IS_INTRESOURCE(name)) {
        result.ordinal = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
        return result;
    }
    if (name[0] == '#') {
        result.ordinal = static_cast<WORD>(std::strtoul(name + 1, nullptr, 10));
        return result;
    }
    result.isOrdinal = false;
    result.text = name;
    return result;
}

bool ResourceName::operator==(const ResourceName &other) const
{
    if (isOrdinal != other.isOrdinal)
        return false;
    return isOrdinal ? ordinal == other.ordinal : SameText(text, other.text);
}

std::optional<ResourceImage> ResourceImage::Parse(std::span<const BYTE> bytes)
{
    ResourceImage image;
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        Reader reader(bytes, at);
        DWORD dataSize = 0, headerSize = 0;
        reader.Dword(dataSize);
        reader.Dword(headerSize);
        if (headerSize < 32 || at + headerSize > bytes.size() ||
            dataSize > bytes.size() - at - headerSize)
            return std::nullopt;
        Resource resource;
        if (!reader.Name(resource.type) || !reader.Name(resource.name))
            return std::nullopt;
        reader.AlignDword();
        DWORD dataVersion, version, characteristics;
        WORD memoryFlags;
        if (!reader.Dword(dataVersion) || !reader.Word(memoryFlags) ||
            !reader.Word(resource.language) || !reader.Dword(version) ||
            !reader.Dword(characteristics) || reader.At() > at + headerSize)
            return std::nullopt;
        resource.data = bytes.subspan(at + headerSize, dataSize);
        // The leading empty record (type 0, name 0) only marks the file as 32-bit.
        if (!(resource.type.isOrdinal && resource.type.ordinal == 0))
            image.resources_.push_back(resource);
        at = (at + headerSize + dataSize + 3) & ~size_t{3};
    }
    return image;
}

const Resource *ResourceImage::Find(const ResourceName &type, const ResourceName &name,
                                    WORD language) const
{
    const Resource *neutral = nullptr, *any = nullptr;
    for (const Resource &r : resources_) {
        if (!(r.type == type) || !(r.name == name))
            continue;
        if (r.language == language)
            return &r;
        if (r.language == 0 && !neutral)
            neutral = &r;
        if (!any)
            any = &r;
    }
    return neutral ? neutral : any;
}

const ResourceImage &ModuleResources()
{
    static const ResourceImage image = [] {
        std::span<const BYTE> bytes(host_module_resources,
                                    static_cast<size_t>(host_module_resources_end -
                                                        host_module_resources));
        return ResourceImage::Parse(bytes).value_or(ResourceImage{});
    }();
    return image;
}

HINSTANCE ModuleInstance()
{
    // The classic image base of a Win32 executable; never dereferenced.
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x00400000));
}

}  // namespace kernel
