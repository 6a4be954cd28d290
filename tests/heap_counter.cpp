// The counting global operator new behind heaptest::Allocations().
#include "heap_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> gAllocations{0};
thread_local bool tCounting = false;

}  // namespace

void *operator new(std::size_t size)
{
    if (tCounting)
        ++gAllocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
// GCC takes the free() of what operator new returned for a mismatch, not
// seeing that this operator new got it from malloc().
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

long heaptest::Allocations()
{
    return gAllocations;
}

void heaptest::CountThisThread()
{
    tCounting = true;
}
