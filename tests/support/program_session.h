// Helpers for tests that run the whole program on a simulated PC through the
// automation, the way a person at the keyboard would.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tolvane.h"
#include "automation/session.h"

// The fixture of every test that runs the program's code in this process.
// What the program keeps process-wide carries over from one such test to the
// next in the same process: the variables of tolvane.h (gfDontShowWarning,
// gfTesting, gfFixInstalled, ...), the second each clock line last showed
// (clocks/display.cpp), the mutex that marks a running copy. The program
// sets them up once per run, as on Windows, and has no way to reset them. So
// each such test needs a process of its own, which is how ctest runs every
// test; a second one in the same process fails at once and says why.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::string first;
        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(test->test_suite_name()) + "." + test->name();
        if (first.empty())
            first = name;
        else
            GTEST_FAIL() << name << " runs the program in the process " << first
                         << " ran it in; run each program test on its own (ctest does, or "
                            "--gtest_filter="
                         << name << ")";
    }
};

inline const char *const kMainCaption = " Tolvane";
inline const char *const kAboutCaption = "About Tolvane";
inline const char *const kWarningCaption = " Tolvane - Warning";

inline automation::PcSetup Pc(const std::string &profile, const std::string &localTime)
{
    automation::PcSetup setup;
    setup.profile = profile;
    setup.localTime = localTime;
    return setup;
}

// A PC whose program is installed as built: the program, faltrem.exe and the
// help file Tolvaneeval.hlp side by side in its directory.
inline automation::PcSetup InstalledPc(const std::string &profile, const std::string &localTime)
{
    automation::PcSetup setup = Pc(profile, localTime);
    setup.programDirectory = TOLVANE_BINARY_DIR;
    return setup;
}

// Starts the program and gets past the About box to the main dialog in Idle.
inline void StartToMainDialog(automation::Session &session)
{
    session.Start();
    session.PressIn(kAboutCaption, IDOK);
}

// Install Fix with a companion that works. The program waits, counting on
// the PC's clock, until the companion it started holds its atom, which the
// companion, a process of its own, takes in real time; the clock moves on a
// poll at a time until the program has seen it. Returns once the command is over.
inline void PressInstallFix(automation::Session &session)
{
    session.Press(IDC_INSTALL_FIX);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!GlobalFindAtomA("_faltrem_running_") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int poll = 0;
         poll < 100 && session.Text(IDC_INSTALL_FIX) == "Install Fix" && !session.TopMessageBox();
         ++poll)
        session.Advance(50);
}

// The one line a clock's list box holds, or "" while it is empty.
inline std::string Line(const automation::Session &session, int listBoxId)
{
    auto lines = session.Lines(listBoxId);
    return lines.empty() ? std::string() : lines.front();
}

// The date file in the program's current directory (a session's own), whole.
inline std::vector<unsigned char> DateFileBytes()
{
    std::ifstream in("datesave.tmp", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void PlaceDateFile(const std::vector<unsigned char> &bytes)
{
    std::ofstream out("datesave.tmp", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
