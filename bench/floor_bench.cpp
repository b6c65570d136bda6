// The floor's own cases: set and get by name, and building the 30-entry map.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "floor.h"
#include "measure.h"

namespace {

constexpr const char* kHotName = "Property17";

void BM_FloorSet(benchmark::State& state) {
  zelbench::Floor floor;
  std::int64_t told = 0;
  floor.listen(kHotName, [&told](double v) {
    benchmark::DoNotOptimize(v);
    ++told;
  });
  const char* name = kHotName;
  std::int64_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(name);
    benchmark::DoNotOptimize(floor.set(name, zelbench::cycleValue(n++)));
  }
  zelbench::verifySets(state, told, n, *floor.get(kHotName), zelbench::cycleValue(n - 1));
}
BENCHMARK(BM_FloorSet);

// A value out of range: found, checked and left alone.
void BM_FloorSetRefused(benchmark::State& state) {
  zelbench::Floor floor;
  const char* name = kHotName;
  std::int64_t refused = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(name);
    if (!floor.set(name, zelbench::kRefused)) ++refused;
  }
  zelbench::verifyCount(state, "refused", refused, static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_FloorSetRefused);

void BM_FloorGet(benchmark::State& state) {
  zelbench::Floor floor;
  const char* name = kHotName;
  for (auto _ : state) {
    benchmark::DoNotOptimize(name);
    benchmark::DoNotOptimize(floor.get(name));
  }
}
BENCHMARK(BM_FloorGet);

// Building the map and tearing it down, the floor of an object's creation.
void BM_FloorBuild(benchmark::State& state) {
  for (auto _ : state) {
    zelbench::Floor floor;
    floor.listen(kHotName, [](double v) { benchmark::DoNotOptimize(v); });
    benchmark::DoNotOptimize(&floor);
  }
}
BENCHMARK(BM_FloorBuild);

}  // namespace
