// The text of a help file as the writer takes it: the file's title and its
// topics, each with its context string, title, index keywords and paragraphs
// of text and jumps. The help compiler makes it from the help source; the
// line numbers say where the source wrote each part, for its messages.
#pragma once

#include <string>
#include <vector>

namespace helpfile {

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

struct HelpText {
    std::string title;
    std::vector<Topic> topics;  // the first is the contents topic
};

}  // namespace helpfile
