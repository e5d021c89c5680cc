#!/usr/bin/env bash
# Installs what playing needs when it is missing, builds the game (without the tests) and starts
# it in a window, from its own folder, where its sound files are.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh play
cmake -S . -B build/play -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_BUILD_TESTS=OFF >/dev/null
cmake --build build/play -j"$(nproc)" --target game
cd build/play/game
RT_SCALE=${RT_SCALE:-auto} exec ./game "$@"
