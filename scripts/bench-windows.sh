#!/usr/bin/env bash
# The Direct3D 9 renderer's benchmark under Wine in the virtual desktop: frames per second of the
# worker's per-frame path at 1280x720 and 1920x1080, for 480x360 and for 1920x1080 frames, next
# to the software renderer's, measured in one run, with the ratio of the large frames' rate to
# the small ones' and where the device path's time goes. Under Wine the device is Mesa's
# llvmpipe.
#
#   scripts/bench-windows.sh [BUILD_DIR] [FRAMES]     (default build/windows, 120 frames)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
frames=${2:-120}
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$build" -j "${NOCTIVA_JOBS:-2}" --target render_bench
scripts/vdesk.sh -- wine "$build/bin/render_bench.exe" "$frames"
