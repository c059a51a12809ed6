#!/usr/bin/env bash
# Processor time per second of the Linux player playing the demo at 30 frames per second, in one
# run: its Wayland overlay in a headless sway (scripts/sway_session.sh) against its X11 overlay
# in Xvfb with xcompmgr (scripts/vdesk.sh), at each size; and the Wayland overlay behind a
# full-screen window, paused. Uses the measurement build bin/noctiva_measure (normal priority).
#
#   scripts/measure_wayland_overlay.sh [NATIVE_BUILD_DIR] [SECONDS] [SIZES]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(cd "${1:-build/native}/bin" && pwd)
seconds=${2:-8}
sizes=${3:-1280x720 1920x1080}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
[[ -f $bin/vek.bin && -x $bin/noctiva_measure ]] || {
  echo "measure: build noctiva_measure and vek.bin first" >&2
  exit 1
}

# One measurement inside a session: OVERLAY (wayland, paused or x11) at SIZE, a line appended to
# $work/results.
cat >"$work/inner.sh" <<'INNER'
set -euo pipefail
bin=$1 way=$2 seconds=$3 work=$4 size=$5
here=$PWD/tests/e2e
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
run=$(mktemp -d "$work/run.XXXXXX")
cp "$bin/noctiva_measure" "$run/noctiva"
cp "$bin/vek.bin" "$run/"
(cd "$run" && exec ./noctiva 2>"$run/stderr.txt") &
player=$!
others=()
trap 'kill "$player" "${others[@]}" 2>/dev/null || true' EXIT
if [[ $way == x11 ]]; then
  source "$here/desktop_lib.sh"
  dialog=$(wait_window "$dialog_title" 30) || { echo "measure: no dialog" >&2; exit 1; }
  sleep 0.5
  press "$dialog" Return
  wait_window "$overlay_title" 30 >/dev/null || { echo "measure: no overlay" >&2; exit 1; }
else
  for _ in $(seq 300); do swaymsg -t get_tree | grep -q '"name": "Tessarine' && break; sleep 0.1; done
  sleep 0.5
  python3 "$here/rfb_input.py" "$NOCTIVA_VNC_PORT" key:Return
  if [[ $way == paused ]]; then
    sleep 1
    wev >/dev/null 2>&1 &
    others+=($!)
    for _ in $(seq 100); do swaymsg -t get_tree | grep -q '"app_id": "wev"' && break; sleep 0.1; done
    swaymsg '[app_id=wev] fullscreen enable' >/dev/null
  fi
fi
sleep 2
t0=$(cpu_ticks "$player")
sleep "$seconds"
t1=$(cpu_ticks "$player")
if [[ $way == x11 ]]; then
  # The X11 player ends on a key (SIGINT would end it before it reports).
  overlay=$(wait_window "$overlay_title" 5)
  xdotool windowfocus "$overlay" 2>/dev/null || true
  xdotool key space
else
  kill -INT "$player"
fi
wait "$player" || true
presented=$(sed -n 's/^measure: presented=\([0-9]*\) seconds=\([0-9.]*\).*/\1 \2/p' "$run/stderr.txt")
grep -q "overlay: ${way/paused/wayland}" -i "$run/stderr.txt" ||
  { echo "measure: not the $way overlay: $(cat "$run/stderr.txt")" >&2; exit 1; }
echo "$size $way $((t1 - t0)) $seconds ${presented:-0 0}" >>"$work/results"
INNER
touch "$work/results"

for size in $sizes; do
  for way in wayland x11 paused; do
    if [[ $way == x11 ]]; then
      scripts/vdesk.sh --no-wine --size "$size" -- bash "$work/inner.sh" "$bin" x11 "$seconds" "$work" "$size"
    else
      scripts/sway_session.sh --size "$size" --writable "$work" -- \
        bash "$work/inner.sh" "$bin" "$way" "$seconds" "$work" "$size"
    fi || echo "measure: $way at $size failed" >&2
  done
done

echo "the demo at 30 frames per second; /proc utime + stime over ${seconds} s after 2 s of play;"
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$work/results" <<'PY'
import sys
rows, rates = {}, {}
for line in open(sys.argv[1]).read().splitlines():
    size, way, ticks, seconds, presented, played = line.split()
    rows[(size, way)] = int(ticks) / 100.0 / float(seconds)
    rates[(size, way)] = int(presented) / float(played) if float(played) else 0.0
print("CPU s/s of the player; in brackets the pictures it presented per second over its whole run")
print(f"{'desktop':<10} {'Wayland s/s':>16} {'X11 s/s':>16} {'Wayland/X11':>12} {'paused s/s':>11}")
show = lambda k, n: (f"{rows[k]:{n - 7}.3f} ({rates[k]:4.1f})" if k in rows else f"{'-':>{n}}")
for size in dict.fromkeys(s for s, _ in rows):
    w, x = rows.get((size, "wayland")), rows.get((size, "x11"))
    ratio = f"{w / x:12.2f}" if w is not None and x else f"{'-':>12}"
    paused = f"{rows[(size, 'paused')]:11.3f}" if (size, "paused") in rows else f"{'-':>11}"
    print(f"{size:<10} {show((size, 'wayland'), 16)} {show((size, 'x11'), 16)} {ratio} {paused}")
PY
