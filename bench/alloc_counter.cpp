// The bench binary's replaced global operator new and delete, counting per thread.
#if defined(__GNUC__) && !defined(__clang__)
// malloc is paired with free on purpose in the operators below.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include "alloc_counter.h"

#include <cstdlib>
#include <new>

namespace {

thread_local zelbench::AllocCounts gCounts;

void* allocate(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  ++gCounts.allocations;
  return p;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  ++gCounts.frees;
  std::free(p);
}

}  // namespace

namespace zelbench {

AllocCounts allocCounts() { return gCounts; }

}  // namespace zelbench

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
