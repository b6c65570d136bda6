// Counts of the heap operations of the calling thread, from the bench binary's replaced global
// operator new and delete.
#ifndef ZELOBJSYS_BENCH_ALLOC_COUNTER_H
#define ZELOBJSYS_BENCH_ALLOC_COUNTER_H

#include <cstddef>

namespace zelbench {

// What the calling thread has allocated and freed through operator new and
// delete since it started. Counts are per thread so that counting costs no
// locked instruction. Bytes are measured with mallinfo2, which also sees the
// host values' malloc'd blocks.
struct AllocCounts {
  long allocations = 0;
  long frees = 0;
};

AllocCounts allocCounts();

}  // namespace zelbench

#endif  // ZELOBJSYS_BENCH_ALLOC_COUNTER_H
