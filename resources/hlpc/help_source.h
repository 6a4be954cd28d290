// The help source as hlpc reads it: the help file's title and its topics,
// each with its context string, title, index keywords and paragraphs of text
// and jumps. The markup is described at the top of resources/help.hlpsrc.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace hlpc {

// A malformed source: what is wrong and on which line (1-based).
class SourceError : public std::runtime_error {
public:
    SourceError(int line, const std::string &message) : std::runtime_error(message), line_(line) {}
    int Line() const { return line_; }

private:
    int line_;
};

struct Run {
    std::string text;
    std::string jump;  // the target topic's context string; empty for plain text
    int line = 0;      // where a jump was written
};

enum class ParagraphKind {
    kText,      // plain
    kBullet,    // "* text"
    kNumbered,  // "1. text": marker "1."
    kTerm,      // "Term :: text": marker "Term"
};

struct Paragraph {
    ParagraphKind kind = ParagraphKind::kText;
    std::string marker;
    std::vector<Run> runs;
    bool spaced = false;  // a blank line stood before it in the source
    int line = 0;
};

struct Topic {
    std::string context;
    std::string title;
    std::vector<std::string> keywords;
    std::vector<Paragraph> body;
    int line = 0;
};

struct HelpSource {
    std::string title;
    std::vector<Topic> topics;  // the first is the contents topic
};

// Parses and checks the whole source: every topic titled and with text,
// context strings unique (and their hashes), every jump to a topic that
// exists, only printable ASCII. Throws SourceError.
HelpSource ParseHelpSource(std::string_view text);

}  // namespace hlpc
