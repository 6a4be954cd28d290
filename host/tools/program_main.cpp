// The host's main(): attach the simulated PC, start the terminal, enter this
// program in the PC's table, install the help viewer, run the program's
// WinMain and restore the terminal before its result becomes the exit code.
// An exception that escapes the program still lets it tidy up before it ends.
#include <windows.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "pc/machine.h"
#include "pc/power.h"
#include "pc/session.h"
#include "terminal/terminal.h"
#include "user/session_end.h"
#include "user/thread_messages.h"
#include "winhelp/viewer.h"

namespace {

// The exit status of a program that an internal error ended, after it had
// put back what it could.
constexpr int kFaultStatus = 3;

std::string WhatWentWrong(const std::exception &e)
{
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return "out of memory";
    return e.what();
}

// Said once the program has ended after an internal error: by main(), or by
// the watch that ends a program stuck in its end. Set before `gFaulted`.
std::string gFaultLine;
std::atomic<bool> gFaulted{false};

}  // namespace

int main(int argc, char **argv)
{
    const char *slash = std::strrchr(argv[0], '/');
    const char *name = slash ? slash + 1 : argv[0];
    // Each way to end before the program's windows exist: one line, status 2.
    auto refuse = [name](const std::string &why) {
        std::fprintf(stderr, "%s: %s\n", name, why.c_str());
        return 2;
    };
    const char *const kPcOff =
        "the simulated PC is switched off; switch it on with 'tolvane-pc power on'";

    try {
        std::string note = pc::AttachDefault(true);
        if (!note.empty())
            std::fprintf(stderr, "%s: %s\n", name, note.c_str());
    } catch (const pc::PcError &error) {
        return refuse(error.what());
    }
    if (!pc::PoweredOn())
        return refuse(kPcOff);

    // The command line after the program's name, as Windows hands it over.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }

    // The terminal takes the end-of-session signals before the table names
    // this program to whoever sends them.
    terminal::Terminal terminal;
    terminal.Open();
    // The PC may have gone off since the look above; the table refuses then.
    if (!pc::RegisterThisProcess(name) && !pc::PoweredOn()) {
        terminal.Close();
        return refuse(kPcOff);
    }
    user::ReceiveThreadMessages();
    winhelp::InstallViewer();
    user::SetHungEndHandler(pc::WaitToKillMs(), [&terminal] {
        // The program's thread is stuck in its end, so nothing else draws.
        terminal.Restore();
        if (!gFaulted)
            _exit(0);
        std::fputs(gFaultLine.c_str(), stderr);
        _exit(kFaultStatus);
    });

    int result = 0;
    std::optional<std::string> fault;
    try {
        result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
    } catch (const user::ProgramEnded &) {
        result = 0;
    } catch (const terminal::TerminalMissing &missing) {
        terminal.Close();
        return refuse(missing.why);
    } catch (const std::exception &e) {
        fault = WhatWentWrong(e);
    }
    if (fault) {
        gFaultLine = std::string(name) + ": ended by an internal error (" + *fault + ")\n";
        gFaulted = true;
        bool tidied = false;
        // The program's windows are still there, and so is its state: its
        // own end of session puts back what it changed.
        try {
            tidied = user::EndSessionAfterFault();
        } catch (const terminal::TerminalMissing &) {
        }
        terminal.Close();
        std::string line = gFaultLine;
        if (!tidied)
            line.insert(line.size() - 1, "; what it changed may not have been put back");
        std::fputs(line.c_str(), stderr);
        return kFaultStatus;
    }
    terminal.Close();
    return result;
}
