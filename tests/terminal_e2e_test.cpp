// The real host binary in a real terminal (tmux), read back from the screen the
// way a person would see it.
#include <gtest/gtest.h>

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
// own under NO_COLOR of any value.
TEST(TerminalEndToEnd, ShowsColoursUnlessNoColorIsSet)
{
    if (!tmuxtest::HaveTmux())
        GTEST_SKIP() << "tmux is not installed";
    // A background colour: 40-47, 100-107, or 48;5;N.
    const std::regex background(R"(\x1b\[[0-9;]*\b(4[0-7]|10[0-7]|48;5;\d+)[;m])");
    struct Case {
        const char *prefix;
        bool colours;
    } cases[] = {{"", true}, {"export NO_COLOR=1; ", false}, {"export NO_COLOR=; ", false}};
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

}  // namespace
