#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test three ways: a plain build, an
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the threaded suites under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
jobs=$(nproc)

build() { # folder, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

build build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build/plain -j"$jobs" --output-on-failure
tools/outside.sh build/plain # a program built outside the tree against the installed runtime

build build/asan -DCMAKE_BUILD_TYPE=Debug -DRT_SANITIZE=address -DRT_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -j"$jobs" --output-on-failure

build build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_SANITIZE=thread -DRT_BUILD_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan -j"$jobs" -L threaded --output-on-failure

# Every parser under libFuzzer for a bounded time (clang, AddressSanitizer + UBSan).
tools/fuzz.sh 25
