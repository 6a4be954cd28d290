// The global atom table with Windows' semantics, shared by every process on
// the PC and cleared only by a restart of the simulated Windows; and the table
// of running host programs beside it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "pc/power.h"
#include "pc/session.h"
#include "pc_fixture.h"

namespace {

using pctest::TestPc;

TEST(KernelAtoms, NamesAreCaseInsensitiveAndReferenceCounted)
{
    TestPc pc;
    ATOM atom = GlobalAddAtomA("_faltrem_running_");
    EXPECT_GE(atom, 0xC000);
    EXPECT_EQ(GlobalAddAtomA("_FALTREM_Running_"), atom);
    EXPECT_EQ(GlobalFindAtomA("_Faltrem_Running_"), atom);
    char name[64];
    EXPECT_EQ(GlobalGetAtomNameA(atom, name, sizeof name), 17u);
    EXPECT_STREQ(name, "_faltrem_running_") << "the first spelling is kept";

    EXPECT_EQ(GlobalDeleteAtom(atom), 0);
    EXPECT_EQ(GlobalFindAtomA("_faltrem_running_"), atom) << "one reference is left";
    EXPECT_EQ(GlobalDeleteAtom(atom), 0);
    SetLastError(0);
    EXPECT_EQ(GlobalFindAtomA("_faltrem_running_"), 0);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GlobalDeleteAtom(atom), atom);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(KernelAtoms, IntegerAtomsAndInvalidNames)
{
    TestPc pc;
    struct Case {
        const char *what;
        LPCSTR name;
        ATOM atom;        // 0xFFFF: some string atom
        DWORD lastError;  // when the atom is 0
    } cases[] = {
        {"#123", "#123", 123, 0},
        {"MAKEINTATOM(123)", MAKEINTATOM(123), 123, 0},
        {"MAKEINTATOM(0xBFFF)", MAKEINTATOM(0xBFFF), 0xBFFF, 0},
        {"#0", "#0", 0, ERROR_INVALID_PARAMETER},
        {"#49152", "#49152", 0, ERROR_INVALID_PARAMETER},
        {"MAKEINTATOM(0xC000)", MAKEINTATOM(0xC000), 0, ERROR_INVALID_PARAMETER},
        {"NULL", nullptr, 0, 0xDEAD},
        {"#12a", "#12a", 0xFFFF, 0},
        {"#", "#", 0xFFFF, 0},
        {"empty", "", 0, ERROR_INVALID_NAME},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0xDEAD);
        ATOM atom = GlobalAddAtomA(c.name);
        if (c.atom == 0xFFFF) {
            EXPECT_GE(atom, 0xC000);
        } else {
            EXPECT_EQ(atom, c.atom);
            if (!atom) {
                EXPECT_EQ(GetLastError(), c.lastError);
            }
        }
    }
    EXPECT_EQ(GlobalDeleteAtom(123), 0);
    char name[8];
    EXPECT_EQ(GlobalGetAtomNameA(123, name, sizeof name), 4u);
    EXPECT_STREQ(name, "#123");
}

TEST(KernelAtoms, NameLengthAndBufferLimits)
{
    TestPc pc;
    std::string longest(255, 'a'), tooLong(256, 'b');
    ATOM atom = GlobalAddAtomA(longest.c_str());
    EXPECT_NE(atom, 0);
    EXPECT_EQ(GlobalAddAtomA(tooLong.c_str()), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    ATOM foobar = GlobalAddAtomA("foobar");
    char buffer[10];
    std::memset(buffer, '.', sizeof buffer);
    EXPECT_EQ(GlobalGetAtomNameA(foobar, buffer, 0), 0u);
    EXPECT_EQ(std::string(buffer, 10), "..........") << "a zero size touches nothing";
    EXPECT_EQ(GlobalGetAtomNameA(foobar, buffer, 6), 0u);
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(std::string(buffer, 10), std::string("fooba\0....", 10));
    EXPECT_EQ(GlobalGetAtomNameA(0, buffer, 10), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GlobalGetAtomNameA(0xC1FF, buffer, 10), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(KernelAtoms, AtomsOutliveTheirProcessUntilWindowsRestarts)
{
    TestPc pc;
    pid_t child = fork();
    if (child == 0) {
        pc::Attach(pc.Directory());
        _exit(GlobalAddAtomA("_faltrem_running_") >= 0xC000 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(GlobalFindAtomA("_faltrem_running_"), 0);

    std::uint32_t boot = pc::BootCount();
    pc::RestartWindows();
    EXPECT_EQ(GlobalFindAtomA("_faltrem_running_"), 0);
    EXPECT_EQ(pc::BootCount(), boot + 1);
}

TEST(KernelAtoms, RunningProgramsAreListedUntilTheyDie)
{
    TestPc pc;
    ASSERT_TRUE(pc::RegisterThisProcess("tolvane"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        pc::RegisterThisProcess("faltrem");
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    auto names = [] {
        std::vector<std::string> found;
        for (const pc::RunningProgram &p : pc::ListRunningPrograms())
            found.push_back(p.name + "/" + std::to_string(p.pid == static_cast<int>(p.threadId)));
        std::sort(found.begin(), found.end());
        return found;
    };
    EXPECT_EQ(names(), (std::vector<std::string>{"faltrem/1", "tolvane/1"}));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(names(), (std::vector<std::string>{"tolvane/1"})) << "the dead one is pruned";
    pc::UnregisterThisProcess();
    EXPECT_TRUE(pc::ListRunningPrograms().empty());
}

}  // namespace
