#!/usr/bin/env bash
# A long run of the player on the demo in a virtual desktop, beside the baseline program (the
# same per-picture platform calls with nothing of the player), so that growth can be told
# apart: Wine's own, or the player's. Once a minute it prints, for both processes, private bytes
# and working set as the process sees them (GetProcessMemoryInfo), handles, GDI and USER objects,
# and the resident memory as Linux sees it; at the end, the growth per hour after the first
# minute. Uses noctiva_soak.exe, soak_baseline.exe and vek.bin of an existing Windows build.
# NOCTIVA_SOAK_UPLOADS=1 adds a third process: the baseline plus the player's two texture uploads
# per picture through staging surfaces made for each upload.
#
#   scripts/soak.sh MINUTES [WINDOWS_BUILD_DIR] [DESKTOP_SIZE]
#
# Set NOCTIVA_WINEPREFIX to a prefix of its own when other Wine runs share the machine: the
# virtual desktop's end stops every Wine process of its prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 1)) || ! [[ $1 =~ ^[0-9]+$ ]] || (($1 < 2)); then
  echo "usage: soak.sh MINUTES [WINDOWS_BUILD_DIR] [DESKTOP_SIZE] (at least 2 minutes)" >&2
  exit 2
fi
minutes=$1
build=${2:-build/windows}
size=${3:-640x360}
bin=$(cd "$build/bin" && pwd)
for file in noctiva_soak.exe soak_baseline.exe vek.bin; do
  [[ -f "$bin/$file" ]] || { echo "soak: $bin/$file is missing; build the Windows tree" >&2; exit 1; }
done
out=${TMPDIR:-/tmp}/noctiva-soak-$$
mkdir -p "$out"
export NOCTIVA_SOAK_OUT=$out NOCTIVA_SOAK_MINUTES=$minutes NOCTIVA_SOAK_BIN=$bin

scripts/vdesk.sh --size "$size" -- bash -c '
set -euo pipefail
source tests/e2e/lib.sh "$NOCTIVA_SOAK_BIN" "" "$NOCTIVA_SOAK_OUT"
rss_kb() { awk "/^VmRSS/ {print \$2}" "/proc/$1/status" 2>/dev/null || echo 0; }
# The Linux process of a Windows program of this prefix (other prefixes may run the same name).
linux_pid() {
  local pid
  for pid in $(pgrep -f "^[^ ]*$1"); do
    if tr "\\0" "\\n" <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return
    fi
  done
  echo 0
}
latest() { grep "^soak:" "$1" 2>/dev/null | tail -n 1 | tr -d "\r" || true; }

dir=$(player_folder player "$NOCTIVA_SOAK_BIN/vek.bin")
cp "$NOCTIVA_SOAK_BIN/noctiva_soak.exe" "$dir/noctiva.exe"
(cd "$dir" && exec wine ./noctiva.exe 2>"$NOCTIVA_SOAK_OUT/player.txt") &
player_pid=$!
dialog=$(wait_window "$dialog_title" 30) || fail "no dialog"
sleep 0.5
press "$dialog" Return
overlay=$(wait_window "$overlay_title" 30) || fail "no overlay"
seconds=$((NOCTIVA_SOAK_MINUTES * 60 + 180))  # outlasts the sampling, which drifts
(cd "$NOCTIVA_SOAK_OUT" && exec wine "$NOCTIVA_SOAK_BIN/soak_baseline.exe" "$seconds" \
  2>"$NOCTIVA_SOAK_OUT/baseline.txt") &
baseline_pid=$!
sleep 2
baseline=$(linux_pid soak_baseline.exe)
uploads=""
if [[ -n ${NOCTIVA_SOAK_UPLOADS:-} ]]; then
  mkdir -p "$NOCTIVA_SOAK_OUT/uploads"
  cp "$NOCTIVA_SOAK_BIN/soak_baseline.exe" "$NOCTIVA_SOAK_OUT/uploads/soak_uploads.exe"
  (cd "$NOCTIVA_SOAK_OUT/uploads" && exec wine ./soak_uploads.exe "$seconds" uploads \
    2>"$NOCTIVA_SOAK_OUT/uploads.txt") &
  uploads_pid=$!
  sleep 2
  uploads=$(linux_pid soak_uploads.exe)
fi
player=$(linux_pid noctiva.exe)
echo "soak: $NOCTIVA_SOAK_MINUTES minutes at $NOCTIVA_DESKTOP_SIZE, player pid $player, baseline pid $baseline, uploads pid $uploads"
for ((minute = 1; minute <= NOCTIVA_SOAK_MINUTES; minute++)); do
  sleep 60
  kill -0 "$player_pid" 2>/dev/null || fail "the player ended by itself"
  echo "minute=$minute who=player rss_kb=$(rss_kb "$player") $(latest "$NOCTIVA_SOAK_OUT/player.txt" | cut -d" " -f2-)"
  echo "minute=$minute who=baseline rss_kb=$(rss_kb "$baseline") $(latest "$NOCTIVA_SOAK_OUT/baseline.txt" | cut -d" " -f2-)"
  if [[ -n $uploads ]]; then
    echo "minute=$minute who=uploads rss_kb=$(rss_kb "$uploads") $(latest "$NOCTIVA_SOAK_OUT/uploads.txt" | cut -d" " -f2-)"
  fi
done
# The baselines first (their Wine processes, not their launchers). Under Wine without a window
# manager, once their windows have been up the key press no longer reaches the overlay (seen on
# every run with a baseline; without one the player ends at once), so the player may then be
# killed here: its growth figures above do not depend on its end.
for pid in $baseline $uploads; do ((pid > 0)) && kill "$pid" 2>/dev/null || true; done
sleep 2
press "$overlay" space
wait_player 30
echo "soak: player exit status $player_status"
grep "^measure:" "$NOCTIVA_SOAK_OUT/player.txt" | tr -d "\r" || echo "soak: the player wrote no report"
' | tee "$out/rows.txt"

python3 - "$out/rows.txt" <<'PY'
import sys
rows = {}
for line in open(sys.argv[1]):
    if not line.startswith("minute="):
        continue
    values = dict(p.split("=", 1) for p in line.split())
    rows.setdefault(values.pop("who"), []).append(values)
print()
print("growth per hour after the first minute (last sample minus minute 1, scaled):")
print(f"{'process':<10} {'RSS MB/h':>9} {'private MB/h':>13} {'handles/h':>10} {'GDI/h':>7} {'USER/h':>7}")
for who, samples in rows.items():
    first, last = samples[0], samples[-1]
    hours = (int(last["minute"]) - int(first["minute"])) / 60
    if hours <= 0:
        continue
    def rate(key, scale=1.0):
        if key not in first or key not in last:
            return float("nan")
        return (int(last[key]) - int(first[key])) / scale / hours
    print(f"{who:<10} {rate('rss_kb', 1024):9.2f} {rate('private', 1 << 20):13.2f} "
          f"{rate('handles'):10.1f} {rate('gdi'):7.1f} {rate('user'):7.1f}")
PY
echo "rows: $out/rows.txt"
