// Making and attaching PCs: an existing PC or a foreign file is never replaced
// unless asked, and the time source is one for every process on the PC.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "pc/session.h"
#include "pc_fixture.h"

namespace {

namespace fs = std::filesystem;
using pctest::TestPc;

std::string Contents(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A new file in its place: the one this process has mapped stays intact.
void Replace(const fs::path &file, const std::string &content)
{
    std::ofstream(file.string() + ".new", std::ios::binary) << content;
    fs::rename(file.string() + ".new", file);
}

std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const pc::PcError &error) {
        return error.what();
    }
    return "(no error)";
}

TEST(PcMachine, AnExistingPcIsReplacedOnlyWhenAsked)
{
    TestPc pc;
    pc::CreateOptions options;
    options.virtualTime = true;
    EXPECT_NE(ErrorOf([&] { pc::Create(pc.Directory(), options); }).find("already exists"),
              std::string::npos);
    options.replaceExisting = true;
    options.profile = "legacy-rtc";
    EXPECT_EQ(ErrorOf([&] { pc::Create(pc.Directory(), options); }), "(no error)");
    EXPECT_NE(ErrorOf([&] {
                  options.profile = "no-such-pc";
                  pc::Create(pc.Directory(), options);
              }).find("unknown profile 'no-such-pc'"),
              std::string::npos);
}

TEST(PcMachine, ForeignStateFilesAreRefusedAndLeftAlone)
{
    TestPc pc;
    fs::path state = fs::path(pc.Directory()) / "state";
    std::string original = Contents(state);

    // The same file with another layout version in its header.
    std::string older = original;
    older[8] = static_cast<char>(older[8] + 1);
    Replace(state, older);
    EXPECT_NE(ErrorOf([&] { pc::Attach(pc.Directory()); }).find("another version"),
              std::string::npos);

    Replace(state, "#!/bin/sh\necho not a PC\n");
    EXPECT_NE(ErrorOf([&] { pc::Attach(pc.Directory()); }).find("not a simulated PC"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { pc::Create(pc.Directory(), {}); }).find("already exists"),
              std::string::npos);
    EXPECT_EQ(Contents(state), "#!/bin/sh\necho not a PC\n");

    EXPECT_NE(ErrorOf([&] { pc::Attach(pc.Directory() + "/nowhere"); }).find("no PC in"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  pc::Create("/dev/null/pc", {});
              }).find("cannot create the PC directory"),
              std::string::npos);
}

TEST(PcMachine, VirtualTimeIsSharedByEveryProcess)
{
    TestPc pc("2000-01-01 00:00:00");
    std::int64_t start = pc::Now();
    pid_t child = fork();
    if (child == 0) {
        pc::Attach(pc.Directory());
        pc::AdvanceVirtualTime(5'000'000'000);
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    EXPECT_EQ(pc::Now() - start, 5'000'000'000);
}

TEST(PcMachine, WaitForTimeChangeWakesWhenTheClockMoves)
{
    TestPc pc;
    auto begin = std::chrono::steady_clock::now();
    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        pc::WaitForTimeChange(5'000'000);
        woke = true;
    });
    // Whenever the waiter gets to wait, the next move wakes it.
    while (!woke) {
        pc::AdvanceVirtualTime(1'000'000);
        std::this_thread::yield();
    }
    waiter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
}

// A thread told to stop while it waits on the clock hears of it at once, not
// after its wait; the clock stays where it was.
TEST(PcMachine, WakeTimeWaitersWakesWithoutMovingTheClock)
{
    TestPc pc;
    const std::int64_t before = pc::Now();
    auto begin = std::chrono::steady_clock::now();
    std::atomic<bool> stop{false}, woke{false};
    std::thread waiter([&] {
        while (!stop)
            pc::WaitForTimeChange(5'000'000);
        woke = true;
    });
    // Most likely waiting by then; if not yet, the next wake finds it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
    while (!woke) {
        pc::WakeTimeWaiters();
        std::this_thread::yield();
    }
    waiter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    EXPECT_EQ(pc::Now(), before);
}

}  // namespace
