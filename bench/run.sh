#!/usr/bin/env bash
# Runs zel_bench of a build folder (default build-bench), five repetitions per case (the 10 s timer
# case once), and prints one table: each case's median, its floor's and its best peer's (GObject,
# Qt, when built), the ratios and the target.
# The repetitions of all cases run in random order, so that a noisy spell of the shared machine
# falls on cases and floors alike. Extra arguments go to the main run (for example
# --benchmark_filter=Container); with a filter among them the timer run is left out.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
shift || true
bin="$build/bin/zel_bench"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$bin" --benchmark_format=json --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true \
  --benchmark_filter=-BM_TimerTickLateness "$@" >"$out/main.json"
if [[ " $* " != *"--benchmark_filter"* ]]; then
  # The lateness target holds at a load below 2, and the 200-timer case of the
  # main run leaves the one-minute load average far above it: wait (at most
  # four minutes: from the 9 or so that the 200-timer case leaves, the average
  # takes about two to fall below 2) until it has come down.
  for _ in $(seq 240); do
    awk '{ exit !($1 < 2) }' /proc/loadavg && break
    sleep 1
  done
  echo "timer case: load average $(cut -d' ' -f1 /proc/loadavg) at its start" >&2
  "$bin" --benchmark_format=json --benchmark_repetitions=1 \
    --benchmark_filter='^BM_TimerTickLateness' >"$out/timer.json"
fi
python3 bench/report.py "$out"/*.json
