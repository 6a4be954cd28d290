// What one clock reading costs on the simulated PC: GetCmosTime (seven register
// reads, each with its UIP poll) and the four readings a display tick takes,
// on the virtual and on the host clock, with heap allocations counted.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "pc/machine.h"
#include "tolvane.h"

// The counting operator new below pairs malloc with free correctly; GCC cannot
// see that once benchmark's own code is inlined around it.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

std::atomic<long> gAllocations{0};

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

void CountAllocations(benchmark::State &state, long before)
{
    state.counters["heap allocations"] = static_cast<double>(gAllocations - before);
}

void BM_GetCmosTime(benchmark::State &state)
{
    BenchPc pc(state.range(0) != 0);
    ClockReading reading;
    long before = gAllocations;
    for (auto _ : state) {
        GetCmosTime(&reading);
        benchmark::DoNotOptimize(reading);
    }
    CountAllocations(state, before);
}
BENCHMARK(BM_GetCmosTime)->ArgName("virtual")->Arg(1)->Arg(0);

// The hardware and system readings of one display tick.
void BM_ClockTickReadings(benchmark::State &state)
{
    BenchPc pc(true);
    ClockReading cmos, bios;
    SYSTEMTIME local, utc;
    long before = gAllocations;
    for (auto _ : state) {
        GetCmosTime(&cmos);
        benchmark::DoNotOptimize(GetBiosDateTime(&bios));
        GetLocalTime(&local);
        GetSystemTime(&utc);
        benchmark::DoNotOptimize(local);
        benchmark::DoNotOptimize(utc);
    }
    CountAllocations(state, before);
}
BENCHMARK(BM_ClockTickReadings);

}  // namespace

void *operator new(std::size_t size)
{
    ++gAllocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

BENCHMARK_MAIN();
