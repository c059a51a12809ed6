#!/usr/bin/env bash
# Measures the Linux player's overlay the ways it can show, in one run: composited (xcompmgr),
# shaped (no compositing manager) and paused behind a full-screen window (openbox with xcompmgr),
# at 1280x720 and 1920x1080. Prints pictures presented per second and processor time per second
# of the measurement build bin/noctiva_measure playing the demo at 30 frames per second.
#
#   scripts/measure_linux_overlay.sh [NATIVE_BUILD_DIR] [SECONDS] [SIZES]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build/native}/bin" && pwd)
seconds=${2:-8}
sizes=${3:-1280x720 1920x1080}
results=$(mktemp)
inner=$(mktemp)
trap 'rm -f "$results" "$inner"' EXIT

cat >"$inner" <<'INNER'
set -euo pipefail
export LANG=C.UTF-8 LC_ALL=C.UTF-8
bin=$1 way=$2 seconds=$3 results=$4 size=$5
player_pid=""
source tests/e2e/desktop_lib.sh
fail() { echo "measure: $*" >&2; exit 1; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
work=$(mktemp -d)
cp "$bin/noctiva_measure" "$work/noctiva"
cp "$bin/vek.bin" "$work/"
(cd "$work" && exec ./noctiva 2>"$work/measure.txt") &
player_pid=$!
dialog=$(wait_window "$dialog_title" 30) || fail "no dialog"
sleep 0.5
press "$dialog" Return
overlay=$(wait_window "$overlay_title" 30) || fail "no overlay"
if [[ $way == paused ]]; then
  xlogo -name fullscreen >/dev/null 2>&1 &
  other=$!
  full=$(wait_window '^fullscreen$' 10) || fail "no full-screen window"
  wmctrl -i -r "$full" -b add,fullscreen
  wmctrl -i -a "$full"
  for _ in $(seq 100); do xwininfo -id "$overlay" | grep -q IsViewable || break; sleep 0.05; done
fi
sleep 1
p0=$(cpu_ticks "$player_pid")
sleep $((seconds - 1))
p1=$(cpu_ticks "$player_pid")
if [[ $way == paused ]]; then kill "$other"; sleep 0.5; fi
xdotool windowfocus "$overlay" 2>/dev/null || true
xdotool key space
wait_player 10
echo "$size $way $(grep '^measure:' "$work/measure.txt" || true) proc_cpu=$((p1 - p0)) window=$((seconds - 1))" >>"$results"
rm -rf "$work"
INNER

for size in $sizes; do
  scripts/vdesk.sh --no-wine --size "$size" -- bash "$inner" "$bin" composited "$seconds" "$results" "$size" ||
    echo "measure: composited at $size failed" >&2
  scripts/vdesk.sh --no-wine --no-compositor --size "$size" -- \
    bash "$inner" "$bin" shaped "$seconds" "$results" "$size" || echo "measure: shaped at $size failed" >&2
  scripts/vdesk.sh --no-wine --wm openbox --size "$size" -- \
    bash "$inner" "$bin" paused "$seconds" "$results" "$size" || echo "measure: paused at $size failed" >&2
done

echo "the demo at 30 frames per second, ${seconds} s per run; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "process CPU: as the player counts it from the start of its loop (while playing); /proc: utime +"
echo "stime over the last $((seconds - 1)) s"
echo "desktop    overlay     pictures/s  process CPU s/s  /proc CPU s/s"
python3 - "$results" <<'PY'
import sys
for line in open(sys.argv[1]).read().splitlines():
    parts = line.split()
    size, way = parts[:2]
    values = dict(p.split("=") for p in parts[2:] if "=" in p)
    proc = int(values["proc_cpu"]) / 100.0 / float(values["window"])
    if "presented" not in values:
        print(f"{size:<10} {way:<10} {'no measurement':>11}")
        continue
    s = float(values["seconds"])
    rate = "" if way == "paused" else f"{int(values['presented']) / s:10.1f}"
    cpu = "" if way == "paused" else f"{float(values['process_cpu']) / s:15.3f}"
    print(f"{size:<10} {way:<10} {rate:>11}  {cpu:>15}  {proc:13.3f}")
PY
