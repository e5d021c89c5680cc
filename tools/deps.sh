#!/usr/bin/env bash
# Installs on Debian 12 what one set of work needs, when it is missing:
#   play  building and running the game: compiler, CMake, pkg-config, SDL2 and the VGA BIOS
#         (its font);
#   test  (the default) everything play needs, and what building and running the tests,
#         benchmarks and fuzzers needs.
set -euo pipefail
set_name=${1:-test}
play=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev
  vgabios
)
test_only=(
  git python3 clang
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick wmctrl openbox
  fonts-noto-cjk
)
case $set_name in
play) packages=("${play[@]}") ;;
test) packages=("${play[@]}" "${test_only[@]}") ;;
*)
  echo "usage: $0 [play|test]" >&2
  exit 2
  ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
