#!/usr/bin/env bash
# Builds the micro-benchmarks, runs each program once, one after another, and prints the
# figures and ratios of that one run (bench/figures.py). The JSON results stay in the results
# folder.
#
# Usage: bench/run_micro.sh [BUILD_FOLDER [RESULTS_FOLDER]]
#   JOBS=n sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/perf}
results=${2:-$build/bench-results}

programs=()
for name in strings numbers print draw music keys refresh; do
  [ -f "bench/$name.cpp" ] && programs+=("$name")
done

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target "${programs[@]/#/bench_}" >/dev/null
mkdir -p "$results"
for name in "${programs[@]}"; do
  echo "== bench_$name" >&2
  "$build/bench/bench_$name" --benchmark_out="$results/$name.json" \
    --benchmark_out_format=json >&2
done
python3 bench/figures.py "$results"
