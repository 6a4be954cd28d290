// The start-up checks as a user meets them: the About box first, then the
// platform, network software and an already running companion, each able to
// end the program before its main dialog is ever shown.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "pc/session.h"
#include "program_session.h"

namespace {

class Startup : public ProgramTest {};

const char *const kCompanionAtom = "_faltrem_running_";
const char *const kCompanionRunning =
    "The Fix software was running before you started Tolvane !\n\nTolvane will Not run until the Fix software "
    "is removed from the system.    \nTo do this you will have to restart Windows\n\nRestarting means you will "
    "lose any unsaved information in applications currently running.\n\nRestart Windows now ?";
const char *const kNetworkWarning =
    "Network Software Detected\n\nTo test the machine you should log off from the network\n and remove network "
    "cables.\n\nIf you have done this click 'OK' otherwise click 'Cancel'.          \n\n";

bool Shows(const automation::Session &s, const std::string &caption)
{
    auto captions = s.Captions();
    return std::find(captions.begin(), captions.end(), caption) != captions.end();
}

// The real companion on the session's PC, once it holds its atom.
pid_t StartCompanion(const automation::Session &s)
{
    pid_t pid = fork();
    if (pid == 0) {
        setenv("TOLVANE_PC", s.PcDirectory().c_str(), 1);
        execl(TOLVANE_BINARY_DIR "/faltrem.exe", "faltrem.exe", static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && !GlobalFindAtomA(kCompanionAtom); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return pid;
}

// The companion's exit status, or -1 if it is still running after a while.
int WaitForCompanion(pid_t pid)
{
    for (int i = 0; i < 300; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

TEST_F(Startup, AboutBoxComesBeforeEveryMessageAndTheMainDialog)
{
    automation::Session s(Pc("networked", "2026-06-15 10:20:07.000"));
    GlobalAddAtomA(kCompanionAtom);
    s.Start();
    EXPECT_EQ(s.Captions(), std::vector<std::string>{kAboutCaption});
    EXPECT_TRUE(s.MessageBoxes().empty());
    EXPECT_EQ(s.TextIn(kAboutCaption, IDC_ABOUT_TITLE),
              "             Tolvane - Year 2000 Clock Test and Fix");

    s.PressIn(kAboutCaption, IDOK);
    ASSERT_TRUE(s.TopMessageBox());
    EXPECT_EQ(s.TopMessageBox()->text, kNetworkWarning) << "the network comes before the companion";
    s.Answer(IDOK);
    ASSERT_TRUE(s.TopMessageBox());
    EXPECT_EQ(s.TopMessageBox()->text, kCompanionRunning);
    EXPECT_FALSE(Shows(s, kMainCaption));
}

TEST_F(Startup, AboutBoxClosesWithOkEnterAndItsCloseBoxButNotEscape)
{
    struct Way {
        const char *name;
        void (*close)(automation::Session &);
    } ways[] = {
        {"OK", [](automation::Session &s) { s.PressIn(kAboutCaption, IDOK); }},
        {"Enter", [](automation::Session &s) { s.Key(VK_RETURN); }},
        {"close box", [](automation::Session &s) { s.CloseCommand(); }},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
        s.Start();
        s.Key(VK_ESCAPE);
        EXPECT_EQ(s.TopCaption(), kAboutCaption) << "Escape closed the About box";
        way.close(s);
        EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
        EXPECT_TRUE(s.EnabledIn(kMainCaption, IDC_TEST));
        EXPECT_FALSE(s.EnabledIn(kMainCaption, IDC_STOPCLOCKS));
    }
}

TEST_F(Startup, NtRefusesAfterTheAboutBoxAndEndsWithoutItsDialog)
{
    automation::Session s(Pc("nt", "2026-06-15 10:20:07.000"));
    s.Start();
    s.PressIn(kAboutCaption, IDOK);
    auto box = s.TopMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "This version is for windows 95/98 only");
    EXPECT_EQ(box->caption, "Tolvane -  Not windows 95/98");
    EXPECT_EQ(box->type, static_cast<unsigned>(MB_ICONERROR | MB_TOPMOST));
    EXPECT_EQ(s.Beeps(), 1);
    EXPECT_EQ(s.Captions(), std::vector<std::string>{box->caption});

    s.Answer(IDOK);
    EXPECT_FALSE(s.Running());
    EXPECT_EQ(s.ExitCode(), 0);
    EXPECT_EQ(s.MessageBoxes().size(), 1u);
}

TEST_F(Startup, NetworkWarningEndsOnCancelAndGoesOnOnOk)
{
    {
        automation::Session s(Pc("networked", "2026-06-15 10:20:07.000"));
        s.Start();
        s.PressIn(kAboutCaption, IDOK);
        auto box = s.TopMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->caption, "Tolvane -  Network Warning");
        EXPECT_EQ(box->type, static_cast<unsigned>(MB_OKCANCEL | MB_ICONWARNING | MB_TOPMOST));
        s.Answer(IDCANCEL);
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(s.ExitCode(), 0);
    }
    {
        automation::Session s(Pc("networked", "2026-06-15 10:20:07.000"));
        s.Start();
        s.PressIn(kAboutCaption, IDOK);
        s.Answer(IDOK);
        EXPECT_EQ(s.Captions(), std::vector<std::string>{kMainCaption});
        s.Advance(1200);
        EXPECT_EQ(Line(s, IDC_LOCAL_LINE), " 06-15-2026   10:20:08") << "the clocks do not run";
    }
}

TEST_F(Startup, CompanionAlreadyRunningEndsOnNoWhichIsTheDefault)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    GlobalAddAtomA(kCompanionAtom);
    const std::uint32_t boot = pc::BootCount();
    s.Start();
    s.PressIn(kAboutCaption, IDOK);
    auto box = s.TopMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->type,
              static_cast<unsigned>(MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2 | MB_TOPMOST));
    EXPECT_EQ(box->caption, "Tolvane -  Fix Software Running");

    s.Key(VK_RETURN);
    EXPECT_FALSE(s.Running());
    EXPECT_EQ(s.ExitCode(), 0);
    EXPECT_EQ(s.MessageBoxes().back().answer, IDNO);
    EXPECT_NE(GlobalFindAtomA(kCompanionAtom), 0) << "No must not restart Windows";
    EXPECT_EQ(pc::BootCount(), boot);
}

TEST_F(Startup, YesToTheRestartEndsTheCompanionAndRestartsWindows)
{
    automation::Session s(Pc("y2k-ready", "2026-06-15 10:20:07.000"));
    pid_t companion = StartCompanion(s);
    ASSERT_NE(GlobalFindAtomA(kCompanionAtom), 0) << "the companion did not start";
    const std::uint32_t boot = pc::BootCount();
    s.Start();
    s.PressIn(kAboutCaption, IDOK);
    ASSERT_TRUE(s.TopMessageBox());
    s.Answer(IDYES);

    EXPECT_FALSE(s.Running());
    EXPECT_EQ(s.ExitCode(), 0);
    EXPECT_EQ(s.MessageBoxes().size(), 1u) << "the tidy-up had nothing to say";
    EXPECT_EQ(pc::BootCount(), boot + 1);
    EXPECT_EQ(GlobalFindAtomA(kCompanionAtom), 0);
    // Its end of session ends a program without windows, as on Windows.
    EXPECT_EQ(WaitForCompanion(companion), 0);
    EXPECT_TRUE(pc::ListRunningPrograms().empty());
}

}  // namespace
