// The end of the user's session as the host delivers it, under programs of
// the tests' own: a refusal calls off a polite end but not a forced one, and
// ExitWindowsEx ends its caller too and restarts Windows unless it logs off.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "automation/session.h"
#include "pc/session.h"
#include "ui_fixture.h"

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
