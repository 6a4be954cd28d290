// Finding program files by their Windows names, and reading a command line as
// Windows does: SearchPathA, and the helpers CreateProcessA uses.
#include "kernel/process_image.h"

#include <sys/stat.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "kernel/module.h"

namespace kernel {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsFile(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string CurrentDirectory()
{
    std::error_code error;
    std::string cwd = std::filesystem::current_path(error).string();
    return error ? std::string("/") : cwd;
}

std::string WithExtension(const std::string &name, const char *extension)
{
    if (!extension || !*extension)
        return name;
    std::size_t slash = name.rfind('/');
    std::size_t dot = name.rfind('.');
    bool hasOwn = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return hasOwn ? name : name + extension;
}

std::string Join(const std::string &directory, const std::string &name)
{
    return directory.empty() || directory.back() == '/' ? directory + name : directory + "/" + name;
}

bool StandsForItself(const std::string &name)
{
    return name[0] == '/' || name.starts_with("./") || name.starts_with("../");
}

std::optional<std::string> FindCandidate(const std::string &file, bool isPath,
                                         const std::vector<std::string> &directories)
{
    if (isPath) {
        std::string path = AbsoluteHostPath(file);
        return IsFile(path) ? std::optional(path) : std::nullopt;
    }
    for (const std::string &directory : directories) {
        std::string path = Join(directory, file);
        if (IsFile(path))
            return path;
    }
    return std::nullopt;
}

std::vector<std::string> SplitList(const std::string &list, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(separator, start);
        if (end == std::string::npos)
            end = list.size();
        // Empty entries name nothing on Windows.
        if (end > start)
            parts.push_back(AbsoluteHostPath(HostPathOf(list.substr(start, end - start))));
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::string HostPathOf(const std::string &name)
{
    std::string path(name);
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::string AbsoluteHostPath(const std::string &path)
{
    std::filesystem::path absolute =
        !path.empty() && path[0] == '/' ? path : CurrentDirectory() + "/" + path;
    // "./faltrem.exe" is found as the plain full path, as Windows reports it.
    return absolute.lexically_normal().string();
}

std::vector<std::string> StandardSearchDirectories()
{
    std::vector<std::string> directories;
    std::string module = ModuleFileName();
    std::size_t slash = module.rfind('/');
    if (slash != std::string::npos)
        directories.push_back(slash == 0 ? "/" : module.substr(0, slash));
    directories.push_back(CurrentDirectory());
    if (const char *path = std::getenv("PATH")) {
        // The host's own list, so its separator is the host's.
        std::vector<std::string> more = SplitList(path, ':');
        directories.insert(directories.end(), more.begin(), more.end());
    }
    return directories;
}

std::optional<std::string> FindProgramFile(const std::string &name, const char *extension,
                                           const std::vector<std::string> &directories)
{
    if (name.empty())
        return std::nullopt;
    std::string file = WithExtension(HostPathOf(name), extension);
    return FindCandidate(file, StandsForItself(file), directories);
}

std::vector<std::string> SplitCommandLine(const std::string &commandLine)
{
    std::vector<std::string> args;
    std::size_t i = 0, n = commandLine.size();
    while (i < n && IsBlank(commandLine[i]))
        ++i;
    if (i == n)
        return args;

    // The program name knows no escapes: it runs to its closing quote or blank.
    std::string first;
    if (commandLine[i] == '"') {
        std::size_t close = commandLine.find('"', i + 1);
        if (close == std::string::npos)
            close = n;
        first = commandLine.substr(i + 1, close - i - 1);
        i = close < n ? close + 1 : n;
    } else {
        while (i < n && !IsBlank(commandLine[i]))
            first += commandLine[i++];
    }
    args.push_back(first);

    for (;;) {
        while (i < n && IsBlank(commandLine[i]))
            ++i;
        if (i == n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(commandLine[i]))) {
            if (commandLine[i] == '\\') {
                std::size_t slashes = 0;
                while (i < n && commandLine[i] == '\\')
                    ++slashes, ++i;
                // Backslashes are literal unless a quote follows: then each
                // pair is one backslash and an odd one escapes the quote.
                if (i < n && commandLine[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (commandLine[i] == '"') {
                if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += commandLine[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::optional<std::string> ImageOfCommandLine(const std::string &commandLine)
{
    std::size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start]))
        ++start;
    std::vector<std::string> candidates;
    if (start < commandLine.size() && commandLine[start] == '"') {
        std::size_t close = commandLine.find('"', start + 1);
        candidates.push_back(commandLine.substr(
            start + 1, (close == std::string::npos ? commandLine.size() : close) - start - 1));
    } else {
        for (std::size_t i = start; i <= commandLine.size(); ++i)
            if ((i == commandLine.size() || IsBlank(commandLine[i])) && i > start &&
                !IsBlank(commandLine[i - 1]))
                candidates.push_back(commandLine.substr(start, i - start));
    }
    std::vector<std::string> directories = StandardSearchDirectories();
    for (const std::string &candidate : candidates) {
        std::string file = WithExtension(HostPathOf(candidate), ".exe");
        // A name with a directory in it is not searched for.
        if (auto found = FindCandidate(file, file.find('/') != std::string::npos, directories))
            return found;
    }
    return std::nullopt;
}

}  // namespace kernel

extern "C" DWORD WINAPI SearchPathA(LPCSTR lpPath, LPCSTR lpFileName, LPCSTR lpExtension,
                                    DWORD nBufferLength, LPSTR lpBuffer, LPSTR *lpFilePart)
{
    if (!lpFileName || !*lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // A path given by the caller is a Windows list, separated by semicolons.
    std::vector<std::string> directories =
        lpPath ? kernel::SplitList(lpPath, ';') : kernel::StandardSearchDirectories();
    std::optional<std::string> found =
        kernel::FindProgramFile(lpFileName, lpExtension, directories);
    if (!found) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    // Too small a buffer is left alone; the size it would need comes back.
    if (!lpBuffer || found->size() >= nBufferLength)
        return static_cast<DWORD>(found->size() + 1);
    std::memcpy(lpBuffer, found->c_str(), found->size() + 1);
    if (lpFilePart)
        *lpFilePart = lpBuffer + found->rfind('/') + 1;
    return static_cast<DWORD>(found->size());
}
