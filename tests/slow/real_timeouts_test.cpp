// The real waits of the end of the session, which the other tests cut short
// with TOLVANE_WAIT_TO_KILL_MS: tolvane-pc gives a program that does not end
// the program's whole grace, 20 s, and 2 s more before it calls a restart
// off. Slow by nature, so in a binary of its own that ctest starts first.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <string>

#include "pc/session.h"
#include "pc_cli.h"
#include "pc_fixture.h"

namespace {

using namespace pctest;

TEST(RealTimeouts, RestartWaitsOutTheProgramsGraceAndTwoSecondsMore)
{
    TestPc pc;
    unsetenv("TOLVANE_WAIT_TO_KILL_MS");
    ASSERT_EQ(pc::WaitToKillMs(), 20'000);
    pid_t refuser = StartRefusingProgram();
    ASSERT_GT(refuser, 0);
    KillAtEnd killAtEnd{refuser};

    const auto begin = std::chrono::steady_clock::now();
    CliRun refused = Cli({"restart"});
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("restart called off"), std::string::npos) << refused.err;
    EXPECT_GE(waited, std::chrono::seconds(22));
    EXPECT_LT(waited, std::chrono::seconds(30));
    EXPECT_EQ(pc::BootCount(), 1u);
}

}  // namespace
