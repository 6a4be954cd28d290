// Process and thread records from /proc.
#include "pc/process.h"

#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pc::detail {

namespace {

struct ProcessStat {
    char state = 0;                // field 3: R, S, D, Z (ended, not yet reaped), ...
    std::uint64_t startTicks = 0;  // field 22: clock ticks since boot
};

// A /proc stat file; all zero when the process or thread is gone.
ProcessStat ReadStat(const char *path)
{
    ProcessStat stat;
    FILE *file = std::fopen(path, "r");
    if (!file)
        return stat;
    char line[1024];
    std::size_t got = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[got] = '\0';
    // The command name may hold spaces and parentheses; fields follow the last ')'.
    const char *p = std::strrchr(line, ')');
    if (!p || p[1] != ' ' || !p[2])
        return stat;
    stat.state = p[2];
    int field = 2;
    for (++p; *p && field < 22; ++p)
        if (*p == ' ')
            ++field;
    if (field == 22)
        stat.startTicks = std::strtoull(p, nullptr, 10);
    return stat;
}

ProcessStat ReadProcessStat(int pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    return ReadStat(path);
}

bool Ended(char state)
{
    return state == 'Z' || state == 'X';
}

}  // namespace

std::uint64_t ProcessStartTicks(int pid)
{
    return ReadProcessStat(pid).startTicks;
}

bool ProcessAlive(int pid, std::uint64_t startTicks)
{
    // Zero and negative pids name process groups, never one process.
    if (pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH))
        return false;
    ProcessStat stat = ReadProcessStat(pid);
    if (Ended(stat.state))
        return false;
    return stat.startTicks == 0 || stat.startTicks == startTicks;
}

bool ThreadAlive(int pid, std::uint32_t tid)
{
    char path[96];
    std::snprintf(path, sizeof path, "/proc/%d/task/%u/stat", pid, tid);
    ProcessStat stat = ReadStat(path);
    return stat.state != 0 && !Ended(stat.state);
}

bool ThreadExists(std::uint32_t tid)
{
    // A thread's id names it under /proc too, though only processes are listed.
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%u", tid);
    struct stat info;
    return tid != 0 && stat(path, &info) == 0;
}

}  // namespace pc::detail
