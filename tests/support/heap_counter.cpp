// The replacement global operator new behind heap_counter.h.
#include "heap_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> gAllocations{0};
thread_local bool tCounting = false;

std::atomic<std::size_t> gHeld{0};
std::atomic<std::size_t> gPeak{0};
std::atomic<std::size_t> gPeakBase{0};

std::atomic<std::size_t> gFailAtLeast{0};
thread_local bool tArmedFailure = false;

void NoteHeld(std::size_t held)
{
    std::size_t peak = gPeak;
    while (held > peak && !gPeak.compare_exchange_weak(peak, held))
        ;
}

}  // namespace

void *operator new(std::size_t size)
{
    if (tCounting)
        ++gAllocations;
    if (std::size_t limit = gFailAtLeast;
        limit && size >= limit && !tArmedFailure && gFailAtLeast.compare_exchange_strong(limit, 0))
        throw std::bad_alloc();
    if (void *p = std::malloc(size ? size : 1)) {
        NoteHeld(gHeld += malloc_usable_size(p));
        return p;
    }
    throw std::bad_alloc();
}
// GCC takes the free() of what operator new returned for a mismatch, not
// seeing that this operator new got it from malloc().
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void *p) noexcept
{
    if (p)
        gHeld -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    operator delete(p);
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

void heaptest::ResetPeak()
{
    gPeakBase = gHeld.load();
    gPeak = gPeakBase.load();
}

std::size_t heaptest::PeakBytes()
{
    return gPeak - gPeakBase;
}

void heaptest::FailNextAllocationElsewhere(std::size_t bytes)
{
    tArmedFailure = true;
    gFailAtLeast = bytes;
}
