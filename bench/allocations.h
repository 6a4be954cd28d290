// Heap allocations counted over the whole benchmark binary, so a benchmark can
// report how many its loop made.
#pragma once

#include <benchmark/benchmark.h>

long HeapAllocations();

inline void ReportHeapAllocations(benchmark::State &state, long before)
{
    state.counters["heap allocations"] = static_cast<double>(HeapAllocations() - before);
}
