// A simulated PC for one test: a fresh temporary directory holding a PC on the
// virtual clock at a given local date-time, attached to this process and named
// by TOLVANE_PC so that programs the test starts use it too. Local time equals
// UTC unless an offset is given. The directory goes with the object.
//
//     pctest::TestPc pc("1999-12-31 23:59:58", "legacy-rtc");
//     pc.Advance(2.0); // seconds of virtual time
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "pc/calendar.h"
#include "pc/machine.h"
#include "pc/timesource.h"
#include "pcio.h"

namespace pctest {

class TestPc {
public:
    explicit TestPc(const std::string &localTime = "1999-12-31 23:59:55",
                    const std::string &profile = "y2k-ready", int utcOffsetMinutes = 0)
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvane-pc-test-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary directory");
        directory_ = pattern;
        auto start = pc::ParseCivil(localTime);
        if (!start)
            throw std::runtime_error("not a local time: " + localTime);
        pc::CreateOptions options;
        options.profile = profile;
        options.virtualTime = true;
        options.hasUtcOffsetMinutes = true;
        options.utcOffsetMinutes = utcOffsetMinutes;
        options.virtualStartNs = pc::UnixNsFromLocal(*start, utcOffsetMinutes);
        pc::Create(directory_, options);
        pc::Attach(directory_);
        setenv("TOLVANE_PC", directory_.c_str(), 1);
    }
    ~TestPc()
    {
        unsetenv("TOLVANE_PC");
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    TestPc(const TestPc &) = delete;
    TestPc &operator=(const TestPc &) = delete;

    const std::string &Directory() const { return directory_; }

    static void Advance(double seconds)
    {
        pc::AdvanceVirtualTime(static_cast<std::int64_t>(seconds * 1e9));
    }
    // Moves the virtual clock to `ns` on the time source (never backwards).
    static void AdvanceTo(std::int64_t ns) { pc::AdvanceVirtualTime(ns - pc::Now()); }

private:
    std::string directory_;
};

// Leaves the PC's lock behind as a crash would: a child takes the PC (with
// interrupts off, which holds it) and is killed while it holds it. `holder`
// is the killed child's process id.
inline void KillAProcessHoldingThePc(pid_t &holder)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    holder = fork();
    if (holder == 0) {
        DisableInterrupts();
        if (write(ready[1], "y", 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
}

}  // namespace pctest
