// faltrem, the fix companion, run as a host program of its own: it ends on a
// WM_QUIT posted the moment it starts, ends its session on any signal that
// would end it, leaves the atom to a first copy, and carries a legacy RTC's
// century when the year wraps.
#include <gtest/gtest.h>

#include <windows.h>

#include <signal.h>

#include <cstring>

#include "tolvane.h"
#include "companion_fixture.h"
#include "pc/power.h"
#include "pc_fixture.h"
#include "rtc_registers.h"

namespace {

using namespace companiontest;

TEST(Companion, EndsOnAQuitPostedTheMomentItStarted)
{
    pctest::TestPc pc;
    StartedProcessesGuard guard;
    PROCESS_INFORMATION pi = Start(CompanionBinary());
    // Before the companion has run a line: the post waits in its mailbox.
    EXPECT_TRUE(PostThreadMessageA(pi.dwThreadId, WM_QUIT, 0, 0));
    EXPECT_EQ(Finish(pi), 0u);
    EXPECT_FALSE(AtomHeld());
}

// Without a terminal or windows: the end of its session is all it has.
TEST(Companion, EverySignalThatWouldEndItEndsItsSessionInstead)
{
    pctest::TestPc pc;
    StartedProcessesGuard guard;
    for (int signal :
         {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGALRM, SIGPIPE, SIGXCPU, SIGXFSZ, SIGPWR, SIGUSR1,
          SIGUSR2, SIGVTALRM, SIGPROF, SIGIO, SIGSTKFLT, SIGRTMIN, SIGRTMAX}) {
        SCOPED_TRACE(strsignal(signal));
        // The atom an ended companion leaves belongs to the simulated Windows.
        pc::RestartWindows();
        PROCESS_INFORMATION pi = Start(CompanionBinary());
        ASSERT_TRUE(Eventually(AtomHeld));
        ASSERT_EQ(kill(static_cast<pid_t>(pi.dwProcessId), signal), 0);
        EXPECT_EQ(Finish(pi), 0u) << "not 0: ended by the signal itself";
    }
}

TEST(Companion, SecondOneLeavesTheFirstItsAtom)
{
    pctest::TestPc pc;
    StartedProcessesGuard guard;
    PROCESS_INFORMATION first = Start(CompanionBinary());
    ASSERT_TRUE(Eventually(AtomHeld));
    PROCESS_INFORMATION second = Start(CompanionBinary());
    EXPECT_EQ(Finish(second), 0u);
    EXPECT_TRUE(AtomHeld()) << "the second companion took the first one's atom";
    EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    PostThreadMessageA(first.dwThreadId, WM_QUIT, 0, 0);
    EXPECT_EQ(Finish(first), 0u);
    EXPECT_FALSE(AtomHeld());
}

TEST(Companion, CarriesTheCenturyOfALegacyRtcWhenTheYearWraps)
{
    pctest::TestPc pc("1999-12-31 23:59:58", "legacy-rtc");
    StartedProcessesGuard guard;
    PROCESS_INFORMATION pi = Start(CompanionBinary());
    ASSERT_TRUE(Eventually(AtomHeld));
    pctest::TestPc::Advance(3.0);
    EXPECT_TRUE(Eventually([] { return ReadCmosRegister(CMOS_CENTURY) == 0x20; }))
        << "century byte still " << std::hex << ReadCmosRegister(CMOS_CENTURY);
    EXPECT_EQ(ReadCmosRegister(RTC_YEAR), 0x00);
    PostThreadMessageA(pi.dwThreadId, WM_QUIT, 0, 0);
    EXPECT_EQ(Finish(pi), 0u);
}

}  // namespace
