#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: packages that
# are already present are skipped, and apt is not touched when none is missing.
set -euo pipefail

packages=(
  # native build and tests
  build-essential cmake ninja-build pkg-config zlib1g-dev
  libgtest-dev googletest libbenchmark-dev libstb-dev python3
  # vektool reads videos through ffmpeg, and its tests make their clips with it
  ffmpeg
  # fuzzing
  clang libclang-rt-14-dev
  # Windows cross build
  mingw-w64 libz-mingw-w64-dev
  # running and testing the Windows program
  wine wine64 xvfb libgl1-mesa-dri xcompmgr x11-utils x11-xserver-utils
  x11-apps xdotool imagemagick fonts-ipafont-gothic
  # the native Linux player
  libx11-dev libxrandr-dev libxfixes-dev libxext-dev libxinerama-dev libgtk-3-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
