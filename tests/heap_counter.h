// Heap allocations counted on the threads that ask for it, through the
// replaced global operator new of heap_counter.cpp, which a test binary links.
#pragma once

namespace heaptest {

// Allocations made so far on counting threads.
long Allocations();
// From now on the calling thread's allocations count.
void CountThisThread();

}  // namespace heaptest
