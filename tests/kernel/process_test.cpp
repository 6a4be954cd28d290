// Processes as the fix control uses them: finding a program by name, starting
// exactly the file meant, waiting with time-outs on the PC's clock, killing,
// reaping.
#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "companion_fixture.h"
#include "kernel/module.h"
#include "kernel/process.h"
#include "pc_fixture.h"

namespace {

using namespace companiontest;
namespace fs = std::filesystem;

const auto kExecutable = fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read;
const auto kPlainFile = fs::perms::owner_read | fs::perms::owner_write;

class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string &directory) : old_(fs::current_path())
    {
        fs::current_path(directory);
    }
    ~ScopedCurrentDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

class ScopedProgramDirectory {
public:
    explicit ScopedProgramDirectory(const std::string &directory)
    {
        kernel::OverrideModuleFileName(directory + "/tolvane");
    }
    ~ScopedProgramDirectory() { kernel::OverrideModuleFileName(""); }
};

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Found(const char *name, const char *extension = nullptr)
{
    char buffer[MAX_PATH];
    DWORD length = SearchPathA(nullptr, name, extension, MAX_PATH, buffer, nullptr);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(buffer, length);
}

// A shell script as a program: the kernel runs it like any executable.
void WriteScript(const std::string &path, const std::string &body)
{
    WriteFile(path, "#!/bin/sh\n" + body + "\n", kExecutable);
}

struct Started {
    BOOL ok;
    DWORD error;
    PROCESS_INFORMATION pi;
};

Started Launch(const char *application, std::string commandLine, const char *directory = nullptr)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    Started s{};
    s.ok = CreateProcessA(application, commandLine.empty() ? nullptr : commandLine.data(), nullptr,
                          nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, directory, &si, &s.pi);
    s.error = s.ok ? 0 : GetLastError();
    return s;
}

