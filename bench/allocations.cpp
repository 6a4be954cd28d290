// The counting global operator new behind HeapAllocations(), and the benchmark
// binary's main.
#include "allocations.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The counting operator new below pairs malloc with free correctly; GCC cannot
// see that once benchmark's own code is inlined around it.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> gAllocations{0};
}

long HeapAllocations()
{
    return gAllocations;
}

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
