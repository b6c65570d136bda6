// What every case checks after its timed loop, and the heap an object holds, shared by our cases
// and the peers'.
#ifndef ZELOBJSYS_BENCH_MEASURE_H
#define ZELOBJSYS_BENCH_MEASURE_H

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelbench {

// Fails the case unless its loop did what it claims: the listener was told `told` times (one per
// accepted set) and the object holds `stored`. A compiler that dropped the work, or a road that
// silently refused it, shows here instead of as a fast time.
inline bool verifySets(benchmark::State& state, std::int64_t told, std::int64_t expectedTold,
                       double stored, double expected) {
  if (told == expectedTold && stored == expected) return true;
  const std::string what = "listener told " + std::to_string(told) + " times of " +
                           std::to_string(expectedTold) + ", value " + std::to_string(stored) +
                           " instead of " + std::to_string(expected);
  state.SkipWithError(what.c_str());
  return false;
}

// Fails the case unless `what` happened `expected` times.
inline bool verifyCount(benchmark::State& state, const char* what, std::int64_t got,
                        std::int64_t expected) {
  if (got == expected) return true;
  const std::string text =
      std::string(what) + " " + std::to_string(got) + " times of " + std::to_string(expected);
  state.SkipWithError(text.c_str());
  return false;
}

// How many callback events a case hands over before running them all.
constexpr int kEventBatch = 64;

// The heap bytes one object holds while it lives, from a hundred live objects (mallinfo2, so that
// malloc'd blocks count as well as operator new's).
template <class Make, class Drop>
double heapPerObject(Make make, Drop drop) {
  constexpr int kHeld = 100;
  std::vector<decltype(make())> held;
  held.reserve(kHeld);
  const std::size_t before = mallinfo2().uordblks;
  for (int i = 0; i < kHeld; ++i) held.push_back(make());
  const std::size_t after = mallinfo2().uordblks;
  for (auto& object : held) drop(object);
  return static_cast<double>(after - before) / kHeld;
}

}  // namespace zelbench

#endif  // ZELOBJSYS_BENCH_MEASURE_H
