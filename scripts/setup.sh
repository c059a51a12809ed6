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
  # Media Foundation under Wine decodes through GStreamer (vektool.exe reads videos without ffmpeg)
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  # the Linux player under real window managers
  openbox i3-wm wmctrl
  # the Japanese and English settings dialogs
  locales
  # the native Linux player
  libx11-dev libxrandr-dev libxfixes-dev libxext-dev libxinerama-dev libgtk-3-dev
  # the Debian package for Linux users: its dependencies, its checks and its manual pages
  dpkg-dev lintian desktop-file-utils appstream man-db
  # its Wayland overlay, and the headless sway session (with XWayland, a VNC server for a pointer
  # and a keyboard, screenshots, and a Wayland window that logs its input) it is tested in
  libgtk-layer-shell-dev sway xwayland wayvnc grim wev
)

# The C library's locales that the players' tests run in; a fresh machine has only C and POSIX.
locales=(ja_JP.UTF-8 en_US.UTF-8)
ensure_locales() {
  local missing_locales=() l
  for l in "${locales[@]}"; do
    locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || missing_locales+=("$l")
  done
  ((${#missing_locales[@]} == 0)) && return 0
  echo "setup: generating locales ${missing_locales[*]}"
  local sudo=""
  if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
  for l in "${missing_locales[@]}"; do
    $sudo sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
  done
  $sudo locale-gen >/dev/null
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#packages[@]} packages present"
  ensure_locales
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
ensure_locales
