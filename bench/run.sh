#!/usr/bin/env bash
# Runs the benchmark program of a build folder (default build-bench) with repetitions, aggregates only.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
shift || true
exec "$build/bin/zel_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
