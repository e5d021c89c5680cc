#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it in a window, from its own folder,
# where its sound files are.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain -j"$(nproc)" --target game
cd build/plain/game
RT_SCALE=${RT_SCALE:-auto} exec ./game "$@"
