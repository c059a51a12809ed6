#!/usr/bin/env bash
# Measures the Linux player beside the Windows player under Wine, on the same virtual desktop in
# the same run: pictures presented per second and processor time per second (whole process and
# main thread; for Wine also its wineserver) while the demo plays at 30 frames per second, at
# 1280x720 and 1920x1080. Uses the measurement builds bin/noctiva_measure of a native build and
# bin/noctiva_measure.exe of a Windows build (either may be left out with "-").
#
#   scripts/measure_linux_player.sh [NATIVE_BUILD_DIR] [WINDOWS_BUILD_DIR] [SECONDS] [SIZES]
set -euo pipefail
cd "$(dirname "$0")/.."
native=${1:-build/native}
windows=${2:-build/windows}
seconds=${3:-8}
sizes=${4:-1280x720 1920x1080}
results=$(mktemp)
trap 'rm -f "$results" "$results.log" "$results.inner"' EXIT
root=$PWD
native_bin=""
windows_bin=""
if [[ $native != - ]]; then native_bin=$(cd "$native/bin" && pwd); fi
if [[ $windows != - ]]; then windows_bin=$(cd "$windows/bin" && pwd); fi

measure_desktop() {
  local size=$1
  cat >"$results.inner" <<INNER
set -euo pipefail
work=\${TMPDIR:-/tmp}/noctiva-measure-linux
rm -rf "\$work"; mkdir -p "\$work"
source tests/e2e/lib.sh "${windows_bin:-/nonexistent}" "" "\$work/wine"
cpu_ticks() { awk '{print \$14 + \$15}' "/proc/\$1/stat" 2>/dev/null || echo 0; }
server_pid() {
  local pid
  for pid in \$(pgrep wineserver); do
    if tr '\\0' '\\n' <"/proc/\$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=\$WINEPREFIX"; then
      echo "\$pid"; return
    fi
  done
  echo 0
}
if [[ -n "$native_bin" ]]; then
  mkdir -p "\$work/native"
  cp "$native_bin/noctiva_measure" "\$work/native/noctiva"
  cp "$native_bin/vek.bin" "\$work/native/"
  (cd "\$work/native" && LANG=C.UTF-8 LC_ALL=C.UTF-8 exec ./noctiva 2>"\$work/native/measure.txt") &
  player_pid=\$!
  dialog=\$(LANG=C.UTF-8 wait_window "\$dialog_title" 30) || fail "no native dialog"
  sleep 0.5
  press "\$dialog" Return
  overlay=\$(wait_window "\$overlay_title" 30) || fail "no native overlay"
  nice_value=\$(ps -o ni= -p "\$player_pid" | tr -d ' ')
  sleep 1
  p0=\$(cpu_ticks "\$player_pid")
  sleep $((seconds - 1))
  p1=\$(cpu_ticks "\$player_pid")
  press "\$overlay" space
  wait_player 10
  echo "$size linux \$(grep '^measure:' "\$work/native/measure.txt" || true) server_cpu=0 proc_cpu=\$((p1 - p0)) window=$((seconds - 1)) nice=\$nice_value" >>"$results"
fi
if [[ -n "$windows_bin" ]]; then
  dir=\$(player_folder wine "$windows_bin/vek.bin")
  cp "$windows_bin/noctiva_measure.exe" "\$dir/noctiva.exe"
  (cd "\$dir" && exec wine ./noctiva.exe 2>"\$dir/measure.txt") &
  player_pid=\$!
  dialog=\$(wait_window "\$dialog_title" 30) || fail "no Wine dialog"
  sleep 0.5
  press "\$dialog" Return
  overlay=\$(wait_window "\$overlay_title" 30) || fail "no Wine overlay"
  sleep 1
  # Wine names the process after the executable; the command line also matches Wine's loader.
  wine_pid=\$(pgrep -n -x noctiva.exe || pgrep -n -f 'noctiva.exe')
  nice_value=\$(ps -o ni= -p "\$wine_pid" | tr -d ' ')
  server=\$(server_pid)
  s0=\$(cpu_ticks "\$server"); p0=\$(cpu_ticks "\$wine_pid")
  sleep $((seconds - 1))
  s1=\$(cpu_ticks "\$server"); p1=\$(cpu_ticks "\$wine_pid")
  press "\$overlay" space
  wait_player 10
  echo "$size wine \$(grep '^measure:' "\$dir/measure.txt" | tr -d '\\r' || true) server_cpu=\$((s1 - s0)) proc_cpu=\$((p1 - p0)) window=$((seconds - 1)) nice=\$nice_value" >>"$results"
fi
INNER
  scripts/vdesk.sh --size "$size" -- bash "$results.inner" >"$results.log" 2>&1 ||
    { echo "measure: the run at $size failed:" >&2; tail -5 "$results.log" >&2; }
}

load=$(cut -d' ' -f1-3 /proc/loadavg)
for size in $sizes; do measure_desktop "$size"; done

echo "30 frames per second cap on, the demo, ${seconds} s per player"
echo "load average at the start: $load"
echo "process CPU: as the player counts it from the start of its loop; /proc: utime + stime of"
echo "the process over the last $((seconds - 1)) s, as Linux counts every thread"
echo "desktop    player  nice  pictures/s  process CPU s/s  /proc CPU s/s  main thread CPU s/s  wineserver CPU s/s"
python3 - "$results" <<'PY'
import sys
for line in open(sys.argv[1]).read().splitlines():
    parts = line.split()
    size, player = parts[:2]
    values = dict(p.split("=") for p in parts[2:] if "=" in p)
    if "presented" not in values:
        print(f"{size:<10} {player:<7} no measurement")
        continue
    s = float(values["seconds"])
    window = float(values["window"])
    server = int(values["server_cpu"]) / 100.0 / window
    proc = int(values["proc_cpu"]) / 100.0 / window
    print(f"{size:<10} {player:<7} {values.get('nice', '?'):>4}  {int(values['presented']) / s:10.1f}  "
          f"{float(values['process_cpu']) / s:15.3f}  {proc:13.2f}  {float(values['main_cpu']) / s:19.3f}  "
          f"{server:18.3f}")
PY
