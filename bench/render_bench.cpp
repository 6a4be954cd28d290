// What drawing the screen costs each time the clocks tick: the whole frame of
// the main dialog with its four lines, in the monochrome and in the colour
// look, into an off-screen frame the size of a 100x36 terminal; and what the
// terminal does for a line that changed: its damaged area drawn again and
// compared, and the bytes for the terminal built.
#include <benchmark/benchmark.h>

#include "tolvane.h"
#include "allocations.h"
#include "main_dialog.h"
#include "pc/timesource.h"
#include "terminal/render.h"
#include "terminal/screen.h"
#include "user/user_state.h"
#include "user/window.h"

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

// An ANSI terminal with 256 colours, as far as the screen asks.
terminal::Capabilities Ansi(bool colour)
{
    terminal::Capabilities caps;
    caps.moveCursor = [](std::string &out, int row, int col) {
        char move[16];
        out.append(move, static_cast<size_t>(wsprintfA(move, "\033[%d;%dH", row + 1, col + 1)));
    };
    caps.plain = "\033[m";
    caps.bold = "\033[1m";
    caps.reverse = "\033[7m";
    caps.underline = "\033[4m";
    for (int role = 1; colour && role < terminal::kRoleCount; ++role)
        caps.ink[role] = "\033[38;5;231m\033[48;5;30m";
    return caps;
}

void MeasureScreenUpdates(HWND hwnd)
{
    benchmark::State &state = *gState;
    terminal::CellBuffer frame;
    frame.Resize(100, 36);
    terminal::Screen screen;
    screen.Setup(Ansi(gLook == terminal::Look::kColour));
    std::string out;
    const HWND line = GetDlgItem(hwnd, IDC_CMOS_LINE);
    int second = 0;
    auto changeLine = [&] {
        char text[CLOCK_LINE_SIZE];
        wsprintfA(text, " 06-15-2026   10:20:%02i", second);
        second = (second + 1) % 60;
        SendMessageA(line, LB_DELETESTRING, 0, 0);
        SendMessageA(line, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    };
    auto update = [&] {
        user::UserLock lock = user::LockUser();
        user::CellRect area;
        if (user::TakeDamage(area)) {
            terminal::RenderArea(frame, gLook, area);
        } else {
            terminal::RenderScreen(frame, gLook);
            area = user::CellRect{0, 0, frame.Cols(), frame.Rows()};
        }
        screen.Update(frame, area, out);
        benchmark::DoNotOptimize(out.data());
        out.clear();
    };
    for (int i = 0; i < 25; ++i) {
        changeLine();
        update();
    }
    long before = HeapAllocations();
    for (auto _ : state) {
        state.PauseTiming();
        changeLine();
        state.ResumeTiming();
        update();
    }
    ReportHeapAllocations(state, before);
}

void BM_ScreenUpdate(benchmark::State &state)
{
    gState = &state;
    gLook = state.range(0) ? terminal::Look::kColour : terminal::Look::kMonochrome;
    RunOnMainDialog(MeasureScreenUpdates);
}
BENCHMARK(BM_ScreenUpdate)->ArgName("colour")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
