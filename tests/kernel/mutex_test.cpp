// Named mutexes as a program uses one to find another copy of itself: a name
// exists while any process of the same PC holds a handle to it, and no longer.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <windows.h>

#include "pc_fixture.h"

namespace {

// Creates the mutex and reports whether the name was already there.
bool Existed(const char *name, HANDLE *handle)
{
    SetLastError(0xDEAD);
    *handle = CreateMutexA(nullptr, FALSE, name);
    EXPECT_NE(*handle, nullptr) << name << ": error " << GetLastError();
    DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_SUCCESS || error == ERROR_ALREADY_EXISTS) << error;
    return error == ERROR_ALREADY_EXISTS;
}

TEST(KernelMutex, NameExistsWhileAnyHandleIsOpen)
{
    pctest::TestPc pc;
    HANDLE first, second, other, again;
    EXPECT_FALSE(Existed("Copy", &first));
    EXPECT_TRUE(Existed("Copy", &second));
    EXPECT_FALSE(Existed("copy", &other)) << "names are case-sensitive";
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(Existed("Copy", &again)) << "the second handle still holds the name";
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(again));
    EXPECT_FALSE(Existed("Copy", &again)) << "the name outlived its last handle";
    CloseHandle(again);
    CloseHandle(other);

    HANDLE unnamed1, unnamed2;
    EXPECT_FALSE(Existed(nullptr, &unnamed1));
    EXPECT_FALSE(Existed(nullptr, &unnamed2)) << "unnamed mutexes never meet";
    CloseHandle(unnamed1);
    CloseHandle(unnamed2);
}

TEST(KernelMutex, RefusesWhatItDoesNotProvide)
{
    pctest::TestPc pc;
    EXPECT_EQ(CreateMutexA(nullptr, TRUE, "Owned"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    std::string tooLong(MAX_PATH + 1, 'n');
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, tooLong.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    HANDLE odd;
    EXPECT_FALSE(Existed("a/../b\\c", &odd)) << "any character but NUL may be in a name";
    CloseHandle(odd);
}

TEST(KernelMutex, AnotherProcessHoldsTheNameUntilItDies)
{
    pctest::TestPc pc;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        HANDLE mine = CreateMutexA(nullptr, FALSE, "Shared");
        char answer = mine && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
        if (write(ready[1], &answer, 1) != 1)
            _exit(1);
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'y');

    HANDLE handle;
    EXPECT_TRUE(Existed("Shared", &handle));
    CloseHandle(handle);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(Existed("Shared", &handle)) << "a dead process still held the name";
    CloseHandle(handle);
    close(ready[0]);
    close(ready[1]);
}

TEST(KernelMutex, EachPcHasNamesOfItsOwn)
{
    HANDLE onFirst, onSecond;
    pctest::TestPc first;
    EXPECT_FALSE(Existed("Copy", &onFirst));
    pctest::TestPc second;
    EXPECT_FALSE(Existed("Copy", &onSecond)) << "a name crossed from one PC to another";
    CloseHandle(onFirst);
    CloseHandle(onSecond);
}

}  // namespace
