// PostThreadMessageA: a post to the calling thread lands in its own queue;
// one to a thread that does not exist, or whose program has ended, is refused.
#include <gtest/gtest.h>

#include <windows.h>

#include "companion_fixture.h"
#include "pc_fixture.h"

namespace {

using namespace companiontest;

TEST(ProcessMessages, OwnThreadGetsThePostAndUnknownThreadsAreRefused)
{
    pctest::TestPc pc;
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 2, 3));
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(msg.lParam, 3);
    EXPECT_EQ(msg.hwnd, nullptr);

    PROCESS_INFORMATION ended = Start("/bin/true");
    Finish(ended);
    for (DWORD id : {DWORD{0}, ended.dwThreadId}) {
        SCOPED_TRACE(id);
        SetLastError(0);
        EXPECT_FALSE(PostThreadMessageA(id, WM_QUIT, 0, 0));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    }
}

}  // namespace
