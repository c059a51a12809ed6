#!/usr/bin/env bash
# Measures the player end to end in virtual desktops of 1280x720 and 1920x1080: pictures presented
# per second and processor time per second (whole process and main thread), with the 30 frames-
# per-second cap on and off, for the loop that sleeps between pictures and for the polling one,
# all in one run. Uses the measurement builds noctiva_measure.exe and noctiva_measure_polling.exe
# of an existing Windows build.
#
#   scripts/measure_player.sh [WINDOWS_BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
seconds=${2:-8}
bin=$(cd "$build/bin" && pwd)
for exe in noctiva_measure.exe noctiva_measure_polling.exe vek.bin; do
  [[ -f "$bin/$exe" ]] || { echo "measure: $bin/$exe is missing; build the Windows tree" >&2; exit 1; }
done
results=$(mktemp)
trap 'rm -f "$results"' EXIT

# One desktop size: every combination, one line each into $results.
measure_desktop() {
  local size=$1
  cat >"$results.inner" <<INNER
set -euo pipefail
source tests/e2e/lib.sh "$bin" "" "\${TMPDIR:-/tmp}/noctiva-measure"
for loop in blocking polling; do
  exe=noctiva_measure.exe
  [[ \$loop == polling ]] && exe=noctiva_measure_polling.exe
  for cap in on off; do
    dir=\$(player_folder "\$loop-\$cap" "$bin/vek.bin")
    cp "$bin/\$exe" "\$dir/noctiva.exe"
    (cd "\$dir" && exec wine ./noctiva.exe 2>"\$dir/measure.txt") &
    player_pid=\$!
    dialog=\$(wait_window "\$dialog_title" 30) || fail "no dialog"
    sleep 0.5
    # From the shadow trackbar, three tab stops on: "FPS調整をする", which Space unticks.
    if [[ \$cap == off ]]; then press "\$dialog" Tab Tab Tab space; fi
    press "\$dialog" Return
    overlay=\$(wait_window "\$overlay_title" 30) || fail "no overlay"
    sleep $seconds
    press "\$overlay" space
    wait_player 10
    line=\$(grep '^measure:' "\$dir/measure.txt" || true)
    echo "$size \$loop \$cap \$line" >>"$results"
  done
done
INNER
  scripts/vdesk.sh --size "$size" -- bash "$results.inner" >/dev/null 2>&1 ||
    echo "measure: the run at $size failed" >&2
  rm -f "$results.inner"
}

for size in 1280x720 1920x1080; do measure_desktop "$size"; done

echo "desktop    loop      cap  pictures/s  process CPU s/s  main thread CPU s/s"
python3 - "$results" <<'PY'
import sys
rows = {}
for line in open(sys.argv[1]):
    parts = line.split()
    if len(parts) < 4:
        print(f"{' '.join(parts[:3])}: no measurement")
        continue
    size, loop, cap = parts[:3]
    values = dict(p.split("=") for p in parts[4:])
    s = float(values["seconds"])
    rate, proc, main = int(values["presented"]) / s, float(values["process_cpu"]) / s, \
        float(values["main_cpu"]) / s
    rows[(size, loop, cap)] = (rate, proc, main)
    print(f"{size:<10} {loop:<9} {cap:<4} {rate:10.1f}  {proc:15.2f}  {main:19.2f}")
print()
for size in ("1280x720", "1920x1080"):
    b, p = rows.get((size, "blocking", "on")), rows.get((size, "polling", "on"))
    if b and p and b[2] > 0:
        print(f"{size}, cap on: main thread CPU polling / sleeping = {p[2] / b[2]:.1f}, "
              f"process CPU polling / sleeping = {p[1] / b[1]:.2f}")
PY
