// The end of the user's session as the host delivers it, under programs of
// the tests' own: a refusal calls off a polite end but not a forced one, an end
// that waits behind a cancelled one is still ended in time, and ExitWindowsEx
// ends its caller too and restarts Windows unless it logs off.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "automation/session.h"
#include "pc/session.h"
#include "ui_fixture.h"
#include "user/session_end.h"

namespace {

using uitest::IDD_ABOUT;

// An atom of the simulated Windows, which a restart clears.
const char *const kAtom = "_faltrem_running_";

automation::PcSetup Pc()
{
    automation::PcSetup setup;
    setup.localTime = "2026-06-15 10:20:07.000";
    return setup;
}

struct Seen {
    int endSessions = 0;
    WPARAM lastEnding = 0;
    bool refuse = false;
    bool boxWhenCalledOff = false;
} gSeen;

INT_PTR CALLBACK RefusingDlg(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        if (!gSeen.refuse)
            return FALSE;
        SetWindowLongA(hwnd, DWL_MSGRESULT, FALSE);
        return TRUE;
    case WM_ENDSESSION:
        ++gSeen.endSessions;
        gSeen.lastEnding = wParam;
        // As Tolvane's "Date Restored": a box that may find nobody to answer it.
        if (!wParam && gSeen.boxWhenCalledOff)
            MessageBoxA(hwnd, "Called off", "End", MB_OK);
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI DialogMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return static_cast<int>(
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, RefusingDlg, 0));
}

TEST(EndSession, ARefusalCallsOffAPoliteEndButNotAForcedOne)
{
    struct Case {
        bool refuse, forced, ends;
    } cases[] = {{false, false, true}, {true, false, false}, {true, true, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.refuse ? "refused" : "agreed") + (c.forced ? ", forced" : ""));
        automation::Session s(Pc());
        gSeen = Seen{};
        gSeen.refuse = c.refuse;
        s.Start(&DialogMain);
        s.EndSession(true, c.forced);
        EXPECT_EQ(gSeen.endSessions, 1);
        EXPECT_EQ(gSeen.lastEnding, static_cast<WPARAM>(c.ends));
        EXPECT_EQ(s.Running(), !c.ends);
        EXPECT_EQ(s.EndedBySessionEnd(), c.ends);
    }
}

// The hung-end watch, in real time.
class HungEndWatch {
public:
    explicit HungEndWatch(std::chrono::milliseconds grace)
    {
        user::SetHungEndHandler(grace.count(), [this] { fired_ = true; });
    }
    ~HungEndWatch() { user::SetHungEndHandler(0, nullptr); }
    bool FiresWithin(std::chrono::milliseconds limit) const
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!fired_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return fired_;
    }

private:
    std::atomic<bool> fired_{false};
};

TEST(EndSession, AnEndThatWaitsBehindACancelledOnesBoxIsEndedWithinItsGraceUnlessRefused)
{
    using std::chrono::milliseconds;
    struct Case {
        const char *what;
        bool refuse, forced, answered;  // the box, at once
        milliseconds grace;
    } cases[] = {
        {"nobody answers, polite end", false, false, false, milliseconds(50)},
        {"nobody answers, forced end", false, true, false, milliseconds(50)},
        {"answered, the polite end refused", true, false, true, milliseconds(1000)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        automation::Session s(Pc());
        gSeen = Seen{};
        gSeen.refuse = c.refuse;
        gSeen.boxWhenCalledOff = true;
        s.Start(&DialogMain);
        {
            HungEndWatch watch(c.grace);
            s.EndSession(false);
            ASSERT_TRUE(s.TopMessageBox());
            // The end comes while the cancelled one is still being delivered.
            s.EndSession(true, c.forced);
            if (c.answered)
                s.Answer(IDOK);
            EXPECT_EQ(watch.FiresWithin(c.grace + milliseconds(c.answered ? 300 : 5000)),
                      !c.answered);
        }
        if (!c.answered)
            s.Answer(IDOK);
        // Once the box is answered, the end that waited is delivered.
        EXPECT_EQ(gSeen.endSessions, 2);
        EXPECT_EQ(s.Running(), c.refuse);
        if (c.refuse) {
            ASSERT_TRUE(s.TopMessageBox()) << "the refused end was not called off";
            s.Answer(IDOK);
        }
    }
}

UINT gExitFlags;

// A program without windows that asks for the end itself, then waits for it.
int WINAPI ExitWindowsMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (!ExitWindowsEx(gExitFlags, 0))
        return 2;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 1;
}

TEST(EndSession, ExitWindowsEndsTheCallerTooAndRestartsUnlessItLogsOff)
{
    struct Case {
        UINT flags;
        bool accepted, restarts;
    } cases[] = {
        {EWX_REBOOT, true, true},
        {EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCE, true, true},
        {EWX_LOGOFF, true, false},
        {0x100, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("flags " + std::to_string(c.flags));
        automation::Session s(Pc());
        GlobalAddAtomA(kAtom);
        const std::uint32_t boot = pc::BootCount();
        gExitFlags = c.flags;
        s.Start(&ExitWindowsMain);
        EXPECT_FALSE(s.Running());
        EXPECT_EQ(s.EndedBySessionEnd(), c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(s.ExitCode(), 2);
        }
        EXPECT_EQ(pc::BootCount(), boot + (c.restarts ? 1 : 0));
        EXPECT_EQ(GlobalFindAtomA(kAtom) == 0, c.restarts);
    }
}

}  // namespace
