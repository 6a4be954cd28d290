// The Help button and the host's help window, read as a reader would: the
// real Tolvaneeval.hlp at its contents beside a live program, jumps taken
// with the keyboard and the mouse and retraced with Backspace, a topic
// scrolled by keys, wheel and scroll bar and resized, the window closed by
// the reader or by the program's exit, and help files that are missing or are
// not help files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "heap_counter.h"
#include "help_source.h"
#include "helpfile/help_writer.h"
#include "program_session.h"

namespace {

class Help : public ProgramTest {};

const char *const kHelpCaption = "Tolvane Help";
const char *const kContentsTitle = "Tolvane - Year 2000 Clock Test and Fix";

automation::HelpWindowRecord OpenHelp(automation::Session &s)
{
    StartToMainDialog(s);
    s.Press(IDC_HELP_BUTTON);
    auto help = s.HelpWindow();
    if (!help)
        throw automation::DriveError("no help window after Help");
    return *help;
}

// Tab until the jump showing `text` is selected.
void SelectJump(automation::Session &s, const std::string &text)
{
    for (size_t i = 0; i <= s.HelpWindow()->jumps.size(); ++i) {
        if (s.HelpWindow()->selected == text)
            return;
        s.Key(VK_TAB);
    }
    throw automation::DriveError("no jump '" + text + "' in topic '" + s.HelpWindow()->title + "'");
}

void OpenTopic(automation::Session &s, const std::string &jump)
{
    SelectJump(s, jump);
    s.Key(VK_RETURN);
}

// Column and row of `text` on the screen, counting characters, not bytes.
std::pair<int, int> CellOf(const std::string &screen, const std::string &text, int fromRow)
{
    std::istringstream lines(screen);
    std::string line;
    for (int row = 0; std::getline(lines, line); ++row) {
        const size_t at = line.find(text);
        if (row < fromRow || at == std::string::npos)
            continue;
        int column = 0;
        for (size_t i = 0; i < at; ++i)
            column += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
        return {column, row};
    }
    throw automation::DriveError("'" + text + "' is not on the screen:\n" + screen);
}

void WriteHelpFile(const std::string &path, const std::string &source)
{
    std::vector<std::uint8_t> bytes = helpfile::WriteHelpFile(hlpc::ParseHelpSource(source));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST_F(Help, HelpButtonOpensTheContentsTopicBesideALiveProgram)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    automation::HelpWindowRecord help = OpenHelp(s);
    EXPECT_EQ(help.caption, kHelpCaption);
    EXPECT_EQ(s.TopCaption(), kHelpCaption);
    EXPECT_EQ(help.title, kContentsTitle);
    EXPECT_EQ(help.heading, std::vector<std::string>{kContentsTitle});
    EXPECT_EQ(help.firstLine, 1);
    EXPECT_EQ(help.selected, "");
    // Every topic a user needs is a jump away, "Testing" being where a Fail
    // verdict sends them.
    for (const char *topic :
         {"The four clocks", "Before you test", "Running the test", "Reading the verdict",
          "Testing", "The Fix software", "If the date could not be reset"})
        EXPECT_NE(std::find(help.jumps.begin(), help.jumps.end(), topic), help.jumps.end())
            << topic;

    // Not modal: the clocks run on and the main dialog takes its buttons.
    s.Advance(1200);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), " 06-15-2026   10:20:08");
    s.PressIn(kMainCaption, IDC_TEST);
    EXPECT_EQ(s.TopCaption(), kWarningCaption);
}

TEST_F(Help, TabSelectsJumpsEnterFollowsThemBackspaceGoesBack)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    automation::HelpWindowRecord contents = OpenHelp(s);

    // Tab goes down the jumps in reading order and round; Shift+Tab back.
    std::vector<std::string> visited;
    for (size_t i = 0; i < contents.jumps.size(); ++i) {
        s.Key(VK_TAB);
        visited.push_back(s.HelpWindow()->selected);
    }
    EXPECT_EQ(visited, contents.jumps);
    s.Key(VK_TAB);
    EXPECT_EQ(s.HelpWindow()->selected, contents.jumps.front()) << "Tab goes round";
    s.Key(VK_TAB, true);
    EXPECT_EQ(s.HelpWindow()->selected, contents.jumps.back());

    OpenTopic(s, "Reading the verdict");
    EXPECT_EQ(s.HelpWindow()->title, "Reading the verdict");
    EXPECT_EQ(s.HelpWindow()->heading, std::vector<std::string>{"Reading the verdict"});
    EXPECT_EQ(s.HelpWindow()->selected, "");
    // The Fail verdict's own words lead on to "Testing".
    OpenTopic(s, "Testing");
    EXPECT_EQ(s.HelpWindow()->title, "Testing");
    EXPECT_EQ(s.HelpWindow()->caption, kHelpCaption);

    struct Back {
        const char *title;
        const char *selected;
    } backs[] = {
        {"Reading the verdict", "Testing"},
        {kContentsTitle, "Reading the verdict"},
        {kContentsTitle, "Reading the verdict"},  // nothing further back
    };
    for (const Back &b : backs) {
        s.Key(VK_BACK);
        EXPECT_EQ(s.HelpWindow()->title, b.title);
        EXPECT_EQ(s.HelpWindow()->selected, b.selected);
    }
}

