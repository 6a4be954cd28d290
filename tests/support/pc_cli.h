// tolvane-pc run as a child, as a person would run it, and a host program
// that refuses the end of the session, for the tests of its commands.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "pc/session.h"

namespace pctest {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline std::string Drain(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return text;
}

// tolvane-pc with `args`, in this process's environment (TOLVANE_PC and all).
inline CliRun Cli(const std::vector<std::string> &args)
{
    std::string program = std::string(TOLVANE_BINARY_DIR) + "/tolvane-pc";
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {-1, "", "pipe"};
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        std::vector<char *> argv{program.data()};
        for (const std::string &arg : args)
            argv.push_back(const_cast<char *>(arg.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    CliRun run{0, Drain(out[0]), Drain(err[0])};
    int status = 0;
    waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Kills and reaps a child the test has not reaped itself (pid 0) when the
// test ends, whichever way it ends. Only a real child: kill() of 0 or less
// would signal this process's whole group, ctest with it.
struct KillAtEnd {
    pid_t &pid;
    ~KillAtEnd()
    {
        if (pid > 0 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
    }
};

// A running host program on the attached PC that refuses the end of the
// session by ignoring SIGTERM; SIGHUP, which cannot be refused, still ends
// it. -1 when it could not be started or registered.
inline pid_t StartRefusingProgram()
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        signal(SIGTERM, SIG_IGN);
        char ok = pc::RegisterThisProcess("refuser") ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    char ok = 0;
    if (child > 0 && (read(ready[0], &ok, 1) != 1 || ok != 'y')) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        child = -1;
    }
    close(ready[0]);
    close(ready[1]);
    return child;
}

// An environment variable set for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name)
    {
        const char *old = getenv(name);
        hadOld_ = old != nullptr;
        if (old)
            old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv()
    {
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *name_;
    bool hadOld_ = false;
    std::string old_;
};

}  // namespace pctest
