// A steady clock tick allocates nothing: WM_TIMER, four list boxes each losing
// and gaining a line, and a redraw of the screen. Allocations are counted on
// the program's thread only, with a replaced global operator new.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "terminal/cells.h"
#include "terminal/render.h"
#include "ui_fixture.h"
#include "user/window.h"

namespace {

std::atomic<long> gAllocations{0};
thread_local bool tCounting = false;

}  // namespace

void *operator new(std::size_t size)
{
    if (tCounting)
        ++gAllocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
// GCC takes the free() of what operator new returned for a mismatch, not
// seeing that this operator new got it from malloc().
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

using namespace uitest;

terminal::CellBuffer gFrame;

void ReplaceLine(HWND dialog, int id, int second)
{
    char line[33];
    wsprintfA(line, " %02i-%02i-%04i   %02i:%02i:%02i", 6, 15, 2026, 10, 20, second);
    SendMessageA(GetDlgItem(dialog, id), LB_DELETESTRING, 0, 0);
    SendMessageA(GetDlgItem(dialog, id), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
}

int WINAPI CountingProgram(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    tCounting = true;
    return TestProgram(instance, previous, commandLine, show);
}

TEST(UiHeap, SteadyClockTickAllocatesNothing)
{
    automation::Session session;
    Reset(IDD_MAIN);
    gFrame.Resize(80, 24);
    int second = 0;
    gInit = [](HWND hwnd) { SetTimer(hwnd, 1, 200, nullptr); };
    gHook = [&](HWND hwnd, UINT message, WPARAM, LPARAM, INT_PTR &) {
        if (message != WM_TIMER)
            return false;
        second = (second + 1) % 60;
        for (int id : {IDC_CMOS_LINE, IDC_BIOS_LINE, IDC_LOCAL_LINE, IDC_UTC_LINE})
            ReplaceLine(hwnd, id, second);
        user::UserLock lock = user::LockUser();
        terminal::RenderScreen(gFrame);
        return false;
    };
    session.Start(CountingProgram);
    session.Advance(1000);  // the first lines take their storage
    long before = gAllocations;
    ASSERT_GT(before, 0) << "the count must see the start-up's allocations";
    session.Advance(2000);
    EXPECT_GE(gSeen.timers, 15);
    EXPECT_EQ(gAllocations - before, 0) << "allocations in 10 steady ticks";
    EXPECT_NE(gFrame.ToText().find(" 06-15-2026   10:20:"), std::string::npos);
}

int WINAPI CountingWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    tCounting = true;
    return WinMain(instance, previous, commandLine, show);
}

TEST(UiHeap, ProgramsClockTickAllocatesNothing)
{
    automation::Session session;
    session.Start(CountingWinMain);
    session.PressIn("About Tolvane", IDOK);
    session.Advance(2000);
    long before = gAllocations;
    session.Advance(3000);
    EXPECT_EQ(gAllocations - before, 0) << "allocations in 15 ticks of the program's live clocks";
}

}  // namespace
