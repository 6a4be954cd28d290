// The Help button and the host's help window: the help file at its contents,
// scrolled and searched by topic as a reader would, closed by the reader or
// by the program's exit, and a help file that is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "program_session.h"

namespace {

const char *const kHelpCaption = "Tolvaneeval.hlp - Help";

drive::HelpWindowRecord OpenHelp(drive::Session &s)
{
    StartToMainDialog(s);
    s.Press(IDC_HELP_BUTTON);
    auto help = s.HelpWindow();
    if (!help) throw drive::DriveError("no help window after Help");
    return *help;
}

TEST(Help, HelpButtonOpensTheHelpFileAtItsContentsBesideALiveProgram)
{
    drive::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    drive::HelpWindowRecord help = OpenHelp(s);
    EXPECT_EQ(help.caption, kHelpCaption);
    EXPECT_EQ(s.TopCaption(), kHelpCaption);
    EXPECT_EQ(help.firstLine, 1);
    ASSERT_GE(help.shown.size(), 12u);
    EXPECT_EQ(help.shown[0], "Tolvane Help");
    EXPECT_NE(std::find(help.shown.begin(), help.shown.end(), "Contents"), help.shown.end());
    // The topics a user needs, "Testing" being where a Fail verdict sends them.
    for (const char *topic : {"The four clocks", "Running the test", "Reading the verdict", "Testing",
                              "The Fix software", "If the date could not be reset"})
        EXPECT_NE(std::find(help.topics.begin(), help.topics.end(), topic), help.topics.end()) << topic;

    // Not modal: the clocks run on and the main dialog takes its buttons.
    s.Advance(1200);
    EXPECT_EQ(Line(s, IDC_LOCAL_LINE), " 06-15-2026   10:20:08");
    s.PressIn(kMainCaption, IDC_TEST);
    EXPECT_EQ(s.TopCaption(), kWarningCaption);
}

TEST(Help, ScrollsByLinePageAndWheelAndGoesFromTopicToTopic)
{
    drive::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    drive::HelpWindowRecord help = OpenHelp(s);
    const int page = static_cast<int>(help.shown.size());
    ASSERT_GT(help.lineCount, page) << "the help file fits one page; nothing to scroll";

    struct Step {
        const char *what;
        int vk;
        bool shift;
        int firstLine;  // 0: the last page
    } steps[] = {
        {"Up at the top", VK_UP, false, 1},
        {"Down", VK_DOWN, false, 2},
        {"PgDn", VK_NEXT, false, 2 + page - 1},
        {"PgUp", VK_PRIOR, false, 2},
        {"End", VK_END, false, 0},
        {"Down at the end", VK_DOWN, false, 0},
        {"Home", VK_HOME, false, 1},
    };
    for (const Step &step : steps) {
        s.Key(step.vk, step.shift);
        int expected = step.firstLine ? step.firstLine : help.lineCount - page + 1;
        EXPECT_EQ(s.HelpWindow()->firstLine, expected) << step.what;
    }

    s.Wheel(kHelpCaption, -2);
    EXPECT_EQ(s.HelpWindow()->firstLine, 7) << "two notches down";
    s.Wheel(kHelpCaption, 5);
    EXPECT_EQ(s.HelpWindow()->firstLine, 1) << "up past the top";

    // Tab goes down the topics in order, Shift+Tab back up.
    std::vector<std::string> visited;
    for (size_t i = 1; i < help.topics.size(); ++i) {
        s.Key(VK_TAB);
        visited.push_back(s.HelpWindow()->topic);
    }
    EXPECT_EQ(visited, std::vector<std::string>(help.topics.begin() + 1, help.topics.end()));
    EXPECT_EQ(s.HelpWindow()->shown[0], help.topics.back()) << "the heading heads the view";
    s.Key(VK_TAB, true);
    EXPECT_EQ(s.HelpWindow()->topic, help.topics[help.topics.size() - 2]);
}

TEST(Help, FollowsTheTerminalsSizeAndKeepsTheReadersPlace)
{
    drive::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    s.Resize(100, 40);
    drive::HelpWindowRecord help = OpenHelp(s);
    const size_t tallPage = help.shown.size();
    for (size_t i = 0; i < help.topics.size() && s.HelpWindow()->topic != "Testing"; ++i)
        s.Key(VK_TAB);
    ASSERT_EQ(s.HelpWindow()->topic, "Testing");

    s.Resize(80, 24);
    help = *s.HelpWindow();
    EXPECT_LT(help.shown.size(), tallPage);
    EXPECT_EQ(help.topic, "Testing");
    EXPECT_EQ(s.Screen().find("too small"), std::string::npos) << s.Screen();

    s.Resize(72, 24);  // the main dialog still fits
    help = *s.HelpWindow();
    EXPECT_EQ(help.topic, "Testing");
    for (const std::string &line : help.shown)
        EXPECT_LE(line.size(), 68u) << "not rewrapped to the narrower window: " << line;
    EXPECT_EQ(s.Screen().find("too small"), std::string::npos) << s.Screen();

    s.Resize(100, 40);
    EXPECT_EQ(s.HelpWindow()->shown.size(), tallPage);
    EXPECT_EQ(s.HelpWindow()->topic, "Testing");
}

TEST(Help, ReaderClosesOnlyTheHelpWindow)
{
    struct Way {
        const char *name;
        void (*close)(drive::Session &);
    } ways[] = {
        {"Escape", [](drive::Session &s) { s.Key(VK_ESCAPE); }},
        {"close command", [](drive::Session &s) { s.CloseCommand(); }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        drive::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
        OpenHelp(s);
        way.close(s);
        EXPECT_FALSE(s.HelpWindow());
        EXPECT_TRUE(s.Running());
        EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
        // And it opens again.
        s.Press(IDC_HELP_BUTTON);
        EXPECT_TRUE(s.HelpWindow());
    }
}

TEST(Help, TheProgramsTidyUpClosesItsHelpWindow)
{
    drive::Session s(InstalledPc("y2k-ready", "2026-06-15 10:20:07.000"));
    OpenHelp(s);
    // A cancelled end runs the whole tidy-up and leaves the program running.
    s.EndSession(false);
    EXPECT_TRUE(s.Running());
    EXPECT_FALSE(s.HelpWindow());
    EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
}

TEST(Help, HelpFileIsLookedForBesideTheProgramThenInTheCurrentDirectory)
{
    drive::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    std::ofstream("Tolvaneeval.hlp") << "Current\n=======\n";
    StartToMainDialog(s);
    s.Press(IDC_HELP_BUTTON);
    ASSERT_TRUE(s.HelpWindow());
    EXPECT_EQ(s.HelpWindow()->topics, std::vector<std::string>{"Current"});

    std::ofstream(s.ProgramDirectory() + "/Tolvaneeval.hlp") << "Beside the program\n---\n";
    s.PressIn(kMainCaption, IDC_HELP_BUTTON);
    EXPECT_EQ(s.HelpWindow()->topics, std::vector<std::string>{"Beside the program"});
    EXPECT_EQ(s.Captions().size(), 2u) << "a second help window opened";
}

BOOL gHelpResult;

int WINAPI MissingHelpMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    gHelpResult = WinHelpA(nullptr, "Nowhere.hlp", HELP_CONTENTS, 0);
    return static_cast<int>(GetLastError());
}

TEST(Help, MissingHelpFileSaysSoAndFails)
{
    drive::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    s.Start(&MissingHelpMain);
    auto box = s.TopMessageBox();
    ASSERT_TRUE(box);
    EXPECT_NE(box->text.find("Cannot find the help file Nowhere.hlp"), std::string::npos) << box->text;
    s.Answer(IDOK);
    EXPECT_FALSE(s.Running());
    EXPECT_EQ(gHelpResult, FALSE);
    EXPECT_EQ(s.ExitCode(), static_cast<int>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(s.HelpWindow());
}

}  // namespace
