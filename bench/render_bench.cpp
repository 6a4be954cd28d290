// What drawing the screen costs each time the clocks tick: the whole frame of
// the main dialog with its four lines, in the monochrome and in the colour
// look, into an off-screen frame the size of a 100x36 terminal.
#include <benchmark/benchmark.h>

#include "tolvane.h"
#include "allocations.h"
#include "main_dialog.h"
#include "pc/timesource.h"
#include "terminal/render.h"
#include "user/user_state.h"

namespace {

constexpr std::int64_t kTickNs = REFRESH_PERIOD_MS * 1'000'000LL;

benchmark::State *gState;
terminal::Look gLook;

void MeasureFrames(HWND hwnd)
{
    benchmark::State &state = *gState;
    terminal::CellBuffer frame;
    frame.Resize(100, 36);
    for (int i = 0; i < 25; ++i) {
        DoClocks(hwnd);
        pc::AdvanceVirtualTime(kTickNs);
    }
    long before = HeapAllocations();
    for (auto _ : state) {
        // A tick's new seconds, then the frame drawn as the terminal draws it.
        state.PauseTiming();
        DoClocks(hwnd);
        pc::AdvanceVirtualTime(kTickNs);
        state.ResumeTiming();
        user::UserLock lock = user::LockUser();
        terminal::RenderScreen(frame, gLook);
        benchmark::DoNotOptimize(frame.At(0, 0));
    }
    ReportHeapAllocations(state, before);
}

void BM_RenderScreen(benchmark::State &state)
{
    gState = &state;
    gLook = state.range(0) ? terminal::Look::kColour : terminal::Look::kMonochrome;
    RunOnMainDialog(MeasureFrames);
}
BENCHMARK(BM_RenderScreen)->ArgName("colour")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
