#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12.
set -euo pipefail
packages=(
  build-essential cmake pkg-config git python3 clang
  libsdl2-dev libsdl2-mixer-dev libsdl2-ttf-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  vgabios
  xvfb xauth xdotool x11-utils imagemagick wmctrl openbox
  fonts-noto-cjk
)
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
