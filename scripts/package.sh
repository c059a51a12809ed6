#!/usr/bin/env bash
# The two downloads. For Windows users: builds the native vektool (which writes the demo vek.bin)
# and the Windows release programs as needed, then packs them with the user guide and the
# licences into dist/noctiva-<version>-windows-x64.zip with CPack. For Linux users: a release
# build of the Linux player and vektool with Debian's hardening flags, installed into a tree
# that packaging/linux/make_deb.sh turns into dist/noctiva_<version>_amd64.deb. Prints the zip's
# path, then the package's, on its last two lines.
#
#   scripts/package.sh [--output DIR]      (default DIR: dist/)
#
# Both carry the time of the commit (or SOURCE_DATE_EPOCH) and the programs no link time, so
# packaging one commit twice gives the same bytes.
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
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

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

echo "=== building the Linux release ===" >&2
# Debian's flags with all its hardening, without debugging information (the programs are
# stripped); dpkg-buildflags maps the source folder away, so that where the tree lies leaves no
# trace in the programs.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
cmake -S . -B "$builds/deb" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$builds/deb" -j "$jobs" --target noctiva vektool demo_archive linux_install_files >&2
deb=$(bash packaging/linux/make_deb.sh "$builds/deb" "$out")

echo "$out/$(basename "$zip")"
echo "$deb"
