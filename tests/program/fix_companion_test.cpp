// Install Fix and UnInstall Fix as a user meets them, with the real companion
// (and one that ignores WM_QUIT) running as a separate host program.
#include <gtest/gtest.h>

#include <signal.h>

#include "companion_fixture.h"
#include "kernel/process.h"
#include "pc/session.h"
#include "program_session.h"

namespace {

using namespace companiontest;
namespace fs = std::filesystem;

const char *const kFixCaption = " Tolvane - Fix Running";
const char *const kNotRunning =
    "faltrem.exe was started but is not running\n\nThe Fix is not installed";
const char *const kPass = "Pass: The PC clocks are Year 2000 compliant";
const char *const kFail =
    "Fail: The PC clocks are Not Year 2000 compliant. See 'Help' / 'Testing'  for more details";

class FixCompanion : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        gfFixInstalled = 0;
        gChildThreadID = 0;
        ghChildProcess = NULL;
    }
};

automation::PcSetup WithProgramDirectory(const std::string &directory,
                                         const std::string &profile = "y2k-ready")
{
    automation::PcSetup setup = Pc(profile, "2026-06-15 10:20:07.000");
    setup.programDirectory = directory;
    return setup;
}

// The state and both texts while no companion of ours runs.
void ExpectNotInstalled(const automation::Session &s)
{
    EXPECT_EQ(gfFixInstalled, 0);
    EXPECT_EQ(gChildThreadID, 0u);
    EXPECT_EQ(ghChildProcess, nullptr);
    EXPECT_EQ(s.Text(IDC_INSTALL_FIX), "Install Fix");
    EXPECT_EQ(s.TopCaption(), kMainCaption);
}

void ExpectInstalled(const automation::Session &s)
{
    EXPECT_EQ(gfFixInstalled, 1);
    EXPECT_NE(gChildThreadID, 0u);
    EXPECT_NE(ghChildProcess, nullptr);
    EXPECT_EQ(s.Text(IDC_INSTALL_FIX), "UnInstall Fix");
    EXPECT_EQ(s.TopCaption(), kFixCaption);
}

// Companions in the PC's table of running programs.
int RunningCompanions()
{
    int n = 0;
    for (const pc::RunningProgram &p : pc::ListRunningPrograms())
        n += p.name.rfind("faltrem", 0) == 0;
    return n;
}

// The UnInstall wait blocks the program while the companion ends in real
// time; the drive returns from the press before that. The command is over
// once Close, disabled for it, is enabled again after the texts have changed.
bool UnInstalled(const automation::Session &s)
{
    return Eventually([&] {
        return s.Text(IDC_INSTALL_FIX) == "Install Fix" && s.TopCaption() == kMainCaption &&
               s.Enabled(IDC_CLOSE);
    });
}

TEST_F(FixCompanion, InstallStartsItAndUnInstallStopsIt)
{
    TempDir program;
    InstallCompanion(program.Path());
    automation::Session s(WithProgramDirectory(program.Path()));
    StartToMainDialog(s);

    PressInstallFix(s);
    ExpectInstalled(s);
    const DWORD pid = gChildThreadID;
    EXPECT_TRUE(Eventually(AtomHeld)) << "the companion did not start";
    EXPECT_TRUE(IsFaltremRunning());
    EXPECT_TRUE(s.Enabled(IDC_TEST));
    EXPECT_TRUE(s.Enabled(IDC_CLOSE));
    EXPECT_FALSE(s.Enabled(IDC_STOPCLOCKS));
    EXPECT_FALSE(s.Enabled(IDC_RESET_DATE));

    s.Press(IDC_INSTALL_FIX);
    ASSERT_TRUE(UnInstalled(s));
    ExpectNotInstalled(s);
    EXPECT_FALSE(AtomHeld());
    EXPECT_TRUE(ProcessGone(pid));
    EXPECT_TRUE(s.Enabled(IDC_TEST));
    EXPECT_TRUE(s.Enabled(IDC_CLOSE));
    EXPECT_TRUE(s.MessageBoxes().empty());
}

