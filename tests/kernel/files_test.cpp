// Files over POSIX: the creation dispositions with Windows' last errors, reads
// at end of file, full disks and short writes, share mode 0 holding across
// host processes, symbolic links refused, and deleting.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

class KernelFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "tolvane-files-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(pattern.data()));
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const char *name) const { return (fs::path(dir_) / name).string(); }

    void Put(const char *name, const std::string &content) const
    {
        std::ofstream(Path(name), std::ios::binary) << content;
    }
    std::string Get(const char *name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    HANDLE Open(const char *name, DWORD disposition, DWORD share = 0,
                DWORD access = GENERIC_READ | GENERIC_WRITE) const
    {
        return CreateFileA(Path(name).c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::string dir_;
};

TEST_F(KernelFiles, DispositionsFollowWindows)
{
    struct Case {
        const char *what;
        DWORD disposition;
        bool exists;
        bool opens;
        DWORD lastError;  // after the call; 0xDEAD: left alone
        const char *contentAfter;
    } cases[] = {
        {"CREATE_NEW, absent", CREATE_NEW, false, true, 0xDEAD, ""},
        {"CREATE_NEW, present", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
        {"CREATE_ALWAYS, absent", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"CREATE_ALWAYS, present", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {"OPEN_EXISTING, absent", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"OPEN_EXISTING, present", OPEN_EXISTING, true, true, 0xDEAD, "old"},
        {"OPEN_ALWAYS, absent", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"OPEN_ALWAYS, present", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
        {"TRUNCATE_EXISTING, absent", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND,
         nullptr},
        {"TRUNCATE_EXISTING, present", TRUNCATE_EXISTING, true, true, 0xDEAD, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(Path("f"));
        if (c.exists)
            Put("f", "old");
        SetLastError(0xDEAD);
        HANDLE h = Open("f", c.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(GetLastError(), c.lastError);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(h));
        }
        EXPECT_EQ(fs::exists(Path("f")), c.contentAfter != nullptr);
        if (c.contentAfter) {
            EXPECT_EQ(Get("f"), c.contentAfter);
        }
    }
}

TEST_F(KernelFiles, BadPathsGetTheirOwnErrors)
{
    EXPECT_EQ(Open("missing/f", OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open("missing/f", CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    fs::create_directory(Path("d"));
    EXPECT_EQ(Open("d", OPEN_EXISTING, 0, GENERIC_READ), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(CreateFileA("", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(KernelFiles, ReadAtEndOfFileSucceedsWithNothing)
{
    Put("f", "0123456789");
    HANDLE h = Open("f", OPEN_EXISTING);
    char buffer[16];
    DWORD got = 99;
    ASSERT_TRUE(ReadFile(h, buffer, 16, &got, nullptr));
    EXPECT_EQ(got, 10u);
    ASSERT_TRUE(ReadFile(h, buffer, 16, &got, nullptr));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReadFile(h, buffer, 16, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(KernelFiles, AccessIsCheckedPerHandle)
{
    Put("f", "data");
    HANDLE reader = Open("f", OPEN_EXISTING, FILE_SHARE_READ, GENERIC_READ);
    DWORD done = 99;
    EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(done, 0u);
    HANDLE writer = Open("f", OPEN_EXISTING, FILE_SHARE_READ, GENERIC_WRITE);
    char c;
    EXPECT_FALSE(ReadFile(writer, &c, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(reader);
    CloseHandle(writer);
}

TEST_F(KernelFiles, FullDiskAndShortWritesFail)
{
    HANDLE full = CreateFileA("/dev/full", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(full, INVALID_HANDLE_VALUE);
    DWORD done = 99;
    EXPECT_FALSE(WriteFile(full, "0123456789abcdef", 16, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(done, 0u);
    CloseHandle(full);

    // A file size limit cuts the write after 10 of 16 bytes; in a child, so the
    // limit stays there.
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{10, 10};
        setrlimit(RLIMIT_FSIZE, &limit);
        HANDLE h = Open("short", CREATE_NEW);
        DWORD written = 99;
        BOOL ok = WriteFile(h, "0123456789abcdef", 16, &written, nullptr);
        _exit(!ok && written == 10 && GetLastError() == ERROR_DISK_FULL ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Get("short"), "0123456789");
}

TEST_F(KernelFiles, NoSharingExcludesOpensInThisAndOtherProcesses)
{
    Put("f", "saved record");
    HANDLE held = Open("f", OPEN_EXISTING);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("f", OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(held);

    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    if (child == 0) {
        HANDLE h = Open("f", OPEN_EXISTING);
        char byte = h != INVALID_HANDLE_VALUE ? 'y' : 'n';
        (void)!write(ready[1], &byte, 1);
        (void)!read(done[0], &byte, 1);
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    struct Attempt {
        DWORD disposition;
        DWORD error;
    } attempts[] = {{OPEN_EXISTING, ERROR_SHARING_VIOLATION},
                    {OPEN_ALWAYS, ERROR_SHARING_VIOLATION},
                    {CREATE_ALWAYS, ERROR_SHARING_VIOLATION},
                    {TRUNCATE_EXISTING, ERROR_SHARING_VIOLATION},
                    {CREATE_NEW, ERROR_FILE_EXISTS}};
    for (const Attempt &a : attempts) {
        EXPECT_EQ(Open("f", a.disposition), INVALID_HANDLE_VALUE) << a.disposition;
        EXPECT_EQ(GetLastError(), a.error) << a.disposition;
    }
    EXPECT_EQ(Get("f"), "saved record") << "a refused open must not truncate";
    (void)!write(done[1], "x", 1);
    waitpid(child, nullptr, 0);

    HANDLE after = Open("f", OPEN_EXISTING);
    EXPECT_NE(after, INVALID_HANDLE_VALUE) << "the lock goes with the other process's handle";
    CloseHandle(after);
}

TEST_F(KernelFiles, SharedOpensCoexist)
{
    Put("f", "x");
    HANDLE a = Open("f", OPEN_EXISTING, FILE_SHARE_READ, GENERIC_READ);
    HANDLE b = Open("f", OPEN_EXISTING, FILE_SHARE_READ, GENERIC_READ);
    EXPECT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open("f", OPEN_EXISTING), INVALID_HANDLE_VALUE) << "no sharing needs the file alone";
    CloseHandle(a);
    CloseHandle(b);
}

// Windows 95/98 have no symbolic links: a name that is one is refused however
// it is opened, and what it names stays as it was. A link on the way to the
// file is still followed.
TEST_F(KernelFiles, FileNameThatIsASymbolicLinkIsRefused)
{
    struct Disposition {
        DWORD disposition;
        DWORD error;
    } dispositions[] = {
        {OPEN_EXISTING, ERROR_ACCESS_DENIED},     {CREATE_NEW, ERROR_FILE_EXISTS},
        {OPEN_ALWAYS, ERROR_ACCESS_DENIED},       {CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {TRUNCATE_EXISTING, ERROR_ACCESS_DENIED},
    };
    const char *kinds[] = {"to a file", "dangling", "to a directory"};
    for (const char *kind : kinds) {
        fs::remove_all(Path("target"));
        fs::remove(Path("link"));
        if (kind == std::string("to a file"))
            Put("target", "not to be touched");
        else if (kind == std::string("to a directory"))
            fs::create_directory(Path("target"));
        fs::create_symlink(Path("target"), Path("link"));
        for (const Disposition &d : dispositions) {
            SCOPED_TRACE(std::string(kind) + ", disposition " + std::to_string(d.disposition));
            SetLastError(0xDEAD);
            EXPECT_EQ(Open("link", d.disposition), INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), d.error);
            EXPECT_TRUE(fs::is_symlink(Path("link")));
        }
        if (kind == std::string("to a file"))
            EXPECT_EQ(Get("target"), "not to be touched");
        else if (kind == std::string("dangling"))
            EXPECT_FALSE(fs::exists(Path("target"))) << "created through the link";
        else
            EXPECT_TRUE(fs::is_empty(Path("target")));
    }

    fs::remove(Path("link"));
    fs::create_symlink(Path("target"), Path("linked-directory"));
    HANDLE inside = Open("linked-directory/f", CREATE_NEW);
    EXPECT_NE(inside, INVALID_HANDLE_VALUE);
    CloseHandle(inside);
    EXPECT_TRUE(fs::exists(Path("target/f")));
}

TEST_F(KernelFiles, DeleteFileRemovesOnlyWhatWindowsWould)
{
    Put("plain", "x");
    Put("held", "x");
    Put("read-only", "x");
    fs::permissions(Path("read-only"), fs::perms::owner_read);
    fs::create_directory(Path("directory"));
    Put("target", "stays");
    fs::create_symlink(Path("target"), Path("link"));
    HANDLE held = Open("held", OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    struct Case {
        const char *name;
        bool deleted;
        DWORD error;  // when not deleted
        bool existsAfter;
    } cases[] = {
        {"plain", true, 0, false},
        {"absent", false, ERROR_FILE_NOT_FOUND, false},
        {"missing/f", false, ERROR_PATH_NOT_FOUND, false},
        {"held", false, ERROR_SHARING_VIOLATION, true},
        {"read-only", false, ERROR_ACCESS_DENIED, true},
        {"directory", false, ERROR_ACCESS_DENIED, true},
        {"link", true, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetLastError(0xDEAD);
        EXPECT_EQ(DeleteFileA(Path(c.name).c_str()), c.deleted ? TRUE : FALSE);
        if (!c.deleted) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_EQ(fs::exists(fs::symlink_status(Path(c.name))), c.existsAfter);
    }
    EXPECT_EQ(Get("target"), "stays") << "deleting a link touched what it names";
    CloseHandle(held);
    EXPECT_TRUE(DeleteFileA(Path("held").c_str())) << "closed, it goes";
}

}  // namespace
