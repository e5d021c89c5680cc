#!/usr/bin/env bash
# Builds the demo, the game and the real-window benchmark, runs the benchmark once (a few
# minutes: every figure starts its own X server and plays the game to where it measures) and
# prints its figures beside their goals (bench/figures.py). Extra arguments go to the
# benchmark, e.g. --benchmark_filter=KeyToGlyph.
#
# Usage: bench/run_window.sh [BUILD_FOLDER [RESULTS_FOLDER]] [-- BENCHMARK_ARGUMENTS...]
#   JOBS=n sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/perf
results=
if [ $# -gt 0 ] && [ "$1" != "--" ]; then build=$1; shift; fi
if [ $# -gt 0 ] && [ "$1" != "--" ]; then results=$1; shift; fi
[ "${1:-}" = "--" ] && shift
results=${results:-$build/bench-results}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target bench_window >/dev/null
mkdir -p "$results"
"$build/bench/bench_window" --benchmark_out="$results/window.json" \
  --benchmark_out_format=json "$@" >&2
python3 bench/figures.py "$results"
