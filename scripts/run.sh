#!/usr/bin/env bash
# Builds everything (native vektool, then the Windows build with noctiva.exe and the demo vek.bin)
# and starts the player under Wine:
#   - on your own X display when $DISPLAY works: the dialog opens there and the player runs until
#     you end it (a key press, by default);
#   - otherwise in a virtual desktop: it presses "実行", lets the demo play a few seconds, saves
#     screenshots of the dialog and of the overlay into out/run-YYYYmmdd-HHMMSS/ and ends the
#     player with a key press.
# NOCTIVA_BUILD_ROOT chooses where the builds go (default: build/).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${NOCTIVA_JOBS:-2}
builds=${NOCTIVA_BUILD_ROOT:-$root/build}

bash scripts/setup.sh

echo "=== building vektool (native) ==="
cmake -S . -B "$builds/native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$builds/native" -j "$jobs" --target vektool

echo "=== building noctiva.exe (Windows) ==="
cmake -S . -B "$builds/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DNOCTIVA_HOST_VEKTOOL="$builds/native/bin/vektool" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$builds/windows" -j "$jobs" --target noctiva vektool demo_archive
bin="$builds/windows/bin"
[[ -f "$bin/vek.bin" ]] || { echo "run: $bin/vek.bin was not written" >&2; exit 1; }

if [[ -n "${DISPLAY:-}" ]] && xdpyinfo >/dev/null 2>&1; then
  echo "=== noctiva.exe on $DISPLAY (end it with a key press) ==="
  status=0
  # Without address randomization, as scripts/vdesk.sh runs Wine: Debian's Wine 8 otherwise fails
  # to start now and then on Linux 6.9 and later.
  (cd "$bin" && env LANG=ja_JP.UTF-8 WINEDEBUG=${WINEDEBUG:--all} \
    setarch "$(uname -m)" --addr-no-randomize wine ./noctiva.exe) || status=$?
  echo "noctiva.exe ended with status $status"
  exit "$status"
fi

out="$root/out/run-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$out"
echo "=== no usable display: noctiva.exe in a virtual desktop; screenshots go to $out ==="
scripts/vdesk.sh -- bash tests/e2e/player_e2e.sh demo "$bin" "$builds/native/bin/vektool" "$out"
mv "$out/demo/dialog.png" "$out/demo/overlay.png" "$out/"
rm -rf "$out/demo"
echo "screenshots of the dialog and of the overlay: $out/dialog.png $out/overlay.png"
