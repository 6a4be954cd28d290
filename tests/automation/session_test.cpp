// The automation itself: actions that cannot be done fail with a clear
// message, a program blocked outside its message loop does not hang the test,
// and a session left running is closed down.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>

#include "pc/timesource.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const automation::DriveError &e) {
        return e.what();
    }
    return "(no error)";
}

TEST(DriveSession, ActionsThatCannotBeDoneSayWhy)
{
    automation::Session session;
    Reset(IDD_MAIN);
    gInit = [](HWND hwnd) { EnableWindow(GetDlgItem(hwnd, IDC_STOPCLOCKS), FALSE); };
    session.Start(TestProgram);
    EXPECT_NE(ErrorOf([&] {
                  session.Press(4242);
              }).find("no open window has control 4242; open windows: ' Tolvane'"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  session.Press(IDC_STOPCLOCKS);
              }).find("('StopClocks') of ' Tolvane' is disabled"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { session.PressIn("Nowhere", IDOK); }).find("no open window 'Nowhere'"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { session.Answer(IDOK); }).find("no message box is open"),
              std::string::npos);
    EXPECT_THROW(session.Text(4242), automation::DriveError);
}

TEST(DriveSession, EndedProgramReportsItsResult)
{
    automation::Session session;
    Reset(IDD_MAIN);
    gHook = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP)
            EndDialog(hwnd, 7);
        return false;
    };
    session.Start(TestProgram);
    EXPECT_TRUE(session.Running());
    session.Press(IDC_HELP);
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(session.ExitCode(), 7);
    EXPECT_TRUE(session.Captions().empty());
    EXPECT_THROW(session.Key(VK_RETURN), automation::DriveError);
    session.Advance(100);  // time still moves
}

TEST(DriveSession, ProgramBlockedOutsideItsLoopLetsTheActionReturn)
{
    automation::Session session;
    Reset(IDD_MAIN);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> handled{false};
    gHook = [&](HWND, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP) {
            released.wait();  // like a wait for another process, with no message loop
            handled = true;
        }
        return false;
    };
    session.Start(TestProgram);
    session.Press(IDC_HELP);
    EXPECT_FALSE(handled);
    EXPECT_EQ(session.TopCaption(), " Tolvane");  // reads still work meanwhile
    release.set_value();
    session.Press(IDC_TEST);  // waits for the program to take input again
    EXPECT_TRUE(handled);
    EXPECT_EQ(gSeen.commands.back(), IDC_TEST);
}

TEST(DriveSession, SessionLeftRunningIsClosedAnsweringBoxesWithTheirDefault)
{
    Reset(IDD_MAIN);
    int answer = 0;
    gHook = [&](HWND hwnd, UINT message, WPARAM, LPARAM, INT_PTR &result) {
        if (message != WM_CLOSE)
            return false;
        answer = MessageBoxA(hwnd, "Really close?", "Tolvane", MB_YESNO);
        if (answer == IDYES)
            EndDialog(hwnd, 0);
        result = TRUE;
        return true;
    };
    std::string pcDir;
    {
        automation::Session session;
        session.Start(TestProgram);
        pcDir = session.PcDirectory();
    }
    EXPECT_EQ(answer, IDYES);
    EXPECT_FALSE(std::filesystem::exists(pcDir));
}

TEST(DriveSession, PcStartsAtTheLocalTimeAskedOnTheVirtualClock)
{
    automation::PcSetup setup;
    setup.localTime = "1999-12-31 23:59:55.250";
    setup.utcOffsetMinutes = 60;
    automation::Session session(setup);
    EXPECT_TRUE(pc::IsVirtualTime());
    // 1999-12-31 22:59:55.250 UTC
    EXPECT_EQ(pc::Now(), 946681195'250'000'000LL);
    Reset(IDD_MAIN);
    session.Start(TestProgram);
    session.Advance(1500);
    EXPECT_GE(pc::Now(), 946681196'750'000'000LL);
}

}  // namespace
