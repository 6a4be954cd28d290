// Where a Windows program name leads on the host. Programs are host
// executables named exactly as on Windows ("faltrem.exe"), so a name finds
// its executable with Windows' search order: the program's own directory, the
// current directory, then the directories of $PATH (the host has no system or
// Windows directory). Names match exactly, case included, as host files do.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kernel {

// A Windows name on the host: backslashes separate directories.
std::string HostPathOf(const std::string &name);

// A host path made absolute against the current directory.
std::string AbsoluteHostPath(const std::string &path);

// The directories searched when no path is given, in order, each absolute.
std::vector<std::string> StandardSearchDirectories();

// The absolute path of the first file (not a directory) that `name` names:
// an absolute name or one starting with "./" or "../" stands for itself, any
// other is looked for in each of `directories`. `extension` (".exe") is
// added first when the name's last part has no extension of its own.
std::optional<std::string> FindProgramFile(const std::string &name, const char *extension,
                                           const std::vector<std::string> &directories);

// A command line split into arguments the way a Windows program's start-up
// code splits it: the first one ends at its closing quote or first blank.
std::vector<std::string> SplitCommandLine(const std::string &commandLine);

// The file CreateProcessA starts for a command line when it is given no
// application name: a quoted first word is the name; an unquoted one is tried
// at every blank in turn, shortest first ("C:\Program", then "C:\Program
// Files\..."), and the first that names a file wins.
std::optional<std::string> ImageOfCommandLine(const std::string &commandLine);

}  // namespace kernel
