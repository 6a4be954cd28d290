// What one clock reading costs on the simulated PC: GetCmosTime (seven register
// reads, each with its UIP poll) and the four readings a display tick takes,
// on the virtual and on the host clock, with heap allocations counted; and one
// register read with interrupts on, where the PC's lock is taken per port
// access, by one thread and by two at once.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "allocations.h"

#include "tolvane.h"
#include "cmos.h"
#include "pc/machine.h"

namespace {

// A fresh PC in a temporary directory, removed at the end of the run.
class BenchPc {
public:
    explicit BenchPc(bool virtualTime)
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tolvane-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        directory_ = pattern;
        pc::CreateOptions options;
        options.virtualTime = virtualTime;
        pc::Create(directory_, options);
        pc::Attach(directory_);
    }
    ~BenchPc() { std::filesystem::remove_all(directory_); }

private:
    std::string directory_;
};

void BM_GetCmosTime(benchmark::State &state)
{
    BenchPc pc(state.range(0) != 0);
    ClockReading reading;
    long before = HeapAllocations();
    for (auto _ : state) {
        GetCmosTime(&reading);
        benchmark::DoNotOptimize(reading);
    }
    ReportHeapAllocations(state, before);
}
BENCHMARK(BM_GetCmosTime)->ArgName("virtual")->Arg(1)->Arg(0);

// The hardware and system readings of one display tick.
void BM_ClockTickReadings(benchmark::State &state)
{
    BenchPc pc(true);
    ClockReading cmos, bios;
    SYSTEMTIME local, utc;
    long before = HeapAllocations();
    for (auto _ : state) {
        GetCmosTime(&cmos);
        benchmark::DoNotOptimize(GetBiosDateTime(&bios));
        GetLocalTime(&local);
        GetSystemTime(&utc);
        benchmark::DoNotOptimize(local);
        benchmark::DoNotOptimize(utc);
    }
    ReportHeapAllocations(state, before);
}
BENCHMARK(BM_ClockTickReadings);

// Made before the threads of a run start, so that they share one PC.
std::unique_ptr<BenchPc> gSharedPc;

void BM_PortRegisterRead(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadCmosByte(RTC_SECONDS));
}
BENCHMARK(BM_PortRegisterRead)
    ->Setup([](const benchmark::State &) { gSharedPc = std::make_unique<BenchPc>(true); })
    ->Teardown([](const benchmark::State &) { gSharedPc.reset(); })
    ->Threads(1)
    ->Threads(2);

}  // namespace
