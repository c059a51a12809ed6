#!/usr/bin/env bash
# Measures the player end to end in virtual desktops of 1280x720 and 1920x1080: pictures presented
# per second and processor time per second (whole process and main thread), with the 30 frames-
# per-second cap on and off, for the loop that sleeps between pictures and for the polling one,
# for each archive given, all in one run. Uses the measurement builds noctiva_measure.exe and
# noctiva_measure_polling.exe of an existing Windows build, which also count the playback worker's
# heap allocations and Direct3D resource creations per frame.
#
#   scripts/measure_player.sh [--archive FILE]... [--loop blocking|polling]... [--cap on|off]...
#                             [WINDOWS_BUILD_DIR] [SECONDS] [SIZES]
#   scripts/measure_player.sh --repeats [WINDOWS_BUILD_DIR] [SECONDS] [SIZES]
#   scripts/measure_player.sh --session [WINDOWS_BUILD_DIR]
#
# --session measures the player in a desktop session at 1280x720, in one run of the session's
# end-to-end scenario (tests/e2e/session_e2e.sh cover-lock): processor time per second of the
# player's process while playing the demo, while paused by a full-screen window of another
# program and while locked, and the times from that window's appearance to the overlay hidden
# and from its end to the overlay shown again.
#
# --repeats measures repeated frames: the sleeping loop on an archive of 30 distinct demo frames
# against one of 10 distinct frames each shown 3 times (packed with --dedupe, so repeated frames
# name the same bytes), same size. Pass a small desktop (e.g. 320x180) where the machine cannot
# keep 30 pictures a second: the saving shows only while the worker keeps up.
#
# Without --archive the build's own vek.bin (the demo) is played. --loop and --cap choose among
# the combinations (default: all). SIZES defaults to "1280x720 1920x1080"; a smaller desktop
# shows the loops where the machine keeps up with 30 pictures a second.
# NOCTIVA_MEASURE_CSMT=off runs Wine's Direct3D without its command-stream thread, whose busy
# waiting otherwise adds to every thread that touches the device and hides the loop's own cost
# (set in the Wine prefix for the run, removed after it).
set -euo pipefail
cd "$(dirname "$0")/.."
archives=()
loops=()
caps=()
repeats=0
session=0
while (($#)); do
  case "$1" in
    --repeats) repeats=1; shift ;;
    --session) session=1; shift ;;
    --archive) archives+=("$(realpath "$2")"); shift 2 ;;
    --loop) loops+=("$2"); shift 2 ;;
    --cap) caps+=("$2"); shift 2 ;;
    -h | --help) sed -n '2,30p' "$0"; exit 0 ;;
    -*) echo "measure: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
build=${1:-build/windows}
if ((session)); then
  bin=$(cd "$build/bin" && pwd)
  for exe in noctiva.exe session_driver.exe vek.bin; do
    [[ -f "$bin/$exe" ]] || { echo "measure: $exe is missing; build the Windows tree" >&2; exit 1; }
  done
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  scripts/vdesk.sh --size 1280x720 -- bash tests/e2e/session_e2e.sh cover-lock "$bin" \
    "${NOCTIVA_HOST_VEKTOOL:-}" "${TMPDIR:-/tmp}/noctiva-measure" >"$log" 2>&1 ||
    { echo "measure: the session run failed:" >&2; tail -5 "$log" >&2; exit 1; }
  echo "desktop session at 1280x720, the demo, processor time of the player's process:"
  tr -d '\r' <"$log" | sed -n 's/^figure: /  /p'
  exit 0
