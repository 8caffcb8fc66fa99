// Heap accounting for the memory columns of the comparison: the bench binary
// replaces the allocation functions with ones that forward to the C library's
// and, while counting is on, add up the bytes each block really takes.
#ifndef VASK_BENCH_HEAP_COUNT_H
#define VASK_BENCH_HEAP_COUNT_H

#include <cstddef>

namespace vask::bench {

struct HeapCount_t {
  long long current;  // bytes of blocks allocated since counting began, less those freed
  long long peak;     // the highest `current` seen
};

// Starts counting from zero. Counting is process-wide and meant for one thread.
void heapCountStart();

// Stops counting and gives what was seen.
HeapCount_t heapCountStop();

}  // namespace vask::bench

#endif  // VASK_BENCH_HEAP_COUNT_H
