// The host's main(): attach the simulated PC, enter this program in its table,
// start the terminal, run the program's WinMain and restore the terminal
// before its result becomes the exit code.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "pc/machine.h"
#include "pc/session.h"
#include "screen/terminal.h"

int main(int argc, char **argv)
{
    try {
        pc::AttachDefault(true);
    } catch (const pc::PcError &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    const char *slash = std::strrchr(argv[0], '/');
    pc::RegisterThisProcess(slash ? slash + 1 : argv[0]);

    // The command line after the program's name, as Windows hands it over.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }

    screen::Terminal terminal;
    terminal.Open();
    int result = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
    terminal.Close();
    return result;
}
