#!/usr/bin/env bash
# Benchmark of the portable playback core: builds the native release tree and prints frames per
# second of ReadFrame, ComposeFrame and the software renderer, each with its ratio to a memset and
# a memcpy of its output's size, measured in the same run (medians of 5 repetitions); then
# vektool pack's frames per second with one compressing thread next to one per core.
# Extra arguments go to the benchmark, e.g. --benchmark_filter=Compose.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${NOCTIVA_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${NOCTIVA_JOBS:-2}" --target core_bench
"$build/bin/core_bench" --benchmark_min_time=0.2 --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true "$@"
