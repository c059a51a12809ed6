#!/usr/bin/env bash
# Measures the player end to end in virtual desktops of 1280x720 and 1920x1080: pictures presented
# per second and processor time per second (whole process and main thread), with the 30 frames-
# per-second cap on and off, for the loop that sleeps between pictures and for the polling one,
# all in one run. Uses the measurement builds noctiva_measure.exe and noctiva_measure_polling.exe
# of an existing Windows build.
#
#   scripts/measure_player.sh [WINDOWS_BUILD_DIR] [SECONDS] [SIZES]
#   scripts/measure_player.sh --repeats [WINDOWS_BUILD_DIR] [SECONDS] [SIZES]
#
# --repeats measures repeated frames instead: the sleeping loop on an archive of 30 distinct demo
# frames against one of 10 distinct frames each shown 3 times (packed with --dedupe, so repeated
# frames name the same bytes), same size, and prints the ratios of processor time per second.
# Pass a small desktop (e.g. 320x180) where the machine cannot keep 30 pictures a second.
#
# SIZES defaults to "1280x720 1920x1080"; a smaller desktop shows the loops where the machine
# keeps up with 30 pictures a second. NOCTIVA_MEASURE_CSMT=off runs Wine's Direct3D without its
# command-stream thread, whose busy waiting otherwise adds to every thread that touches the
# device and hides the loop's own cost (set in the Wine prefix for the run, removed after it).
set -euo pipefail
cd "$(dirname "$0")/.."
repeats=0
if [[ ${1:-} == --repeats ]]; then repeats=1; shift; fi
build=${1:-build/windows}
seconds=${2:-8}
sizes=${3:-1280x720 1920x1080}
csmt=${NOCTIVA_MEASURE_CSMT:-on}
bin=$(cd "$build/bin" && pwd)
for exe in noctiva_measure.exe noctiva_measure_polling.exe vek.bin; do
  [[ -f "$bin/$exe" ]] || { echo "measure: $bin/$exe is missing; build the Windows tree" >&2; exit 1; }
done
results=$(mktemp)
trap 'rm -f "$results" "$results.log"; rm -rf "$results.archives"' EXIT

# name=archive pairs, and the loops to run on each.
archives="demo=$bin/vek.bin"
loops="blocking polling"
if ((repeats)); then
  vektool=${NOCTIVA_HOST_VEKTOOL:-build/native/bin/vektool}
  [[ -x $vektool ]] || { echo "measure: $vektool is missing; build the native tree" >&2; exit 1; }
  mkdir -p "$results.archives"
  # Small frames (NOCTIVA_MEASURE_FRAME, default 240x180), so that a busy machine still keeps
  # 30 pictures a second: the saving shows only while the worker keeps up.
  "$vektool" demo -o "$results.archives/demo.bin" --size "${NOCTIVA_MEASURE_FRAME:-240x180}" \
    --frames 30 >/dev/null
  for n in $(seq 0 29); do
    "$vektool" dump "$results.archives/demo.bin" "$n" -o "$results.archives/$n.pgm"
  done
  distinct=() repeated=()
  for n in $(seq 0 29); do distinct+=("$results.archives/$n.pgm"); done
  for n in $(seq 0 9); do for _ in 1 2 3; do repeated+=("$results.archives/$n.pgm"); done; done
  "$vektool" pack -o "$results.archives/distinct.bin" --dedupe "${distinct[@]}" >/dev/null
  "$vektool" pack -o "$results.archives/repeated.bin" --dedupe "${repeated[@]}" >/dev/null
  archives="distinct30=$results.archives/distinct.bin repeated10x3=$results.archives/repeated.bin"
  loops="blocking"
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
for pair in $archives; do
 name=\${pair%%=*}
 archive=\${pair#*=}
 for loop in $loops; do
  exe=noctiva_measure.exe
  [[ \$loop == polling ]] && exe=noctiva_measure_polling.exe
  for cap in on off; do
    dir=\$(player_folder "\$name-\$loop-\$cap" "\$archive")
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
    line=\$(grep '^measure:' "\$dir/measure.txt" || true)
    echo "$size \$name \$loop \$cap \$line window=$seconds wine_cpu=\$(((p1 - p0))) server_cpu=\$(((s1 - s0)))" >>"$results"
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
echo "desktop    archive       loop      cap  pictures/s  process CPU s/s  main thread CPU s/s  wineserver CPU s/s"
python3 - "$results" <<'PY'
import sys
rows = {}
# The player ends its lines with CR LF.
for line in open(sys.argv[1], newline="").read().replace("\r", "").splitlines():
    parts = line.split()
    if len(parts) < 5:
        print(f"{' '.join(parts[:4])}: no measurement")
        continue
    size, name, loop, cap = parts[:4]
    values = dict(p.split("=") for p in parts[5:])
    s = float(values["seconds"])
    rate, proc, main = int(values["presented"]) / s, float(values["process_cpu"]) / s, \
        float(values["main_cpu"]) / s
    window = float(values["window"])
    ticks = 100.0  # clock ticks per second in /proc
    server = int(values["server_cpu"]) / ticks / window
    rows[(size, name, loop, cap)] = (rate, proc, main, server)
    print(f"{size:<10} {name:<13} {loop:<9} {cap:<4} {rate:10.1f}  {proc:15.2f}  {main:19.2f}  "
          f"{server:18.2f}")
print()
for size in sorted({key[0] for key in rows}):
    b, p = rows.get((size, "demo", "blocking", "on")), rows.get((size, "demo", "polling", "on"))
    if b and p and b[2] > 0:
        print(f"{size}, cap on: polling / sleeping: main thread CPU {p[2] / b[2]:.1f}, "
              f"process CPU {p[1] / b[1]:.2f}, wineserver CPU {p[3] / max(b[3], 0.01):.1f}")
    for cap in ("on", "off"):
        d = rows.get((size, "distinct30", "blocking", cap))
        r = rows.get((size, "repeated10x3", "blocking", cap))
        if d and r and d[1] > 0 and d[2] > 0:
            print(f"{size}, cap {cap}: 10 frames x 3 / 30 distinct: process CPU {r[1] / d[1]:.2f}, "
                  f"main thread CPU {r[2] / d[2]:.2f}, pictures/s {r[0] / max(d[0], 0.01):.2f}")
PY
