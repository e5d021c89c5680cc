#!/usr/bin/env bash
# Installs what is missing, then builds and tests, each stage timed:
#   plain    a RelWithDebInfo build and every test, each in a process of its own;
#   whole    each quick suite's program run once as a whole, shuffled, twice over, so that no
#            test leans on what another left behind (as many suites at once as processors);
#   release  a Release build (-O3) of the runtime, the game and the examples (warnings that
#            only the optimiser finds);
#   asan     AddressSanitizer + UndefinedBehaviorSanitizer: builds and runs every suite but the
#            soak and the real-window walks (both repeat what the headless suites check);
#   tsan     ThreadSanitizer over the threaded suites, which are all it builds;
#   fuzz     every parser under libFuzzer for a bounded time.
# Warnings are errors in every build. A failed stage does not stop the later ones; the script
# fails at the end, naming it. With --quick only the plain stage runs.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=false
case "${1:-}" in
"") ;;
--quick) quick=true ;;
*)
  echo "usage: $0 [--quick]" >&2
  exit 2
  ;;
esac

tools/deps.sh test
jobs=$(nproc)
# Most tests wait (for sounds to play, for a window, for a key) rather than compute, so more of
# them run at once than there are processors.
test_jobs=$((2 * jobs))
# A compiler cache, when there is one, makes rebuilding unchanged files nearly free.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi

timings=()
failed=()
stage() { # name, command...
  local name=$1 start=$SECONDS verdict=passed
  shift
  echo "== $name"
  if ! "$@"; then
    verdict=FAILED
    failed+=("$name")
  fi
  timings+=("$(printf '%-8s %4d s  %s' "$name" $((SECONDS - start)) "$verdict")")
  echo "== $name: $((SECONDS - start)) s, $verdict"
}
# Line tables are all that a failure's backtrace needs; full debug information would take a
# third of the compile time.
line_tables=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_DEBUG=-g1)
build() { # folder, extra cmake arguments..., optionally -- and the targets to build
  local dir=$1 configure=() targets=()
  shift
  while (($#)) && [[ $1 != -- ]]; do
    configure+=("$1")
    shift
  done
  (($#)) && shift && targets=(--target "$@")
  cmake -S . -B "$dir" -DRT_WERROR=ON "${line_tables[@]}" "${configure[@]}" >/dev/null &&
    cmake --build "$dir" -j"$jobs" "${targets[@]}"
}

plain() {
  build build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    ctest --test-dir build/plain -j"$test_jobs" --output-on-failure &&
    tools/outside.sh build/plain # a program built outside the tree against the installed runtime
}

# The suites whose programs are quick to run whole; the game's, the soak's and the real-window
# suites play the game for minutes, and each of their tests runs it in a process of its own.
whole_suites=(strings numbers screen host hardening input sound)
whole_suite() {
  # Each test's host run has a limit of its own; this one only keeps a hang from holding CI.
  (cd build/plain/tests &&
    timeout 900 "./test_$1" --gtest_shuffle --gtest_repeat=2 --gtest_brief=1)
}
whole() { # the suites side by side, as many at once as there are processors
  local status=0 running=0
  for suite in "${whole_suites[@]}"; do
    whole_suite "$suite" &
    if ((++running >= jobs)); then
      wait -n || status=1
      running=$((running - 1))
    fi
  done
  while ((running)); do
    wait -n || status=1
    running=$((running - 1))
  done
  return $status
}

release() {
  build build/release -DCMAKE_BUILD_TYPE=Release -DRT_BUILD_TESTS=OFF
}

asan() {
  build build/asan -DCMAKE_BUILD_TYPE=Debug -DRT_SANITIZE=address -DRT_BUILD_BENCH=OFF \
    -- headless_tests &&
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/asan -j"$test_jobs" -LE long_play -E '_NOT_BUILT$' \
      --output-on-failure # ctest keeps a placeholder for each suite not built
}

tsan() {
  build build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_SANITIZE=thread -DRT_BUILD_BENCH=OFF \
    -- threaded_tests &&
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan -j"$test_jobs" -L threaded --output-on-failure
}

fuzz() {
  tools/fuzz.sh 25
}

stage plain plain
if ! $quick; then
  stage whole whole
  stage release release
  stage asan asan
  stage tsan tsan
  stage fuzz fuzz
fi
printf '%s\n' "${timings[@]}"
if ((${#failed[@]})); then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