TEST_F(FixCompanion, UnInstallRightAfterInstallStillStopsIt)
{
    TempDir program;
    InstallCompanion(program.Path());
    automation::Session s(WithProgramDirectory(program.Path()));
    StartToMainDialog(s);
    PressInstallFix(s);
    const DWORD pid = gChildThreadID;
    s.Press(IDC_INSTALL_FIX);  // before it has had time to look at the RTC
    ASSERT_TRUE(UnInstalled(s));
    ExpectNotInstalled(s);
    EXPECT_TRUE(ProcessGone(pid));
    EXPECT_FALSE(AtomHeld());
}

TEST_F(FixCompanion, FoundInTheCurrentDirectoryAndOnTheSearchPath)
{
    for (const char *where : {"current directory", "search path"}) {
        SCOPED_TRACE(where);
        TempDir path;
        std::optional<ScopedSearchPath> searchPath;
        if (where == std::string("search path")) {
            InstallCompanion(path.Path());
            searchPath.emplace(path.Path());
        }
        automation::Session s;
        if (where == std::string("current directory"))
            InstallCompanion(fs::current_path().string());
        StartToMainDialog(s);
        PressInstallFix(s);
        ExpectInstalled(s);
        EXPECT_TRUE(Eventually(AtomHeld));
        s.Press(IDC_INSTALL_FIX);
        EXPECT_TRUE(UnInstalled(s));
    }
}

// Each failure shows its box and leaves everything as it was.
TEST_F(FixCompanion, MissingUnstartableAndTooLongCompanionsChangeNothing)
{
    TempDir root;
    // The longest path that fits 260 characters with its terminator, and one more.
    auto deepDirectory = [&](std::size_t pathLength) {
        const std::size_t name = std::string("/faltrem.exe").size();
        std::string directory = root / "deep";
        while (directory.size() + name < pathLength) {
            std::size_t room = pathLength - name - directory.size();
            std::size_t take = std::min<std::size_t>(room, 201);
            if (room - take == 1)
                take -= 1;  // leave no remainder too short for "/d"
            directory += "/" + std::string(take - 1, 'd');
        }
        return directory;
    };
    const std::string tooLong = deepDirectory(MAX_PATH);
    ASSERT_EQ((tooLong + "/faltrem.exe").size(), static_cast<std::size_t>(MAX_PATH));
    InstallCompanion(tooLong);

    fs::create_directories(root / "plain");
    WriteFile(root / "plain/faltrem.exe", "MZ", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(root / "garbage");
    WriteFile(root / "garbage/faltrem.exe", "not a program", fs::perms::owner_all);
    fs::create_directories(root / "empty");

    struct Case {
        std::string directory;
        const char *text, *caption;
    } cases[] = {
        {root / "empty", "Cant find faltrem.exe", "Tolvane - Error File Missing"},
        {tooLong, "Cant find faltrem.exe", "Tolvane - Error File Missing"},
        {root / "plain", "Cant start faltrem.exe", "Tolvane - Error"},
        {root / "garbage", "Cant start faltrem.exe", "Tolvane - Error"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.directory);
        automation::Session s(WithProgramDirectory(c.directory));
        StartToMainDialog(s);
        const std::uint64_t started = kernel::StartedProcessCount();
        gChildThreadID = 1234;  // a failed Install clears it
        s.Press(IDC_INSTALL_FIX);
        auto box = s.TopMessageBox();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, c.text);
        EXPECT_EQ(box->caption, c.caption);
        EXPECT_EQ(box->type, static_cast<unsigned>(MB_OK));
        s.Answer(IDOK);
        ExpectNotInstalled(s);
        EXPECT_TRUE(s.Enabled(IDC_TEST));
        EXPECT_TRUE(s.Enabled(IDC_CLOSE));
        EXPECT_EQ(kernel::StartedProcessCount(), started);
        EXPECT_FALSE(AtomHeld());
    }

    // One character shorter fits, and starts.
    const std::string fits = deepDirectory(MAX_PATH - 1);
    InstallCompanion(fits);
    automation::Session s(WithProgramDirectory(fits));
    StartToMainDialog(s);
    PressInstallFix(s);
    ExpectInstalled(s);
    s.Press(IDC_INSTALL_FIX);
    EXPECT_TRUE(UnInstalled(s));
}

