// One steady-state refresh tick of the main dialog: DoClocks reads the four
// clocks and replaces the lines whose seconds changed, on the real dialog
// built from its template, run on the program's thread as the timer would.
#include <benchmark/benchmark.h>

#include "tolvane.h"
#include "allocations.h"
#include "main_dialog.h"
#include "pc/timesource.h"

namespace {

constexpr std::int64_t kTickNs = REFRESH_PERIOD_MS * 1'000'000LL;

benchmark::State *gState;

void MeasureTicks(HWND hwnd)
{
    benchmark::State &state = *gState;
    // Settle first: every line filled and the list boxes' storage grown.
    for (int i = 0; i < 25; ++i) {
        DoClocks(hwnd);
        pc::AdvanceVirtualTime(kTickNs);
    }
    long before = HeapAllocations();
    for (auto _ : state) {
        DoClocks(hwnd);
        state.PauseTiming();
        pc::AdvanceVirtualTime(kTickNs);
        state.ResumeTiming();
    }
    ReportHeapAllocations(state, before);
}

void BM_DoClocksTick(benchmark::State &state)
{
    gState = &state;
    RunOnMainDialog(MeasureTicks);
}
BENCHMARK(BM_DoClocksTick)->MinTime(0.5)->Unit(benchmark::kMicrosecond);

}  // namespace
