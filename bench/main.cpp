// The entry point of zel_bench; the benchmarks live in the other files of this folder.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