TEST_F(FixCompanion, CompanionStartedElsewhereIsSeenRunning)
{
    TempDir program;
    InstallCompanion(program.Path());
    automation::Session s(WithProgramDirectory(program.Path()));
    PROCESS_INFORMATION other = Start(CompanionBinary());
    ASSERT_TRUE(Eventually(AtomHeld));
    EXPECT_TRUE(IsFaltremRunning());

    s.Start();
    s.PressIn(kAboutCaption, IDOK);
    auto box = s.TopMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, "Tolvane -  Fix Software Running");
    s.Answer(IDNO);
    EXPECT_FALSE(s.Running());

    PostThreadMessageA(other.dwThreadId, WM_QUIT, 0, 0);
    EXPECT_TRUE(
        Eventually([&] { return WaitForSingleObject(other.hProcess, 0) == WAIT_OBJECT_0; }));
    CloseHandle(other.hProcess);
    CloseHandle(other.hThread);
    EXPECT_FALSE(IsFaltremRunning());
}

TEST_F(FixCompanion, CompanionThatEndedByItselfStillReadsInstalledAndUnInstallsAtOnce)
{
    TempDir program;
    InstallCompanion(program.Path());
    automation::Session s(WithProgramDirectory(program.Path()));
    StartToMainDialog(s);
    PressInstallFix(s);
    ASSERT_TRUE(Eventually(AtomHeld));
    PostThreadMessageA(gChildThreadID, WM_QUIT, 0, 0);
    ASSERT_TRUE(Eventually([] { return WaitForSingleObject(ghChildProcess, 0) == WAIT_OBJECT_0; }));
    EXPECT_FALSE(AtomHeld());

    s.Advance(1000);
    ExpectInstalled(s);
    s.Press(IDC_INSTALL_FIX);
    EXPECT_EQ(s.Text(IDC_INSTALL_FIX), "Install Fix")
        << "UnInstall of an ended companion did not complete at once";
    ExpectNotInstalled(s);
}

// Started unquoted, the path below would start "Program.exe" beside
// "Program Files".
TEST_F(FixCompanion, DirectoryWithABlankStartsTheCompanionFound)
{
    TempDir root;
    const std::string program = root / "Program Files/Tolvane";
    InstallCompanion(program);
    const std::string marker = root / "decoy-ran";
    WriteFile(root / "Program.exe", "#!/bin/sh\ntouch '" + marker + "'\n", fs::perms::owner_all);

    automation::Session s(WithProgramDirectory(program));
    StartToMainDialog(s);
    PressInstallFix(s);
    ExpectInstalled(s);
    EXPECT_TRUE(Eventually(AtomHeld)) << "the companion did not start";
    EXPECT_FALSE(fs::exists(marker)) << "Program.exe was started instead";
    s.Press(IDC_INSTALL_FIX);
    EXPECT_TRUE(UnInstalled(s));
}

TEST_F(FixCompanion, CompanionThatIgnoresQuitIsTerminatedAfterFifteenSeconds)
{
    TempDir program;
    InstallCompanion(program.Path(), StubbornBinary());
    automation::Session s(WithProgramDirectory(program.Path()));
    StartToMainDialog(s);
    PressInstallFix(s);
    const DWORD pid = gChildThreadID;
    ASSERT_TRUE(Eventually(AtomHeld));

    s.Press(IDC_INSTALL_FIX);
    s.Advance(14900);
    EXPECT_EQ(s.Text(IDC_INSTALL_FIX), "UnInstall Fix") << "gave up before 15 s";
    EXPECT_FALSE(ProcessGone(pid));

    s.Advance(200);
    ASSERT_TRUE(UnInstalled(s));
    ExpectNotInstalled(s);
    EXPECT_TRUE(ProcessGone(pid));
    EXPECT_FALSE(AtomHeld()) << "the killed companion's atom stayed";

    // And the fix can be installed again.
    PressInstallFix(s);
    ExpectInstalled(s);
}

