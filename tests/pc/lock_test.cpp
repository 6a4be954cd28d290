// The PC's lock when its holder has ended without letting go (killed, or a
// file copied while a program held it): the next attach or port access takes
// it over, says so and checks the state. A holder that still runs is waited
// for, and the lock keeps processes and threads apart.
#include <gtest/gtest.h>

#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "pc/machine.h"
#include "pc/rtc.h"
#include "pc/state.h"
#include "pc_fixture.h"
#include "pcio.h"

namespace {

using pc::detail::SharedState;
using pctest::TestPc;

std::string TakenOver(pid_t holder)
{
    return "the PC's lock was held by process " + std::to_string(holder) +
           ", which has ended without letting go; taken over, and the PC's state checked";
}

// A child, attached as a program of its own, that takes the PC's lock as
// `take` does and is killed with it: its pid once it has ended.
pid_t HolderKilledWithTheLock(const std::string &directory, void (*take)())
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        pc::Attach(directory);
        take();
        if (write(ready[1], "y", 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    char ok = 0;
    bool held = read(ready[0], &ok, 1) == 1;
    close(ready[0]);
    close(ready[1]);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return held ? child : -1;
}

void InterruptsOff()
{
    DisableInterrupts();
}

void InAScope()
{
    // Never left: the process ends inside it.
    new pc::detail::StateLock(*pc::detail::Attached());
}

void InterruptsOffAndAFieldDamaged()
{
    DisableInterrupts();
    pc::detail::Attached()->rtc.index = 200;
}

TEST(PcLock, AHolderKilledWithTheLockIsTakenOverAtTheNextAttachWhichSaysSo)
{
    struct Case {
        const char *name;
        void (*take)();
    } cases[] = {{"interrupts off", InterruptsOff}, {"a scope of its own", InAScope}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestPc pc;
        pid_t holder = HolderKilledWithTheLock(pc.Directory(), c.take);
        ASSERT_GT(holder, 0);
        EXPECT_EQ(pc::Attach(pc.Directory()), TakenOver(holder));
        pc::LockTakeovers takeovers = pc::CountLockTakeovers();
        EXPECT_EQ(takeovers.count, 1u);
        EXPECT_EQ(takeovers.last, "process " + std::to_string(holder));
        EXPECT_EQ(pc::Attach(pc.Directory()), "") << "the lock was left taken";
        EXPECT_TRUE(pc::DecodeRtc(pc::RtcRegisters()).valid);
    }
}

TEST(PcLock, AProgramAlreadyAttachedTakesTheLockOverAtItsNextPortAccess)
{
    TestPc pc("1999-12-31 23:59:58");
    pid_t holder = HolderKilledWithTheLock(pc.Directory(), InterruptsOff);
    ASSERT_GT(holder, 0);
    PortWriteByte(CMOS_INDEX_PORT, RTC_YEAR);
    EXPECT_EQ(PortReadByte(CMOS_DATA_PORT), 0x99) << "the year";
    EXPECT_EQ(pc::CountLockTakeovers().count, 1u);
}

TEST(PcLock, AStateDamagedUnderADeadHoldersLockIsRefusedNotUsed)
{
    TestPc pc;
    pid_t holder = HolderKilledWithTheLock(pc.Directory(), InterruptsOffAndAFieldDamaged);
    ASSERT_GT(holder, 0);
    try {
        pc::RtcRegisters();
        ADD_FAILURE() << "a damaged state was used";
    } catch (const pc::PcError &error) {
        EXPECT_EQ(std::string(error.what()),
                  "the PC's state file, its lock taken over from process " +
                      std::to_string(holder) +
                      " which had ended holding it, is damaged: rtc.index is 200, outside "
                      "0..127; replace it with 'tolvane-pc create --force'");
    }
    try {
        pc::Attach(pc.Directory());
        ADD_FAILURE() << "a damaged state was attached";
    } catch (const pc::PcError &error) {
        EXPECT_EQ(std::string(error.what()),
                  pc.Directory() +
                      "/state is damaged: rtc.index is 200, outside 0..127; replace it with "
                      "'tolvane-pc create --force'");
    }
}

// Lock words as a file can bring them: copied while a program held the PC,
// kept over a reboot, or written by hand.
TEST(PcLock, ALockWordFromAFileIsTakenOverWhenItsHolderIsNotRunning)
{
    struct Case {
        const char *name;
        std::uint32_t word;
        pc::detail::LockHolder holder;
        const char *from;
    } cases[] = {
        {"a thread id no process has", 0x3FFFFFF0, {}, "process 1073741808"},
        {"waiters but no holder", pc::detail::kLockWaiters, {}, "a process that left no id"},
        // Pid 1 runs, but it is not the process that started at that tick.
        {"a pid reused since", 1 | pc::detail::kLockWaiters, {1, 1, 0xFFFFFFFFFFFF}, "process 1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestPc pc;
        SharedState &state = *pc::detail::Attached();
        state.holder = c.holder;
        state.lock.store(c.word);
        EXPECT_EQ(pc::Attach(pc.Directory()),
                  std::string("the PC's lock was held by ") + c.from +
                      ", which has ended without letting go; taken over, and the PC's state "
                      "checked");
        EXPECT_EQ(pc::detail::Attached()->lock.load(), 0u);
    }
}

TEST(PcLock, AHolderThatStillRunsIsWaitedForNotTakenOver)
{
    TestPc pc;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        pc::Attach(pc.Directory());
        DisableInterrupts();
        if (write(ready[1], "y", 1) != 1)
            _exit(1);
        // Held for several of a waiter's looks at its holder.
        usleep(350'000);
        pc::detail::Attached()->atoms[0].references = 7;
        EnableInterrupts();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    EXPECT_EQ(pc::Attach(pc.Directory()), "");
    EXPECT_EQ(pc::detail::Attached()->atoms[0].references, 7u)
        << "the lock was taken while its holder still held it";
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(pc::CountLockTakeovers().count, 0u);
    close(ready[0]);
    close(ready[1]);
}

// Two processes of two threads each count in the shared state, under the
// lock, with a yield now and then between reading and writing.
TEST(PcLock, KeepsProcessesAndThreadsApart)
{
    TestPc pc;
    constexpr int kRounds = 3000;
    auto count = [] {
        SharedState &state = *pc::detail::Attached();
        for (int i = 0; i < kRounds; ++i) {
            pc::detail::StateLock lock(state);
            std::uint32_t seen = state.atoms[0].references;
            if (i % 16 == 0)
                sched_yield();
            state.atoms[0].references = seen + 1;
        }
    };
    auto twoThreads = [&] {
        std::thread other(count);
        count();
        other.join();
    };
    pid_t child = fork();
    if (child == 0) {
        pc::Attach(pc.Directory());
        twoThreads();
        _exit(0);
    }
    twoThreads();
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(pc::detail::Attached()->atoms[0].references, 4u * kRounds);
    EXPECT_EQ(pc::CountLockTakeovers().count, 0u);
}

}  // namespace
