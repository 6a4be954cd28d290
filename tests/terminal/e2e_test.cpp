// The real host binary in a real terminal (tmux), read back from the screen the
// way a person would see it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>

#include "tmux_terminal.h"

namespace {

using tmuxtest::Terminal;

const std::regex kClockLine(R"( \d\d-\d\d-\d{4}   \d\d:\d\d:\d\d)");

TEST(TerminalEndToEnd, ShowsTheAboutBoxThenFourLiveClocksAndClosesCleanly)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    ASSERT_TRUE(t.CreatePc("--profile y2k-ready"));
    t.Start(100, 36);

    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    EXPECT_NE(screen.find("Tolvane - Year 2000 Clock Test and Fix"), std::string::npos) << screen;
    t.Keys("Enter");

    ASSERT_TRUE(t.WaitFor(std::regex(R"(Cmos:[\s\S]*Bios:)"), &screen)) << screen;
    // All four lines, each whole, once the clocks have ticked.
    const std::regex fourLines(R"(( \d\d-\d\d-\d{4}   \d\d:\d\d:\d\d[\s\S]*){4})");
    ASSERT_TRUE(t.WaitFor(fourLines, &screen)) << screen;
    for (const char *text : {"TEST", "StopClocks", "Reset Date", "Install Fix", "Help", "Close",
                             "clocks", "Cmos:", "Bios:", "System:", "Local:", "UTC:"})
        EXPECT_NE(screen.find(text), std::string::npos) << "missing " << text << "\n" << screen;

    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
    screen = t.Screen();
    EXPECT_EQ(screen.find("StopClocks"), std::string::npos) << "dialog left on the terminal\n"
                                                            << screen;
}

// Colours where the terminal has them (tmux says it has 256), the terminal's
// own under NO_COLOR set to anything; set but empty, it counts as not set.
TEST(TerminalEndToEnd, ShowsColoursUnlessNoColorIsSet)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    // A background colour: 40-47, 100-107, or 48;5;N.
    const std::regex background(R"(\x1b\[[0-9;]*\b(4[0-7]|10[0-7]|48;5;\d+)[;m])");
    struct Case {
        const char *prefix;
        bool colours;
    } cases[] = {{"", true}, {"export NO_COLOR=1; ", false}, {"export NO_COLOR=; ", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.prefix);
        Terminal t;
        ASSERT_TRUE(t.CreatePc("--profile y2k-ready"));
        t.Start(100, 36, c.prefix);
        std::string screen;
        ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
        screen = t.ScreenWithAttributes();
        EXPECT_EQ(std::regex_search(screen, background), c.colours) << screen;
        t.Keys("Enter");
        t.Keys("C-c");
        EXPECT_EQ(t.ExitStatus(), "0");
    }
}

// A locale that is not UTF-8 (a console, a serial line, LC_ALL=C) keeps the
// frames: drawn with the terminal's line-drawing set, or in ASCII on a
// terminal without one; and nothing the locale cannot encode is written.
TEST(TerminalEndToEnd, FramesAreDrawnInAnyLocaleWithWhatTheTerminalHas)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    // (─)+: a character of three bytes repeated.
    struct Case {
        const char *prefix;
        const char *aboutBox;  // on the screen as drawn, over the About box
        const char *groupBox;  // and the main dialog's group box
    } cases[] = {
        {"export LC_ALL=C NO_COLOR=1 TERM=xterm-256color; ",
         R"(┌─ About Tolvane (─)+\[X\]┐[\s\S]*\[ +OK +\][\s\S]*└(─)+┘)", "┌ clocks (─)+┐"},
        {"export LC_ALL=C TERM=xterm-256color; ", R"(│ +(─)+ +│\n *│ +│ +OK +│ +│\n *│ +(─)+ +│)",
         "┌ clocks (─)+┐"},
        // A terminal type that has no line-drawing set.
        {"export LC_ALL=C NO_COLOR=1 TERM=sun; ",
         R"(\+- About Tolvane -+\[X\]\+[\s\S]*\| +\[ +OK +\] +\|[\s\S]*\+-+\+)",
         R"(\+ clocks -+\+)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.prefix);
        Terminal t;
        ASSERT_TRUE(t.CreatePc("--profile y2k-ready"));
        t.Start(100, 36, c.prefix);
        std::string screen;
        ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
        screen = t.ScreenAsDrawn();
        EXPECT_TRUE(std::regex_search(screen, std::regex(c.aboutBox))) << screen;
        t.Keys("Enter");
        ASSERT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen)) << screen;
        screen = t.ScreenAsDrawn();
        EXPECT_TRUE(std::regex_search(screen, std::regex(c.groupBox))) << screen;
        const std::string raw = t.Screen();
        EXPECT_TRUE(std::all_of(raw.begin(), raw.end(),
                                [](char ch) { return static_cast<unsigned char>(ch) < 0x80; }))
            << "wrote what the locale cannot encode:\n"
            << raw;
        t.Keys("C-c");
        EXPECT_EQ(t.ExitStatus(), "0");
    }
}

TEST(TerminalEndToEnd, TooSmallTerminalSaysSoAndRecovers)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    ASSERT_TRUE(t.CreatePc("--profile y2k-ready"));
    t.Start(30, 10);

    std::string screen;
    EXPECT_TRUE(t.WaitFor(std::regex("too small", std::regex::icase), &screen)) << screen;
    t.Resize(100, 36);
    EXPECT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    t.Keys("Enter");
    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
}

