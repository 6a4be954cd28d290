// One steady-state refresh tick of the main dialog: DoClocks reads the four
// clocks and replaces the lines whose seconds changed, on the real dialog
// built from its template, run on the program's thread as the timer would.
#include <benchmark/benchmark.h>

#include "tolvane.h"
#include "allocations.h"
#include "automation/session.h"
#include "pc/timesource.h"

namespace {

constexpr std::int64_t kTickNs = REFRESH_PERIOD_MS * 1'000'000LL;
constexpr UINT kRunBenchmark = WM_USER + 1;

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

// Stands in for MainDlg without the start-up checks, so the loop runs on a
// dialog the way the timer drives it.
INT_PTR CALLBACK BenchDlg(HWND hwnd, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        PostMessageA(hwnd, kRunBenchmark, 0, 0);
        return TRUE;
    case kRunBenchmark:
        MeasureTicks(hwnd);
        EndDialog(hwnd, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI BenchEntry(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.lpszClassName = "Tolvane";
    RegisterClassA(&wc);
    ghInst = instance;
    return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, BenchDlg, 0);
}

void BM_DoClocksTick(benchmark::State &state)
{
    automation::Session session(automation::PcSetup{"y2k-ready", "2026-06-15 10:20:07.000", 0, {}});
    gState = &state;
    session.Start(BenchEntry);
}
BENCHMARK(BM_DoClocksTick)->MinTime(0.5)->Unit(benchmark::kMicrosecond);

}  // namespace