// Someone started a companion of their own after the program did its start-up
// check; ours then hangs before taking the atom. Terminating ours must leave
// the other's reference alone.
TEST_F(FixCompanion, TerminatingAHungCompanionLeavesAnotherHoldersAtom)
{
    TempDir program;
    InstallCompanion(program.Path(), HungBinary());
    automation::Session s(WithProgramDirectory(program.Path()));
    StartToMainDialog(s);
    const ATOM others = GlobalAddAtomA(kAtom);
    s.Press(IDC_INSTALL_FIX);
    s.Advance(5100);
    ASSERT_TRUE(s.TopMessageBox());
    EXPECT_EQ(s.TopMessageBox()->text, kNotRunning);
    s.Answer(IDOK);
    ExpectNotInstalled(s);
    EXPECT_TRUE(Eventually([] { return RunningCompanions() == 0; }));
    EXPECT_TRUE(AtomHeld()) << "the other holder's reference was taken";
    // Exactly the one reference the test added is left.
    GlobalDeleteAtom(others);
    EXPECT_FALSE(AtomHeld());
}

TEST_F(FixCompanion, CloseStopsTheCompanionEvenOneThatIgnoresQuit)
{
    for (const std::string &binary : {CompanionBinary(), StubbornBinary()}) {
        SCOPED_TRACE(binary);
        TempDir program;
        InstallCompanion(program.Path(), binary);
        automation::Session s(WithProgramDirectory(program.Path()));
        StartToMainDialog(s);
        PressInstallFix(s);
        const DWORD pid = gChildThreadID;
        ASSERT_TRUE(Eventually(AtomHeld));
        s.Press(IDC_CLOSE);
        if (binary == StubbornBinary())
            s.Advance(16000);
        EXPECT_TRUE(Eventually([&] { return !s.Running(); }));
        EXPECT_TRUE(ProcessGone(pid));
        EXPECT_FALSE(AtomHeld());
    }
}

// The companion is another program reacting in real time: after each step
// of virtual time it gets its chance to look at the clocks. A legacy chip
// leaves the CMOS line at 1900, a latching BIOS the BIOS line; the fix mends
// either.
TEST_F(FixCompanion, RunningRolloverTestPassesOnlyWithTheFix)
{
    for (const char *profile : {"legacy-rtc", "latched-century-bios"}) {
        for (bool withFix : {true, false}) {
            SCOPED_TRACE(std::string(profile) + (withFix ? ", with the fix" : ", without the fix"));
            TempDir program;
            InstallCompanion(program.Path());
            automation::Session s(WithProgramDirectory(program.Path(), profile));
            StartToMainDialog(s);
            if (withFix) {
                PressInstallFix(s);
                ASSERT_TRUE(Eventually(AtomHeld));
            }
            s.Press(IDC_TEST);
            s.PressIn(kWarningCaption, IDOK);
            s.Advance(7000);
            ClockReading cmos{}, bios{};
            bool fixed = Eventually(
                [&] {
                    GetCmosTime(&cmos);
                    GetBiosTime(&bios);
                    return cmos.century == 0x20 && bios.century == 0x20;
                },
                std::chrono::milliseconds(withFix ? 5000 : 300));
            EXPECT_EQ(fixed, withFix)
                << "centuries: CMOS " << std::hex << cmos.century << ", BIOS " << bios.century;
            s.Advance(1000);
            s.Press(IDC_STOPCLOCKS);
            auto box = s.TopMessageBox();
            ASSERT_TRUE(box);
            EXPECT_EQ(box->text, withFix ? kPass : kFail);
            s.Answer(IDOK);
            s.Press(IDC_RESET_DATE);
        }
    }
}