TEST_F(Help, AClickOnAJumpFollowsItAndAClickBesideItDoesNothing)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    OpenHelp(s);
    auto [column, row] = CellOf(s.Screen(), "The Fix software", 1);
    s.Click(column - 2, row);  // the bullet before it
    EXPECT_EQ(s.HelpWindow()->title, kContentsTitle);
    s.Click(column + 4, row);
    EXPECT_EQ(s.HelpWindow()->title, "The Fix software");
    EXPECT_NE(s.Screen().find("Install Fix starts the Fix software"), std::string::npos)
        << s.Screen();
}

TEST_F(Help, ScrollsALongTopicByLinePageAndWheel)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    s.Resize(72, 24);
    OpenHelp(s);
    OpenTopic(s, "Running the test");
    automation::HelpWindowRecord help = *s.HelpWindow();
    const int page = static_cast<int>(help.shown.size());
    ASSERT_GT(help.lineCount, page) << "the topic fits one page; nothing to scroll";

    struct Step {
        const char *what;
        int vk;
        int firstLine;  // 0: the last page
    } steps[] = {
        {"Up at the top", VK_UP, 1}, {"Down", VK_DOWN, 2},
        {"End", VK_END, 0},          {"Down at the end", VK_DOWN, 0},
        {"PgUp", VK_PRIOR, 0},       {"Home", VK_HOME, 1},
        {"PgDn", VK_NEXT, 0},
    };
    const int last = help.lineCount - page + 1;
    for (const Step &step : steps) {
        s.Key(step.vk);
        int expected = step.firstLine ? step.firstLine : last;
        if (step.vk == VK_PRIOR)
            expected = std::max(1, last - (page - 1));
        if (step.vk == VK_NEXT)
            expected = std::min(last, 1 + (page - 1));
        EXPECT_EQ(s.HelpWindow()->firstLine, expected) << step.what;
        EXPECT_EQ(s.HelpWindow()->heading, std::vector<std::string>{"Running the test"})
            << "the heading stays";
    }

    s.Key(VK_HOME);
    s.Wheel(kHelpCaption, -1);
    EXPECT_EQ(s.HelpWindow()->firstLine, std::min(last, 4)) << "a notch down";
    s.Wheel(kHelpCaption, 5);
    EXPECT_EQ(s.HelpWindow()->firstLine, 1) << "up past the top";

    // Tab to a jump below the page brings it into view.
    SelectJump(s, "Reading the verdict");
    help = *s.HelpWindow();
    EXPECT_TRUE(std::any_of(help.shown.begin(), help.shown.end(), [](const std::string &l) {
        return l.find("Reading the verdict") != std::string::npos;
    }));
}

