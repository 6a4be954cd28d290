// The help source as hlpc reads it into the text of a help file. The markup
// is described at the top of resources/help.hlpsrc.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "helpfile/help_text.h"

namespace hlpc {

// A malformed source: what is wrong and on which line (1-based).
class SourceError : public std::runtime_error {
public:
    SourceError(int line, const std::string &message) : std::runtime_error(message), line_(line) {}
    int Line() const { return line_; }

private:
    int line_;
};

// Parses and checks the whole source: every topic titled and with text,
// context strings unique (and their hashes), every jump to a topic that
// exists, only printable ASCII. Throws SourceError.
helpfile::HelpText ParseHelpSource(std::string_view text);

}  // namespace hlpc