TEST(ProcessSearch, LooksInTheProgramDirectoryThenTheCurrentOneThenThePath)
{
    TempDir root;
    for (const char *d : {"program", "current", "path"}) {
        fs::create_directories(root / d);
        WriteFile(root / d + "/tool.exe", "", kPlainFile);
    }
    ScopedProgramDirectory program(root / "program");
    ScopedCurrentDirectory current(root / "current");
    ScopedSearchPath path(root / "path");

    char buffer[MAX_PATH];
    char *filePart = nullptr;
    DWORD length = SearchPathA(nullptr, "tool.exe", nullptr, MAX_PATH, buffer, &filePart);
    EXPECT_EQ(std::string(buffer), root / "program/tool.exe");
    EXPECT_EQ(length, (root / "program/tool.exe").size());
    EXPECT_STREQ(filePart, "tool.exe");

    fs::remove(root / "program/tool.exe");
    EXPECT_EQ(Found("tool.exe"), root / "current/tool.exe");
    fs::remove(root / "current/tool.exe");
    EXPECT_EQ(Found("tool.exe"), root / "path/tool.exe");
    fs::remove(root / "path/tool.exe");
    SetLastError(0);
    EXPECT_EQ(SearchPathA(nullptr, "tool.exe", nullptr, MAX_PATH, buffer, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ProcessSearch, BufferSizesExtensionsAndDirectories)
{
    TempDir root;
    ScopedProgramDirectory program(root.Path());
    WriteFile(root / "tool.exe", "", kPlainFile);
    WriteFile(root / "notes.txt", "", kPlainFile);
    fs::create_directories(root / "folder.exe");

    const std::string full = root / "tool.exe";
    const DWORD size = static_cast<DWORD>(full.size());
    char buffer[4096] = "untouched";
    // One short of room for the terminator: the size it needs, buffer left alone.
    EXPECT_EQ(SearchPathA(nullptr, "tool.exe", nullptr, size, buffer, nullptr), size + 1);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(SearchPathA(nullptr, "tool.exe", nullptr, size + 1, buffer, nullptr), size);
    EXPECT_EQ(std::string(buffer), full);

    EXPECT_EQ(Found("tool", ".exe"), full) << "the default extension is added to a bare name";
    EXPECT_EQ(Found("notes.txt", ".exe"), root / "notes.txt") << "nor to a name with its own";
    {
        ScopedCurrentDirectory current(root.Path());
        EXPECT_EQ(Found("./tool.exe"), full) << "a name relative to the current directory";
    }
    EXPECT_EQ(Found("folder.exe"), "") << "a directory is no file";
    EXPECT_EQ(Found("Tool.exe"), "") << "host names match exactly";
}

// The fault the fix control mends: an unquoted path with a blank in it,
// passed as the whole command line, starts whatever its first word names.
TEST(ProcessStart, UnquotedPathWithABlankStartsTheFileNamedByItsFirstWord)
{
    TempDir root;
    const std::string marker = root / "marker";
    fs::create_directories(root / "Program Files/Tolvane");
    const std::string meant = root / "Program Files/Tolvane/faltrem.exe";
    WriteScript(meant, "echo meant > '" + marker + "'");
    WriteScript(root / "Program.exe", "echo decoy > '" + marker + "'");

    struct Case {
        const char *how;
        const char *application;
        std::string commandLine;
        const char *started;
    } cases[] = {
        {"unquoted, no application name", nullptr, meant, "decoy\n"},
        {"quoted, no application name", nullptr, "\"" + meant + "\"", "meant\n"},
        {"application name and quoted path", meant.c_str(), "\"" + meant + "\"", "meant\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        fs::remove(marker);
        Started s = Launch(c.application, c.commandLine);
        ASSERT_TRUE(s.ok) << "error " << s.error;
        EXPECT_EQ(Finish(s.pi), 0u);
        EXPECT_EQ(ReadAll(marker), c.started);
    }

    fs::remove(root / "Program.exe");
    fs::remove(marker);
    Started s = Launch(nullptr, meant);
    ASSERT_TRUE(s.ok) << "with no decoy the longer prefix is tried: error " << s.error;
    Finish(s.pi);
    EXPECT_EQ(ReadAll(marker), "meant\n");
}

TEST(ProcessStart, FilesThatAreNoProgramsFailWithWindowsErrors)
{
    TempDir root;
    WriteFile(root / "plain.exe", "MZ", kPlainFile);
    WriteFile(root / "garbage.exe", "not a program", kExecutable);
    fs::create_directories(root / "folder.exe");
    WriteScript(root / "fine.exe", "exit 0");

    struct Case {
        std::string application;
        const char *directory;
        DWORD error;
    } cases[] = {
        {root / "missing.exe", nullptr, ERROR_FILE_NOT_FOUND},
        {root / "plain.exe", nullptr, ERROR_ACCESS_DENIED},
        {root / "garbage.exe", nullptr, ERROR_BAD_EXE_FORMAT},
        {root / "folder.exe", nullptr, ERROR_ACCESS_DENIED},
        {root / "fine.exe", "/no/such/directory", ERROR_DIRECTORY},
    };
    const std::uint64_t before = kernel::StartedProcessCount();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.application);
        Started s = Launch(c.application.c_str(), "\"" + c.application + "\"", c.directory);
        EXPECT_FALSE(s.ok);
        EXPECT_EQ(s.error, c.error);
    }
    EXPECT_EQ(kernel::StartedProcessCount(), before);
    EXPECT_FALSE(Launch(nullptr, "\"" + (root / "missing.exe") + "\"").ok);
}

TEST(ProcessStart, ChildGetsItsArgumentsThePcAndItsDirectory)
{
    pctest::TestPc pc;
    TempDir root;
    const std::string out = root / "out";
    WriteScript(root / "show.exe",
                "{ printf '[%s]\\n' \"$@\"; echo \"pc=$TOLVANE_PC\"; echo \"cwd=$(pwd)\"; } > '" +
                    out + "'");
    // Blanks inside quotes, escaped quotes, backslashes before a quote and
    // before anything else, and a doubled quote inside quotes.
    Started s = Launch((root / "show.exe").c_str(), R"(show "a b" c\"d e\\"f g" h\i "j""k")",
                       root.Path().c_str());
    ASSERT_TRUE(s.ok) << "error " << s.error;
    Finish(s.pi);
    EXPECT_EQ(ReadAll(out), "[a b]\n"
                            "[c\"d]\n"
                            "[e\\f g]\n"
                            "[h\\i]\n"
                            "[j\"k]\n"
                            "pc=" +
                                pc.Directory() +
                                "\n"
                                "cwd=" +
                                root.Path() + "\n");
}

TEST(ProcessWait, TimeOutsCountOnThePcClockAndTerminateEndsTheWait)
{
    pctest::TestPc pc;
    StartedProcessesGuard guard;
    Started s = Launch("/bin/sleep", "sleep 30");
    ASSERT_TRUE(s.ok) << "error " << s.error;
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(s.pi.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    auto wait =
        std::async(std::launch::async, [&] { return WaitForSingleObject(s.pi.hProcess, 100); });
    EXPECT_EQ(wait.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "100 ms of real time ended a wait counted on the virtual clock";
    pctest::TestPc::Advance(0.1);
    ASSERT_EQ(wait.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(wait.get(), static_cast<DWORD>(WAIT_TIMEOUT));

    auto endless =
        std::async(std::launch::async, [&] { return WaitForSingleObject(s.pi.hThread, INFINITE); });
    EXPECT_TRUE(TerminateProcess(s.pi.hProcess, 7));
    ASSERT_EQ(endless.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_EQ(endless.get(), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(ProcessGone(s.pi.dwProcessId));
    EXPECT_TRUE(GetExitCodeProcess(s.pi.hProcess, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(TerminateProcess(s.pi.hProcess, 8))
        << "an ended process cannot be terminated again";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    EXPECT_TRUE(CloseHandle(s.pi.hThread));
    EXPECT_EQ(WaitForSingleObject(s.pi.hProcess, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(CloseHandle(s.pi.hProcess));
    EXPECT_FALSE(CloseHandle(s.pi.hProcess));
    EXPECT_EQ(WaitForSingleObject(s.pi.hProcess, 0), WAIT_FAILED);
}

TEST(ProcessWait, EndOfTheChildEndsTheWaitAtOnceWithItsCode)
{
    pctest::TestPc pc;
    StartedProcessesGuard guard;
    Started s = Launch("/bin/sh", "sh -c \"exit 3\"");
    ASSERT_TRUE(s.ok) << "error " << s.error;
    // No virtual time passes: only the child's end can end this wait.
    auto wait =
        std::async(std::launch::async, [&] { return WaitForSingleObject(s.pi.hProcess, 5000); });
    ASSERT_EQ(wait.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(wait.get(), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(Finish(s.pi), 3u);
}

TEST(ProcessWait, ChildWhoseHandlesAreClosedIsStillReaped)
{
    Started s = Launch("/bin/sleep", "sleep 0.2");
    ASSERT_TRUE(s.ok) << "error " << s.error;
    CloseHandle(s.pi.hThread);
    CloseHandle(s.pi.hProcess);
    EXPECT_TRUE(Eventually([&] { return ProcessGone(s.pi.dwProcessId); })) << "left a zombie";
}

}  // namespace