// The screen's rows, each as its cells.
std::vector<std::u32string> ScreenCells(const std::string &screen)
{
    std::vector<std::u32string> rows;
    std::istringstream lines(screen);
    std::string line;
    while (std::getline(lines, line)) {
        std::u32string cells;
        for (size_t i = 0; i < line.size();) {
            const unsigned char lead = static_cast<unsigned char>(line[i]);
            const size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            char32_t c = n == 1 ? lead : lead & (0x3F >> (n - 1));
            for (size_t k = 1; k < n && i + k < line.size(); ++k)
                c = (c << 6) | (static_cast<unsigned char>(line[i + k]) & 0x3F);
            cells.push_back(c);
            i += n;
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

TEST_F(Help, FollowsTheTerminalsSizeAndKeepsTheReadersPlace)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    s.Resize(130, 40);
    OpenHelp(s);
    OpenTopic(s, "Testing");
    // The whole terminal, corner to corner, its text set out for that width.
    const std::vector<std::u32string> screen = ScreenCells(s.Screen());
    ASSERT_EQ(screen.size(), 40u) << s.Screen();
    EXPECT_EQ(screen.front().size(), 130u) << s.Screen();
    EXPECT_EQ(screen.front().front(), U'┌') << s.Screen();
    EXPECT_EQ(screen.back().size(), 130u) << s.Screen();
    size_t widest = 0;
    const automation::HelpWindowRecord wide = *s.HelpWindow();
    for (const std::string &line : wide.shown)
        widest = std::max(widest, line.size());
    EXPECT_GT(widest, 100u) << "set out for a narrower window than the terminal";
    EXPECT_LE(widest, 125u) << "up to the scroll bar";

    s.Resize(80, 24);
    s.Key(VK_END);
    const std::string lastLine = s.HelpWindow()->shown.back();
    s.Key(VK_UP);
    s.Key(VK_UP);
    const std::string topLine = s.HelpWindow()->shown.front();

    s.Resize(72, 24);  // the main dialog still fits
    automation::HelpWindowRecord help = *s.HelpWindow();
    EXPECT_EQ(help.title, "Testing");
    // The line that was at the top still starts the view, set out anew.
    EXPECT_EQ(help.shown.front().substr(0, 20), topLine.substr(0, 20));
    for (const std::string &line : help.shown)
        EXPECT_LE(line.size(), 67u) << "not set out for the narrower window: " << line;
    EXPECT_EQ(s.Screen().find("too small"), std::string::npos) << s.Screen();

    s.Resize(130, 40);
    help = *s.HelpWindow();
    EXPECT_EQ(help.shown.size(), static_cast<size_t>(help.lineCount - help.firstLine + 1))
        << "to the end";
    EXPECT_EQ(help.shown.back(), lastLine);
}

// Words never run into the scroll bar: a blank column stays before it.
TEST_F(Help, TextWrapsAColumnBeforeTheScrollBar)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    s.Resize(80, 24);
    OpenHelp(s);
    for (const char *topic : {"Before you test", "Running the test"}) {
        s.Key(VK_BACK);
        OpenTopic(s, topic);
        const std::vector<std::u32string> screen = ScreenCells(s.Screen());
        int barRows = 0;
        for (const std::u32string &row : screen) {
            // The bar is the column inside the window's right edge.
            if (row.size() < 80 || std::u32string(U"▲░█▼").find(row[78]) == std::u32string::npos)
                continue;
            ++barRows;
            EXPECT_EQ(row[77], U' ') << topic << "\n" << s.Screen();
        }
        EXPECT_GT(barRows, 10) << topic << "\n" << s.Screen();
    }
}

TEST_F(Help, ScrollBarArrowsAndTrackScrollByLineAndPage)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    s.Resize(72, 24);
    OpenHelp(s);
    // The contents fit: the bar has no thumb and its arrows do nothing.
    auto [upX, upY] = CellOf(s.Screen(), "▲", 0);
    auto [downX, downY] = CellOf(s.Screen(), "▼", 0);
    EXPECT_EQ(s.Screen().find("█"), std::string::npos) << s.Screen();
    s.Click(downX, downY);
    EXPECT_EQ(s.HelpWindow()->firstLine, 1);

    OpenTopic(s, "Testing");
    std::tie(upX, upY) = CellOf(s.Screen(), "▲", 0);
    std::tie(downX, downY) = CellOf(s.Screen(), "▼", 0);
    const automation::HelpWindowRecord help = *s.HelpWindow();
    const int page = static_cast<int>(help.shown.size());
    const int last = help.lineCount - page + 1;
    ASSERT_GE(last, 4) << "too short to scroll";
    EXPECT_EQ(downY - upY + 1, page) << "the bar spans the scrolling lines";
    // The thumb's first row, on the bar's column.
    auto thumbRow = [&] {
        std::istringstream lines(s.Screen());
        std::string line;
        for (int row = 0; std::getline(lines, line); ++row)
            if (row > upY && row < downY && line.find("█") != std::string::npos &&
                CellOf(line + "\n", "█", 0).first == upX)
                return row;
        return -1;
    };
    EXPECT_EQ(thumbRow(), upY + 1) << s.Screen();

    struct Step {
        const char *what;
        int row;  // on the bar
        int firstLine;
    } steps[] = {
        {"down arrow", downY, 2},
        {"down arrow again", downY, 3},
        {"up arrow", upY, 2},
        {"track below the thumb", downY - 1, std::min(last, 2 + (page - 1))},
        {"track above the thumb", upY + 1,
         std::max(1, std::min(last, 2 + (page - 1)) - (page - 1))},
        {"up arrow", upY, 1},
        {"up arrow at the top", upY, 1},
    };
    for (const Step &step : steps) {
        s.Click(upX, step.row);
        EXPECT_EQ(s.HelpWindow()->firstLine, step.firstLine) << step.what;
    }
    s.Key(VK_END);
    EXPECT_GT(thumbRow(), upY + 1) << "the thumb follows the text";
    s.Click(upX, downY);
    EXPECT_EQ(s.HelpWindow()->firstLine, last) << "nothing past the end";
}

