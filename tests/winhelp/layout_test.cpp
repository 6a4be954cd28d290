// A help topic set out in cells: items hang under their text, words wrap at
// the width, and a jump keeps its place and its look across a line break.
#include <gtest/gtest.h>

#include "winhelp/layout.h"

namespace {

winhelp::HelpParagraph Item(std::vector<winhelp::HelpSpan> spans)
{
    winhelp::HelpParagraph p;
    p.spans = std::move(spans);
    p.leftIndent = 40;    // 4 columns
    p.firstIndent = -40;  // the marker at the margin
    p.tabStops = {40};
    p.spaceAbove = 12;  // a blank line before it
    return p;
}

TEST(HelpLayout, ItemsHangUnderTheirTextAndJumpsKeepTheirPlaceAcrossLines)
{
    winhelp::HelpFileTopic topic;
    winhelp::HelpParagraph heading;
    heading.nonScrolling = true;
    heading.spans = {{"Title", true, -1, 0}};
    winhelp::HelpParagraph text;
    text.spans = {{"First paragraph.", false, -1, 0}};
    topic.paragraphs = {heading, text,
                        Item({{"*\tsee ", false, -1, 0},
                              {"the other topic", false, 0, 77},
                              {" now", false, -1, 0}})};

    winhelp::HelpPage page = winhelp::LayOutTopic(topic, 20);
    ASSERT_EQ(page.heading.size(), 1u);
    EXPECT_EQ(page.heading[0].text, "Title");
    ASSERT_EQ(page.heading[0].marks.size(), 1u);
    EXPECT_TRUE(page.heading[0].marks[0].bold);

    std::vector<std::string> lines;
    for (const winhelp::HelpLine &l : page.body)
        lines.push_back(l.text);
    EXPECT_EQ(lines, (std::vector<std::string>{"First paragraph.", "", "*   see the other",
                                               "    topic now"}));

    ASSERT_EQ(page.jumps.size(), 1u);
    EXPECT_EQ(page.jumps[0].text, "the other topic");
    EXPECT_EQ(page.jumps[0].target, 77u);
    EXPECT_EQ(page.jumps[0].line, 2);
    struct Mark {
        size_t line;
        int column, width;
    } marks[] = {{2, 8, 9}, {3, 4, 5}};  // "the other", "topic"
    for (const Mark &m : marks) {
        ASSERT_EQ(page.body[m.line].marks.size(), 1u) << m.line;
        EXPECT_EQ(page.body[m.line].marks[0].column, m.column) << m.line;
        EXPECT_EQ(page.body[m.line].marks[0].width, m.width) << m.line;
        EXPECT_EQ(page.body[m.line].marks[0].jump, 0) << m.line;
    }

    // A narrower width keeps the place: the line that started "topic now".
    const winhelp::HelpLine &place = page.body[3];
    winhelp::HelpPage narrow = winhelp::LayOutTopic(topic, 12);
    const int at = winhelp::LineAtOrAfter(narrow.body, place.paragraph, place.offset);
    EXPECT_EQ(narrow.body[static_cast<size_t>(at)].text.substr(0, 9), "    topic");
}

}  // namespace
