// The floor's own cases: set and get by name, and building the 30-entry map.
#include <benchmark/benchmark.h>

#include "floor.h"

namespace {

constexpr const char* kHotName = "Property17";

void BM_FloorSet(benchmark::State& state) {
  zelbench::Floor floor;
  floor.listen(kHotName, [](double v) { benchmark::DoNotOptimize(v); });
  const char* name = kHotName;
  double x = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(name);
    x += 1;
    benchmark::DoNotOptimize(floor.set(name, x));
  }
}
BENCHMARK(BM_FloorSet);

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
