#!/usr/bin/env bash
# The download for Windows users: builds the native vektool (which writes the demo vek.bin) and
# the Windows release programs as needed, then packs them with the user guide and the licences
# into dist/noctiva-<version>-windows-x64.zip with CPack. Prints the zip's path on its last line.
#
#   scripts/package.sh [--output DIR]      (default DIR: dist/)
#
# The zip's files carry the time of the commit (or SOURCE_DATE_EPOCH) and the programs no link
# time, so packaging one commit twice gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${NOCTIVA_JOBS:-2}
builds=${NOCTIVA_BUILD_ROOT:-$root/build}
out=$root/dist
case "${1:-}" in
  "") ;;
  --output) out=$(mkdir -p "$2" && cd "$2" && pwd) ;;
  *) echo "usage: package.sh [--output DIR]" >&2; exit 2 ;;
esac

bash scripts/setup.sh >&2

echo "=== building vektool (native) ===" >&2
cmake -S . -B "$builds/native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$builds/native" -j "$jobs" --target vektool >&2

echo "=== building the Windows release ===" >&2
cmake -S . -B "$builds/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DNOCTIVA_HOST_VEKTOOL="$builds/native/bin/vektool" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$builds/windows" -j "$jobs" --target noctiva vektool demo_archive >&2

echo "=== packing ===" >&2
# CPack stages in the folder it packs into; the zip alone goes to the output folder.
staging="$builds/windows/package"
rm -rf "$staging"
log=$(cpack --config "$builds/windows/CPackConfig.cmake" -B "$staging")
echo "$log" >&2
zip=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log")
[[ -f "$zip" ]] || { echo "package: CPack wrote no zip" >&2; exit 1; }
mkdir -p "$out"
mv "$zip" "$out/"
echo "$out/$(basename "$zip")"
