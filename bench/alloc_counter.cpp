// The bench binary's heap counters: malloc, calloc, realloc and free wrap the C
// library's own, and the global operator new and delete go through them, so
// that every heap block of a measured road is counted, whether C++ objects or
// host values (which come from malloc).
#if defined(__GNUC__) && !defined(__clang__)
// malloc is paired with free on purpose in the operators below.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include "alloc_counter.h"

#include <cstdlib>
#include <new>

// The C library's allocator under its own names, which the wrappers below call.
// NOLINTBEGIN(bugprone-reserved-identifier, readability-identifier-naming)
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void __libc_free(void* block);
}
// NOLINTEND(bugprone-reserved-identifier, readability-identifier-naming)

namespace {

// Plain data: usable from the first malloc of a thread to its last.
thread_local zelbench::AllocCounts gCounts;

void* allocate(std::size_t size) {
  void* p = std::malloc(size != 0 ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace zelbench {

AllocCounts allocCounts() { return gCounts; }

}  // namespace zelbench

extern "C" {
void* malloc(std::size_t size) {
  ++gCounts.allocations;
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  ++gCounts.allocations;
  return __libc_calloc(count, size);
}
void* realloc(void* block, std::size_t size) {
  if (block == nullptr) ++gCounts.allocations;
  return __libc_realloc(block, size);
}
void free(void* block) {
  if (block != nullptr) ++gCounts.frees;
  __libc_free(block);
}
}

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
