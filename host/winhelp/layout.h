// A help topic set out in character cells for a width: its non-scrolling
// heading and its scrolling text as lines, where each jump lies on them, and
// where each line comes from, so that a new width keeps the reader's place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winhelp/document.h"

namespace winhelp {

// A stretch of a line with a look: part of a jump, or bold.
struct HelpMark {
    int column = 0;
    int width = 0;
    int jump = -1;  // index into HelpPage::jumps; -1: not a jump
    bool bold = false;
};

struct HelpLine {
    std::string text;
    std::vector<HelpMark> marks;
    int paragraph = 0;  // where it starts in the topic: paragraph, and byte of its text
    int offset = 0;
};

struct HelpJump {
    std::uint32_t target = 0;
    std::string text;      // as shown, its lines joined by blanks
    bool heading = false;  // in the non-scrolling region
    int line = 0;          // its first line in that region
};

struct HelpPage {
    std::vector<HelpLine> heading;  // stays in view
    std::vector<HelpLine> body;     // scrolls
    std::vector<HelpJump> jumps;    // in reading order
};

// Half points of the help file to columns: about one average character of
// the body font.
constexpr int kHalfPointsPerColumn = 10;

HelpPage LayOutTopic(const HelpFileTopic &topic, int width);

// The first line of `lines` at or after a place in the topic.
int LineAtOrAfter(const std::vector<HelpLine> &lines, int paragraph, int offset);

}  // namespace winhelp
