// Heap allocations watched through the replaced global operator new of
// heap_counter.cpp, which a test binary links: counted on the threads that
// ask for it, the bytes held at the most by the whole process, and an
// allocation made to fail as when memory runs out.
#pragma once

#include <cstddef>

namespace heaptest {

// Allocations made so far on counting threads.
long Allocations();
// From now on the calling thread's allocations count.
void CountThisThread();

// From now on PeakBytes() counts from what is held now.
void ResetPeak();
// The most bytes held at once since ResetPeak(), beyond what was held then.
std::size_t PeakBytes();

// The next allocation of at least `bytes` by a thread other than the caller
// throws std::bad_alloc.
void FailNextAllocationElsewhere(std::size_t bytes);

}  // namespace heaptest
