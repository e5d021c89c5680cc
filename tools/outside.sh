#!/usr/bin/env bash
# Builds examples/outside as a project outside this tree would: the runtime installed into a
# scratch prefix, then found by its CMake package and, separately, by pkg-config. Each build
# runs headless and must print its line and exit 0. The program is the one the guide for
# program authors shows, which is checked too.
#   tools/outside.sh [build folder, default build/plain]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

program=examples/outside/hello.cpp
guide=docs/writing-programs.md
# The guide's first C++ block is the program.
awk '/^```cpp$/ { inside = 1; next } /^```$/ && inside { exit } inside' "$guide" >"$scratch/guide.cpp"
if ! diff -u "$program" "$scratch/guide.cpp"; then
  echo "outside: the program in $guide differs from $program" >&2
  exit 1
fi

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S examples/outside -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$scratch/prefix" >/dev/null
cmake --build "$scratch/cmake" >/dev/null

pc_dir=$(dirname "$(find "$scratch/prefix" -name classic-runtime.pc)")
# shellcheck disable=SC2046 # the flags are words
c++ -o "$scratch/hello_pc" "$program" $(PKG_CONFIG_PATH=$pc_dir pkg-config --cflags --libs classic-runtime)

for hello in "$scratch/cmake/hello" "$scratch/hello_pc"; do
  output=$(SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$hello")
  if [[ $output != "hello: no key within five seconds" ]]; then
    echo "outside: $hello printed '$output'" >&2
    exit 1
  fi
done
echo "outside: built against the installed package and ran headless"
