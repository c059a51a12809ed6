#!/usr/bin/env bash
# Every test of the project: native (plain and under ASan/UBSan, the Linux player's end-to-end
# runs in a virtual desktop included), the reader's fuzzer for a bounded time, the Windows build
# under Wine in a virtual desktop, and the two downloads (scripts/package.sh): the zip for
# Windows users, and the Debian package for Linux users, installed, run and removed. Installs
# what it needs; as root, or as a user who may sudo (the package test installs the package).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${NOCTIVA_JOBS:-2}
fuzz_seconds=${NOCTIVA_FUZZ_SECONDS:-50}

bash scripts/setup.sh

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
stage() { echo; echo "=== $* (at ${SECONDS} s) ==="; }
# ctest with its closing lines kept for the total at the end.
run_ctest() { ctest "$@" | tee -a "$summary"; }

stage "native build and tests"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j "$jobs"
run_ctest --test-dir build/native --output-on-failure -j "$jobs"

stage "native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOCTIVA_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest --test-dir build/asan --output-on-failure -j "$jobs" -LE benchmark

# The archive reader and pack's three readers (pictures, GIFs, YUV4MPEG2), two at a time.
stage "fuzzing the archive reader and pack's readers for ${fuzz_seconds} s each"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOCTIVA_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j "$jobs" --target archive_fuzzer picture_fuzzer gif_fuzzer y4m_fuzzer
bash tests/fuzz/run_fuzzer.sh build/fuzz "$fuzz_seconds"

stage "Windows build and tests under Wine"
cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DNOCTIVA_HOST_VEKTOOL="$root/build/native/bin/vektool" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build/windows -j "$jobs"
# Wine tests run one at a time: they share one wineserver and one X display.
scripts/vdesk.sh -- ctest --test-dir build/windows --output-on-failure \
  -LE 'two-monitors|display-change|package' | tee -a "$summary"
# The display change needs an X screen that holds the new mode beside Wine's virtual desktop.
scripts/vdesk.sh --size 1920x1080 -- ctest --test-dir build/windows --output-on-failure \
  -L display-change | tee -a "$summary"
# The player through pauses and resumes; longer by hand (scripts/pause_cycle.sh 200).
scripts/pause_cycle.sh 21 build/windows
if ctest --test-dir build/windows -N -L two-monitors | grep -q 'Total Tests: [1-9]'; then
  scripts/vdesk.sh --two-monitors -- ctest --test-dir build/windows --output-on-failure -L two-monitors \
    | tee -a "$summary"
fi

stage "the zip for Windows users, unpacked and run"
bash scripts/package.sh
scripts/vdesk.sh -- ctest --test-dir build/windows --output-on-failure -L package | tee -a "$summary"

# As root (through sudo for another user, as setup.sh installs): it installs the package with
# apt, runs it as a user of its own and removes both.
stage "the Debian package for Linux users, installed, run and removed"
as_root=()
if [[ $(id -u) -ne 0 ]]; then as_root=(sudo --preserve-env); fi
"${as_root[@]}" scripts/vdesk.sh --no-wine --size 640x480 -- \
  bash tests/e2e/deb_e2e.sh dist/noctiva_*_amd64.deb build/deb build/deb-check

total=$(awk '/tests passed, .* tests failed out of/ {n += $NF} END {print n + 0}' "$summary")
echo
echo "all test stages passed in ${SECONDS} s"
echo "tests: $total passed, 0 failed"