// Install Fix says the fix runs only once the companion it started is alive
// and holds the atom; else it says so, and nothing of that companion is left.
TEST_F(FixCompanion, InstallShowsFixRunningOnlyOverACompanionThatRuns)
{
    TempDir root;
    const std::string crashes = root / "crashes";
    fs::create_directories(crashes);
    WriteFile(crashes + "/faltrem.exe", "#!/bin/sh\nexit 3\n", fs::perms::owner_all);
    struct Case {
        const char *what;
        std::string directory;
        bool othersAtom;  // held before Install, by a companion started elsewhere
        int advanceMs;    // PC time the program's wait needs to end
        bool atomAfter;   // the atom once all is over: the other holder's only
    } cases[] = {
        {"ends at once: another holds the atom", "", true, 0, true},
        {"ends at once without its atom (a crash)", crashes, false, 0, false},
        {"hangs before its atom: terminated after 5 s", "", false, 5000, false},
    };
    InstallCompanion(root / "real");
    InstallCompanion(root / "hung", HungBinary());
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.directory.empty())
            c.directory = root / (c.advanceMs ? "hung" : "real");
        automation::Session s(WithProgramDirectory(c.directory));
        StartToMainDialog(s);
        const ATOM others = c.othersAtom ? GlobalAddAtomA(kAtom) : 0;
        s.Press(IDC_INSTALL_FIX);
        if (c.advanceMs) {
            s.Advance(c.advanceMs - 100);
            EXPECT_FALSE(s.TopMessageBox()) << "gave up early";
            s.Advance(100);
        }
        // The companion ends in real time, and the program's wait with it.
        EXPECT_TRUE(Eventually([&] { return s.TopMessageBox().has_value(); }));
        auto box = s.TopMessageBox();
        ASSERT_TRUE(box) << "Fix Running shown over nothing";
        EXPECT_EQ(box->text, kNotRunning);
        EXPECT_EQ(box->caption, "Tolvane - Error");
        EXPECT_EQ(box->type, static_cast<unsigned>(MB_OK));
        s.Answer(IDOK);
        ExpectNotInstalled(s);
        EXPECT_TRUE(s.Enabled(IDC_TEST));
        EXPECT_TRUE(s.Enabled(IDC_CLOSE));
        EXPECT_TRUE(Eventually([] { return RunningCompanions() == 0; }));
        EXPECT_EQ(AtomHeld(), c.atomAfter);
        if (others)
            GlobalDeleteAtom(others);
        EXPECT_FALSE(AtomHeld());
    }
}

// A companion killed while the fix runs cannot take its atom away. The next
// UnInstall or exit removes the reference it left, so that nothing, the next
// start included, takes it for a companion still running.
TEST_F(FixCompanion, KilledCompanionsAtomGoesWithTheNextUnInstallOrExit)
{
    struct Case {
        const char *what;
        std::string binary;
        bool close;  // the way out: Close, else UnInstall Fix
    } cases[] = {
        {"companion killed, UnInstall Fix", CompanionBinary(), false},
        {"companion killed, Close", CompanionBinary(), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir program;
        InstallCompanion(program.Path(), c.binary);
        automation::Session s(WithProgramDirectory(program.Path()));
        StartToMainDialog(s);
        PressInstallFix(s);
        ExpectInstalled(s);
        const DWORD pid = gChildThreadID;
        // No companion means no pid, and kill() of 0 would hit this whole group.
        ASSERT_GT(pid, 0u);
        ASSERT_EQ(kill(static_cast<pid_t>(pid), SIGKILL), 0);
        ASSERT_TRUE(Eventually([&] { return ProcessGone(pid); }));
        ASSERT_TRUE(AtomHeld()) << "the killed companion took its atom after all";

        if (c.close) {
            s.Press(IDC_CLOSE);
            EXPECT_FALSE(s.Running());
        } else {
            s.Press(IDC_INSTALL_FIX);
            EXPECT_EQ(s.Text(IDC_INSTALL_FIX), "Install Fix") << "UnInstall waited for nothing";
            ExpectNotInstalled(s);
            EXPECT_TRUE(s.MessageBoxes().empty());
        }
        EXPECT_FALSE(IsFaltremRunning()) << "the next start would refuse to run";
    }
}

}  // namespace
