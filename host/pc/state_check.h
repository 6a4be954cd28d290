// The check a state file passes before anything in it is used: its header,
// then every field against its range. It works on bytes in memory, the mapped
// file or a copy, so that it can be tried on any bytes at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pc::detail {

struct SharedState;

// What is wrong, as the rest of a line that names the file, and what to do.
struct StateProblem {
    std::string what;    // "is damaged: rtc.index is 200, outside 0..127"
    std::string remedy;  // "replace it with 'tolvane-pc create --force'"

    std::string Line(const std::string &file) const { return file + " " + what + "; " + remedy; }
};

// A file of `fileSize` bytes whose first `available` bytes are at `bytes`:
// is it a state file of this layout, by its magic, version and sizes?
std::optional<StateProblem> CheckStateHeader(const void *bytes, std::size_t available,
                                             std::uint64_t fileSize);

// The first field outside its range, in the order of the layout.
std::optional<StateProblem> CheckStateFields(const SharedState &state);

// Both, on a whole file's bytes, aligned as a SharedState is.
std::optional<StateProblem> CheckStateFile(const void *bytes, std::size_t size);

}  // namespace pc::detail
