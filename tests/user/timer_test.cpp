// Timers on the virtual clock: WM_TIMER comes when the queue is otherwise
// empty, one at a time, its missed expiries coalesced, and keeps coming while
// a message box's nested loop runs.
#include <gtest/gtest.h>

#include "pc/timesource.h"
#include "ui_fixture.h"

namespace {

using namespace uitest;

void StartWithTimer(automation::Session &session, UINT period = 200)
{
    Reset(IDD_MAIN);
    gInit = [period](HWND hwnd) { SetTimer(hwnd, 1, period, nullptr); };
    session.Start(TestProgram);
}

TEST(UiTimer, TicksKeepTheirPeriodAsTimeMovesInSmallSteps)
{
    automation::Session session;
    StartWithTimer(session);
    session.Advance(199);
    EXPECT_EQ(gSeen.timers, 0);
    session.Advance(1);
    EXPECT_EQ(gSeen.timers, 1);
    session.Advance(1000);
    EXPECT_EQ(gSeen.timers, 6);
    EXPECT_EQ(gSeen.maxQueuedTimers, 0);
}

TEST(UiTimer, ExpiriesMissedInOneJumpCoalesceIntoOneMessage)
{
    automation::Session session;
    StartWithTimer(session);
    pc::AdvanceVirtualTime(1'100'000'000);  // 1.1 s at once: five expiries missed
    session.Post(gSeen.dialog, WM_NULL, 0, 0);
    EXPECT_EQ(gSeen.timers, 1);
    EXPECT_EQ(gSeen.maxQueuedTimers, 0);
    // The phase is kept: the next tick is at 1.2 s, not a period after the late one.
    session.Advance(99);
    EXPECT_EQ(gSeen.timers, 1);
    session.Advance(1);
    EXPECT_EQ(gSeen.timers, 2);
}

TEST(UiTimer, KillTimerStopsItAndSettingItAgainRestartsThePeriod)
{
    automation::Session session;
    StartWithTimer(session);
    gHook = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP)
            KillTimer(hwnd, 1);
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_INSTALL_FIX)
            SetTimer(hwnd, 1, 500, nullptr);
        return false;
    };
    session.Advance(300);
    EXPECT_EQ(gSeen.timers, 1);
    session.Press(IDC_HELP);
    session.Advance(1000);
    EXPECT_EQ(gSeen.timers, 1);
    session.Press(IDC_INSTALL_FIX);
    session.Advance(499);
    EXPECT_EQ(gSeen.timers, 1);
    session.Advance(1);
    EXPECT_EQ(gSeen.timers, 2);
}

int gProcTicks = 0;
void CALLBACK CountTick(HWND, UINT message, UINT_PTR, DWORD)
{
    if (message == WM_TIMER)
        ++gProcTicks;
}

TEST(UiTimer, TimerWithAProcedureCallsItInsteadOfTheWindow)
{
    automation::Session session;
    Reset(IDD_MAIN);
    gProcTicks = 0;
    UINT_PTR id = 0;
    gInit = [&](HWND) { id = SetTimer(nullptr, 0, 100, CountTick); };
    session.Start(TestProgram);
    EXPECT_NE(id, 0u);
    session.Advance(300);
    EXPECT_EQ(gProcTicks, 3);
    EXPECT_EQ(gSeen.timers, 0);
}

TEST(UiTimer, NestedMessageBoxKeepsTheTimerTicking)
{
    automation::Session session;
    StartWithTimer(session);
    int answer = 0;
    bool ownerEnabledDuringBox = true;
    gHook = [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM, INT_PTR &) {
        if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP)
            answer = MessageBoxA(hwnd, "Still ticking?", "Tolvane - Question", MB_OKCANCEL);
        if (message == WM_TIMER)
            ownerEnabledDuringBox = ownerEnabledDuringBox && IsWindowEnabled(hwnd);
        return false;
    };
    session.Press(IDC_HELP);
    ASSERT_TRUE(session.TopMessageBox().has_value());
    session.Advance(1000);
    EXPECT_EQ(gSeen.timers, 5);
    EXPECT_FALSE(ownerEnabledDuringBox);  // the owned box disables its owner
    session.Answer(IDCANCEL);
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(gSeen.dialog));
    session.Advance(200);
    EXPECT_EQ(gSeen.timers, 6);
}

}  // namespace
