#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program in a window.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain -j"$(nproc)" --target demo
exec build/plain/examples/demo "$@"
