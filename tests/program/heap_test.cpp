// The program's own live clocks allocate nothing once running: fifteen ticks
// of the four clock lines. Allocations are counted on the program's thread.
#include <gtest/gtest.h>

#include "heap_counter.h"
#include "program_session.h"

namespace {

class UiHeap : public ProgramTest {};

int WINAPI CountingWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    heaptest::CountThisThread();
    return WinMain(instance, previous, commandLine, show);
}

TEST_F(UiHeap, ProgramsClockTickAllocatesNothing)
{
    automation::Session session;
    session.Start(CountingWinMain);
    session.PressIn("About Tolvane", IDOK);
    session.Advance(2000);
    long before = heaptest::Allocations();
    session.Advance(3000);
    EXPECT_EQ(heaptest::Allocations() - before, 0)
        << "allocations in 15 ticks of the program's live clocks";
}

}  // namespace
