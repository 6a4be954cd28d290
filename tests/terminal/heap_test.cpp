// A steady clock tick allocates nothing: WM_TIMER, four list boxes each losing
// and gaining a line, and a redraw of the screen, under a test program of the
// user layer's own. Allocations are counted on the program's thread only.
#include <gtest/gtest.h>

#include "heap_counter.h"
#include "terminal/cells.h"
#include "terminal/render.h"
#include "ui_fixture.h"
#include "user/window.h"

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
    heaptest::CountThisThread();
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
        terminal::RenderScreen(gFrame, terminal::Look::kColour);
        return false;
    };
    session.Start(CountingProgram);
    session.Advance(1000);  // the first lines take their storage
    long before = heaptest::Allocations();
    ASSERT_GT(before, 0) << "the count must see the start-up's allocations";
    session.Advance(2000);
    EXPECT_GE(gSeen.timers, 15);
    EXPECT_EQ(heaptest::Allocations() - before, 0) << "allocations in 10 steady ticks";
    EXPECT_NE(gFrame.ToText().find(" 06-15-2026   10:20:"), std::string::npos);
}

}  // namespace
