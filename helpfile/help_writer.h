// Turns the text of a help file into the bytes of a WinHelp 4.0 file: plain
// (uncompressed) topic blocks, the contents topic first, each topic's title
// as its non-scrolling heading, jumps by context hash, a keyword index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "helpfile/help_text.h"

namespace helpfile {

// Throws std::length_error for a paragraph too long for one record.
std::vector<std::uint8_t> WriteHelpFile(const HelpText &source);

// A help file around internal files already made: the header, each file in
// the order given, then the directory that names them.
struct InternalFileContent {
    std::string name;
    std::vector<std::uint8_t> content;
};
std::vector<std::uint8_t> WriteInternalFiles(const std::vector<InternalFileContent> &files);

}  // namespace helpfile
