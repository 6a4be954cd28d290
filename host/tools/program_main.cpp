// The host's main(): attach the simulated PC, start the terminal, enter this
// program in the PC's table, run the program's WinMain and restore the
// terminal before its result becomes the exit code.
#include <windows.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pc/machine.h"
#include "pc/power.h"
#include "pc/session.h"
#include "terminal/terminal.h"
#include "user/session_end.h"
#include "user/thread_messages.h"

namespace {

// How long a program may take over its end of session before it is ended
// anyway: Windows' own default wait, and more than the 17 s Tolvane may spend
// stopping a fix companion that does not answer.
constexpr std::int64_t kWaitToKillMs = 20'000;

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
    user::SetHungEndHandler(kWaitToKillMs, [&terminal] {
        // The program's thread is stuck in its end, so nothing else draws.
        terminal.Restore();
        _exit(0);
    });

    int result;
    try {
        result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
    } catch (const user::ProgramEnded &) {
        result = 0;
    } catch (const terminal::TerminalMissing &missing) {
        terminal.Close();
        return refuse(missing.why);
    }
    terminal.Close();
    return result;
}
