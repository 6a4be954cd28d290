// The module's resource section: the .res image that windres compiled from the
// program's .rc file, embedded in the binary, and lookups by type, name and
// language as FindResource does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kernel {

// A resource type or name: an ordinal, or a string that rc stores upper-cased.
struct ResourceName {
    bool isOrdinal = true;
    WORD ordinal = 0;
    std::string text;  // ANSI form of the UTF-16 name

    // Win32 naming: MAKEINTRESOURCE, "#123", or a name compared case-insensitively.
    static ResourceName From(LPCSTR name);
    bool operator==(const ResourceName &other) const;
};

struct Resource {
    ResourceName type;
    ResourceName name;
    WORD language = 0;
    std::span<const BYTE> data;
};

class ResourceImage {
public:
    // Reads a whole .res image; nullopt when a record header is malformed or
    // runs past the end.
    static std::optional<ResourceImage> Parse(std::span<const BYTE> bytes);

    // The best match for type and name: the language asked for, then neutral,
    // then any.
    const Resource *Find(const ResourceName &type, const ResourceName &name,
                         WORD language = kUserLanguage) const;
    const std::vector<Resource> &All() const { return resources_; }

    // English (United Kingdom), the language this program's resources carry.
    static constexpr WORD kUserLanguage = 2057;

private:
    std::vector<Resource> resources_;
};

// The embedded resources of this binary (empty for a module without any).
const ResourceImage &ModuleResources();

// The one module a host program has; every hInstance names it.
HINSTANCE ModuleInstance();

// UTF-16 text of a resource as the program's ANSI code page shows it.
std::string NarrowText(std::u16string_view text);

}  // namespace kernel
