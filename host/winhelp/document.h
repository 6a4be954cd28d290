// The help viewer's reading of a WinHelp 3.1/4.0 file: its title, its topics
// with their paragraphs and jumps, the contexts jumps name, and its keyword
// index. Every offset and length in the file is checked against the bytes it
// points into: a damaged or foreign file is refused with a reason, never
// read past its end, and no file makes the reader take more memory than a
// few times its size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace winhelp {

// A stretch of a paragraph with one look. Text is in the Windows code page;
// '\t' is a tab, '\n' a line break.
struct HelpSpan {
    std::string text;
    bool bold = false;
    int jump = -1;             // which of the topic's jumps it shows, in reading order; -1: none
    std::uint32_t target = 0;  // a jump's context hash
};

struct HelpParagraph {
    std::vector<HelpSpan> spans;
    bool nonScrolling = false;  // in the topic's region that stays in view
    // In half points; the first line's indent is relative to the left one.
    int spaceAbove = 0;
    int leftIndent = 0;
    int firstIndent = 0;
    std::vector<int> tabStops;
};

struct HelpFileTopic {
    std::string title;
    std::uint32_t offset = 0;  // TOPICOFFSET of its header
    std::vector<HelpParagraph> paragraphs;
};

struct HelpKeyword {
    std::string keyword;
    std::vector<std::uint32_t> topics;  // TOPICOFFSETs
};

struct HelpTitleEntry {
    std::uint32_t offset;
    std::string title;
};

struct HelpDocument {
    std::string title;    // |SYSTEM's title
    std::string caption;  // the help window's: the main window's caption, else the title
    std::vector<HelpFileTopic> topics;
    std::size_t contents = 0;  // the topic that opens first
    std::vector<HelpKeyword> keywords;
    std::vector<HelpTitleEntry> titleIndex;  // |TTLBTREE
    std::vector<std::uint8_t> contextTree;   // |CONTEXT, checked, searched by TopicForContext

    // The topic a jump's context hash leads to, through |CONTEXT.
    std::optional<std::size_t> TopicForContext(std::uint32_t hash) const;
    // The topic that holds a TOPICOFFSET.
    std::optional<std::size_t> TopicAtOffset(std::uint32_t offset) const;
};

// The largest help file read: a help file of text is far smaller, and the
// memory a file may make the reader take grows with its size.
inline constexpr std::size_t kMaxHelpFileSize = 2 * 1024 * 1024;

// Reads a whole help file. On failure returns nothing and says why in
// `error`, in words for the person who opened it.
std::optional<HelpDocument> ReadHelpFile(const std::vector<std::uint8_t> &bytes,
                                         std::string &error);

}  // namespace winhelp
