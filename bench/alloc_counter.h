// Counts of the heap operations of the calling thread, from the bench binary's wrapped malloc
// family and replaced global operator new and delete.
#ifndef ZELOBJSYS_BENCH_ALLOC_COUNTER_H
#define ZELOBJSYS_BENCH_ALLOC_COUNTER_H

#include <cstddef>

namespace zelbench {

// What the calling thread has allocated and freed on the heap (malloc, calloc,
// realloc of nothing, operator new; free, operator delete) since it started.
// Counts are per thread so that counting costs no locked instruction. Bytes
// are measured with mallinfo2.
struct AllocCounts {
  long allocations = 0;
  long frees = 0;
};

AllocCounts allocCounts();

}  // namespace zelbench

#endif  // ZELOBJSYS_BENCH_ALLOC_COUNTER_H
