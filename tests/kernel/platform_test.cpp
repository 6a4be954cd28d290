// What the kernel says about the platform: GetVersionExA per profile and its
// size check, the module and thread ids, and per-thread last errors.
#include <gtest/gtest.h>

#include <unistd.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <thread>

#include "pc_fixture.h"

namespace {

using pctest::TestPc;

TEST(KernelVersion, EachProfileReportsItsPlatform)
{
    struct Case {
        const char *profile;
        DWORD platform, major, minor, build;
        const char *csd;
    } cases[] = {
        {"y2k-ready", VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x040A07CE, ""},
        {"win95", VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x040003B6, ""},
        {"nt", VER_PLATFORM_WIN32_NT, 4, 0, 1381, "Service Pack 6"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.profile);
        TestPc pc("2000-01-01 00:00:00", c.profile);
        OSVERSIONINFOA info;
        std::memset(&info, 0x55, sizeof info);
        info.dwOSVersionInfoSize = 148;
        ASSERT_TRUE(GetVersionExA(&info));
        EXPECT_EQ(info.dwPlatformId, c.platform);
        EXPECT_EQ(info.dwMajorVersion, c.major);
        EXPECT_EQ(info.dwMinorVersion, c.minor);
        EXPECT_EQ(info.dwBuildNumber, c.build);
        EXPECT_STREQ(info.szCSDVersion, c.csd);
    }
}

TEST(KernelVersion, WrongRecordSizesFailAsEachPlatformDoes)
{
    struct Case {
        const char *profile;
        DWORD size;
        bool ok;
        DWORD lastError;
    } cases[] = {
        {"y2k-ready", 0, false, 0xDEAD},
        {"y2k-ready", 74, false, 0xDEAD},
        {"y2k-ready", 156, false, 0xDEAD},
        {"nt", 0, false, ERROR_INSUFFICIENT_BUFFER},
        {"nt", 296, false, ERROR_INSUFFICIENT_BUFFER},
        {"nt", 156, true, 0xDEAD},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.profile) + " size " + std::to_string(c.size));
        TestPc pc("2000-01-01 00:00:00", c.profile);
        OSVERSIONINFOEXA info{};
        info.dwOSVersionInfoSize = c.size;
        SetLastError(0xDEAD);
        EXPECT_EQ(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)) != 0, c.ok);
        EXPECT_EQ(GetLastError(), c.lastError);
        if (c.ok) {
            EXPECT_EQ(info.wServicePackMajor, 6);
        }
    }
    EXPECT_FALSE(GetVersionExA(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(KernelModule, NamesTheRealExecutableAndTheMainThread)
{
    char expected[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", expected, sizeof expected - 1), 0);
    char path[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameA(nullptr, path, sizeof path), std::strlen(expected));
    EXPECT_STREQ(path, expected);
    char small[5];
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), small, sizeof small), 5u);
    EXPECT_EQ(std::string(small), std::string(expected, 4)) << "cut and terminated";

    EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(GetCurrentThreadId(), GetCurrentProcessId());
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_NE(other, GetCurrentProcessId());
}

TEST(KernelErrors, LastErrorBelongsToTheThread)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    DWORD seen = 0;
    std::thread([&] {
        SetLastError(ERROR_ACCESS_DENIED);
        seen = GetLastError();
    }).join();
    EXPECT_EQ(seen, ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace

namespace {

TEST(KernelStrings, LstrcpynCutsAndAlwaysTerminates)
{
    char buffer[8];
    std::memset(buffer, '.', sizeof buffer);
    EXPECT_EQ(lstrcpynA(buffer, " Tolvane - Fix Running", 6), buffer);
    EXPECT_EQ(std::string(buffer, 8), std::string(" Tolv\0..", 8));
    EXPECT_STREQ(lstrcpynA(buffer, "ok", sizeof buffer), "ok");
    std::memset(buffer, '.', sizeof buffer);
    lstrcpynA(buffer, "ok", 0);
    EXPECT_EQ(buffer[0], '.') << "no room: nothing written";
    EXPECT_EQ(lstrcpynA(nullptr, "ok", 4), nullptr);
}

}  // namespace