// A second copy would save the first one's test date as the date to restore.
TEST(TerminalEndToEnd, SecondCopyOnTheSamePcSaysSoAndEndsUntilTheFirstHasGone)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    ASSERT_TRUE(t.CreatePc("--virtual --start '2026-06-15 10:00:00'"));
    t.Start(100, 36);
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    t.Keys("Enter");
    ASSERT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen)) << screen;

    t.Start(100, 36, "", true, "second");
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen, "second")) << screen;
    t.Keys("Enter", "second");
    ASSERT_TRUE(t.WaitFor(std::regex("Tolvane is already running"), &screen, "second")) << screen;
    EXPECT_EQ(screen.find("StopClocks"), std::string::npos) << "the second copy showed its dialog\n"
                                                            << screen;
    t.Keys("Enter", "second");
    EXPECT_EQ(t.ExitStatus(std::chrono::seconds(5), "second"), "0");
    EXPECT_NE(t.Pc("show").find("2026-06-15 10:00:00"), std::string::npos)
        << "the clock was touched";

    // The first copy is still live, and once it has ended a new one runs.
    t.Keys("Enter");  // TEST
    ASSERT_TRUE(t.WaitFor(std::regex("Continue with Test"), &screen)) << screen;
    t.Keys("Escape");
    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
    t.Start(100, 36, "", true, "third");
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen, "third")) << screen;
    t.Keys("Enter", "third");
    EXPECT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen, "third")) << screen;
    t.Keys("C-c", "third");
    EXPECT_EQ(t.ExitStatus(std::chrono::seconds(5), "third"), "0");
}

// Where `text` first shows on an ASCII screen: column and row.
std::pair<int, int> Find(const std::string &screen, const std::string &text)
{
    const size_t at = screen.find(text);
    if (at == std::string::npos)
        return {-1, -1};
    const size_t lineStart = screen.rfind('\n', at);
    const int row = static_cast<int>(std::count(screen.begin(), screen.begin() + at, '\n'));
    return {static_cast<int>(at - (lineStart == std::string::npos ? 0 : lineStart + 1)), row};
}

// The mouse as on Windows: a press alone does nothing, nor does a release
// away from what was pressed; a press and a release over a button act.
TEST(TerminalEndToEnd, ButtonsAndTheCloseBoxActOnTheReleaseOverThem)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    using Mouse = Terminal::Mouse;
    Terminal t;
    ASSERT_TRUE(t.CreatePc("--profile y2k-ready"));
    t.Start(100, 36, "export LC_ALL=C NO_COLOR=1 TERM=xterm-256color; ");
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    t.Keys("Enter");
    ASSERT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen)) << screen;
    const auto [closeX, closeY] = Find(screen, "Close ");
    const auto [boxX, boxY] = Find(screen, "[X]");
    const auto [helpX, helpY] = Find(screen, "Help ");
    const auto [fixX, fixY] = Find(screen, "Install Fix");
    ASSERT_GE(closeX, 0);
    ASSERT_GE(boxX, 0);
    ASSERT_GE(helpX, 0);
    ASSERT_GE(fixX, 0);

    // Close pressed, slid off and let go on the dialog's blank face; the
    // close box pressed and let go beside it; Help pressed and let go
    // elsewhere with no report of the move.
    t.MouseAt(Mouse::kPress, closeX, closeY);
    t.MouseAt(Mouse::kDrag, closeX, closeY - 2);
    t.MouseAt(Mouse::kRelease, closeX, closeY - 2);
    t.MouseAt(Mouse::kPress, boxX + 1, boxY);
    t.MouseAt(Mouse::kRelease, boxX - 5, boxY + 1);
    t.MouseAt(Mouse::kPress, helpX, helpY);
    t.MouseAt(Mouse::kRelease, helpX, helpY + 2);
    // A whole click, which shows that all of the above has been taken: the
    // program still runs and no help window covers the dialog.
    t.MouseAt(Mouse::kPress, fixX, fixY);
    t.MouseAt(Mouse::kRelease, fixX + 1, fixY);
    ASSERT_TRUE(t.WaitFor(std::regex("UnInstall Fix"), &screen)) << screen;
    EXPECT_EQ(screen.find("Tolvane Help"), std::string::npos) << screen;

    t.MouseAt(Mouse::kPress, helpX, helpY);
    t.MouseAt(Mouse::kRelease, helpX + 1, helpY);
    EXPECT_TRUE(t.WaitFor(std::regex("Tolvane Help"), &screen)) << screen;
    t.Keys("Escape");
    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
}

// The copy started first keeps the PC, even when the second one's About box
// is dismissed first.
TEST(TerminalEndToEnd, TheCopyStartedFirstKeepsThePcWhicheverAboutBoxGoesFirst)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    Terminal t;
    ASSERT_TRUE(t.CreatePc("--virtual --start '2026-06-15 10:00:00'"));
    t.Start(100, 36);
    std::string screen;
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen)) << screen;
    t.Start(100, 36, "", true, "second");
    ASSERT_TRUE(t.WaitFor(std::regex("About Tolvane"), &screen, "second")) << screen;

    t.Keys("Enter", "second");
    ASSERT_TRUE(t.WaitFor(std::regex("Tolvane is already running"), &screen, "second")) << screen;
    t.Keys("Enter", "second");
    EXPECT_EQ(t.ExitStatus(std::chrono::seconds(5), "second"), "0");

    t.Keys("Enter");
    ASSERT_TRUE(t.WaitFor(std::regex("StopClocks"), &screen)) << screen;
    EXPECT_EQ(screen.find("already running"), std::string::npos) << screen;
    t.Keys("C-c");
    EXPECT_EQ(t.ExitStatus(), "0");
}

}  // namespace