TEST_F(Help, ReaderClosesOnlyTheHelpWindow)
{
    struct Way {
        const char *name;
        void (*close)(automation::Session &);
    } ways[] = {
        {"Escape", [](automation::Session &s) { s.Key(VK_ESCAPE); }},
        {"close command", [](automation::Session &s) { s.CloseCommand(); }},
        {"close box",
         [](automation::Session &s) {
             auto [column, row] = CellOf(s.Screen(), "[X]", 0);
             s.Click(column + 1, row);
         }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
        OpenHelp(s);
        way.close(s);
        EXPECT_FALSE(s.HelpWindow());
        EXPECT_TRUE(s.Running());
        EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
        // And it opens again, at its contents.
        s.Press(IDC_HELP_BUTTON);
        ASSERT_TRUE(s.HelpWindow());
        EXPECT_EQ(s.HelpWindow()->title, kContentsTitle);
    }
}

TEST_F(Help, TheProgramsTidyUpClosesItsHelpWindow)
{
    automation::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    OpenHelp(s);
    // A cancelled end runs the whole tidy-up and leaves the program running.
    s.EndSession(false);
    EXPECT_TRUE(s.Running());
    EXPECT_FALSE(s.HelpWindow());
    EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
}

TEST_F(Help, HelpFileIsLookedForBesideTheProgramThenInTheCurrentDirectory)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    WriteHelpFile("Tolvaneeval.hlp", "@helpfile Current\n@topic a\n@title Here\nText.\n");
    StartToMainDialog(s);
    s.Press(IDC_HELP_BUTTON);
    ASSERT_TRUE(s.HelpWindow());
    EXPECT_EQ(s.HelpWindow()->caption, "Current");

    WriteHelpFile(s.ProgramDirectory() + "/Tolvaneeval.hlp",
                  "@helpfile Beside the program\n@topic a\n@title There\nText.\n");
    s.PressIn(kMainCaption, IDC_HELP_BUTTON);
    EXPECT_EQ(s.HelpWindow()->caption, "Beside the program");
    EXPECT_EQ(s.HelpWindow()->title, "There");
    EXPECT_EQ(s.Captions().size(), 2u) << "a second help window opened";
}

TEST_F(Help, AMissingOrDamagedHelpFileIsSaidInTheWindowAndNothingElseBreaks)
{
    struct Case {
        const char *what;
        const char *content;  // nullptr: no file
        std::uintmax_t size;  // else of this many bytes, all zeros
        const char *title;
        const char *says;
    } cases[] = {
        {"missing", nullptr, 0, "Cannot find the help file",
         "The help file Tolvaneeval.hlp is neither in the program's folder nor in the current folder"},
        {"a text file", "Tolvane Help\n============\n", 0, "This is not a Windows Help file",
         "Tolvaneeval.hlp is not a Windows Help file, or it is damaged: it does not start as a help file does."},
        {"a file of 256 MiB", "", std::uintmax_t{256} << 20, "This is not a Windows Help file",
         "Tolvaneeval.hlp is not a Windows Help file, or it is damaged: it is longer than the "
         "2097152 bytes this help engine reads."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        const std::string path = s.ProgramDirectory() + "/Tolvaneeval.hlp";
        if (c.content)
            std::ofstream(path) << c.content;
        if (c.size)
            std::filesystem::resize_file(path, c.size);
        StartToMainDialog(s);
        heaptest::ResetPeak();
        s.Press(IDC_HELP_BUTTON);
        EXPECT_LT(heaptest::PeakBytes(), std::size_t{8} << 20) << "the file was read whole";
        ASSERT_TRUE(s.HelpWindow());
        automation::HelpWindowRecord help = *s.HelpWindow();
        EXPECT_EQ(help.caption, "Help");
        EXPECT_EQ(help.title, c.title);
        std::string text;
        for (const std::string &line : help.shown)
            text += (text.empty() ? "" : " ") + line;
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_TRUE(help.jumps.empty());
        s.Key(VK_RETURN);
        s.Key(VK_BACK);
        EXPECT_EQ(s.HelpWindow()->title, c.title);

        s.PressIn(kMainCaption, IDC_TEST);
        EXPECT_EQ(s.TopCaption(), kWarningCaption) << "the program goes on";
    }
}

}  // namespace