fi
seconds=${2:-8}
sizes=${3:-1280x720 1920x1080}
csmt=${NOCTIVA_MEASURE_CSMT:-on}
((${#loops[@]})) || loops=(blocking polling)
((${#caps[@]})) || caps=(on off)
bin=$(cd "$build/bin" && pwd)
((${#archives[@]})) || archives=("$bin/vek.bin")
for exe in noctiva_measure.exe noctiva_measure_polling.exe "${archives[@]}"; do
  [[ -f "$exe" || -f "$bin/$exe" ]] || { echo "measure: $exe is missing; build the Windows tree" >&2; exit 1; }
done
results=$(mktemp)
trap 'rm -f "$results" "$results.log"; rm -rf "$results.archives"' EXIT

if ((repeats)); then
  vektool=${NOCTIVA_HOST_VEKTOOL:-build/native/bin/vektool}
  [[ -x $vektool ]] || { echo "measure: $vektool is missing; build the native tree" >&2; exit 1; }
  frames=$results.archives
  mkdir -p "$frames"
  # Small frames (NOCTIVA_MEASURE_FRAME, default 240x180), so that a busy machine still keeps
  # 30 pictures a second.
  "$vektool" demo -o "$frames/demo.bin" --size "${NOCTIVA_MEASURE_FRAME:-240x180}" --frames 30 \
    >/dev/null
  for n in $(seq 0 29); do "$vektool" dump "$frames/demo.bin" "$n" -o "$frames/$n.pgm"; done
  distinct=() repeated=()
  for n in $(seq 0 29); do distinct+=("$frames/$n.pgm"); done
  for n in $(seq 0 9); do for _ in 1 2 3; do repeated+=("$frames/$n.pgm"); done; done
  "$vektool" pack -o "$frames/distinct30.bin" --dedupe "${distinct[@]}" >/dev/null
  "$vektool" pack -o "$frames/repeated10x3.bin" --dedupe "${repeated[@]}" >/dev/null
  archives=("$frames/distinct30.bin" "$frames/repeated10x3.bin")
  loops=(blocking)
fi

# One desktop size: every combination, one line each into $results.
measure_desktop() {
  local size=$1
  cat >"$results.inner" <<INNER
set -euo pipefail
source tests/e2e/lib.sh "$bin" "" "\${TMPDIR:-/tmp}/noctiva-measure"
# Processor time of a process in clock ticks (user + system), 0 when it is gone.
cpu_ticks() { awk '{print \$14 + \$15}' "/proc/\$1/stat" 2>/dev/null || echo 0; }
# The wineserver of this prefix (other prefixes may have their own).
server_pid() {
  local pid
  for pid in \$(pgrep wineserver); do
    if tr '\\0' '\\n' <"/proc/\$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=\$WINEPREFIX"; then
      echo "\$pid"
      return
    fi
  done
  echo 0
}
direct3d_key='HKCU\\Software\\Wine\\Direct3D'
if [[ $csmt == off ]]; then
  wine reg add "\$direct3d_key" /v csmt /t REG_DWORD /d 0 /f >/dev/null 2>&1
  trap 'wine reg delete "\$direct3d_key" /v csmt /f >/dev/null 2>&1' EXIT
fi
for archive in ${archives[*]@Q}; do
  label=\$(basename "\$archive" .bin)
  for loop in ${loops[*]}; do
    exe=noctiva_measure.exe
    [[ \$loop == polling ]] && exe=noctiva_measure_polling.exe
    for cap in ${caps[*]}; do
      dir=\$(player_folder "\$label-\$loop-\$cap" "\$archive")
      cp "$bin/\$exe" "\$dir/noctiva.exe"
      (cd "\$dir" && exec wine ./noctiva.exe 2>"\$dir/measure.txt") &
      player_pid=\$!
      dialog=\$(wait_window "\$dialog_title" 30) || fail "no dialog"
      sleep 0.5
      # From the shadow trackbar, three tab stops on: "FPS調整をする", which Space unticks.
      if [[ \$cap == off ]]; then press "\$dialog" Tab Tab Tab space; fi
      press "\$dialog" Return
      overlay=\$(wait_window "\$overlay_title" 30) || fail "no overlay"
      sleep 1
      # Wine answers every event test and message peek in its server process, so the server's
      # processor time belongs to the player's cost too.
      server=\$(server_pid)
      player=\$(pgrep -n -f 'noctiva.exe' || true)
      s0=\$(cpu_ticks "\$server"); p0=\$(cpu_ticks "\$player")
      sleep $seconds
      s1=\$(cpu_ticks "\$server"); p1=\$(cpu_ticks "\$player")
      press "\$overlay" space
      wait_player 10
      # The loop's figures and, from builds that count them, the worker's.
      line=\$(grep -h '^measure' "\$dir/measure.txt" | tr -d '\r' | tr '\n' ' ' || true)
      echo "$size \$label \$loop \$cap \$line window=$seconds wine_cpu=\$(((p1 - p0))) server_cpu=\$(((s1 - s0)))" >>"$results"
    done
  done
done
INNER
  scripts/vdesk.sh --size "$size" -- bash "$results.inner" >"$results.log" 2>&1 ||
    { echo "measure: the run at $size failed:" >&2; tail -5 "$results.log" >&2; }
  rm -f "$results.inner"
}

for size in $sizes; do measure_desktop "$size"; done

echo "Wine command-stream thread: $csmt"
python3 - "$results" <<'PY'
import sys
print("desktop    archive          loop      cap  pictures/s  process CPU s/s  main thread CPU s/s"
      "  wineserver CPU s/s  worker allocs/frame  D3D creations/frame")
rows = {}
for line in open(sys.argv[1]).read().splitlines():
    parts = line.split()
    values = dict(p.split("=", 1) for p in parts[4:] if "=" in p)
    if "presented" not in values:
        print(f"{' '.join(parts[:4])}: no measurement")
        continue
    size, label, loop, cap = parts[:4]
    s = float(values["seconds"])
    rate, proc, main = int(values["presented"]) / s, float(values["process_cpu"]) / s, \
        float(values["main_cpu"]) / s
    window = float(values["window"])
    ticks = 100.0  # clock ticks per second in /proc
    server = int(values["server_cpu"]) / ticks / window
    rows[(size, label, loop, cap)] = (rate, proc, main, server)
    # After the first frame, which carries the set-up; "-" from builds that do not count.
    later = int(values.get("worker_frames", 0)) - 1
    allocs = f"{int(values['later_allocs']) / later:.2f}" if later > 0 else "-"
    creations = f"{int(values['later_creations']) / later:.2f}" if later > 0 else "-"
    print(f"{size:<10} {label:<16} {loop:<9} {cap:<4} {rate:10.1f}  {proc:15.2f}  {main:19.2f}  "
          f"{server:18.2f}  {allocs:>19}  {creations:>19}")
print()
labels = list(dict.fromkeys(key[1] for key in rows))
for size in sorted({key[0] for key in rows}):
    for label in labels:
        b, p = rows.get((size, label, "blocking", "on")), rows.get((size, label, "polling", "on"))
        if b and p and b[2] > 0:
            print(f"{size} {label}, cap on: polling / sleeping: main thread CPU {p[2] / b[2]:.1f}, "
                  f"process CPU {p[1] / b[1]:.2f}, wineserver CPU {p[3] / max(b[3], 0.01):.1f}")
    # Every archive against the first one, in the same desktop, loop and cap.
    for (sz, label, loop, cap), row in rows.items():
        first = rows.get((size, labels[0], loop, cap))
        if sz == size and label != labels[0] and first and first[0] > 0:
            print(f"{size} {loop} cap {cap}: {label} / {labels[0]}: pictures/s "
                  f"{row[0] / first[0]:.2f}, process CPU {row[1] / max(first[1], 1e-9):.2f}, "
                  f"main thread CPU {row[2] / max(first[2], 1e-9):.2f}")
PY
