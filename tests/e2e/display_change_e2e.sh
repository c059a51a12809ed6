#!/usr/bin/env bash
# The player through a display change, inside a Wine virtual desktop of 1280x720 on an X screen
# large enough for the new mode (scripts/vdesk.sh --size 1920x1080): the driver program starts
# the measurement build of the player, changes the mode to 1024x768, checks the overlay's new
# rectangle and closes it; the player's report must show pictures presented at the new size.
# With PLAYER noctiva_surface_fails.exe the picture surface fails after the change, as when a
# driver reset comes with it: the player must make a second device and present on it.
#
#   display_change_e2e.sh BIN_DIR OUT_DIR [PLAYER]
set -euo pipefail
bin=$1
player_exe=${3:-noctiva_measure.exe}
out=$2/display-change-${player_exe%.exe}
rm -rf "$out"
mkdir -p "$out"
cp "$bin/$player_exe" "$out/noctiva.exe"
cp "$bin/vek.bin" "$out/vek.bin"
cp "$bin/display_change_driver.exe" "$out/"
player=$(winepath -w "$out/noctiva.exe" 2>/dev/null)

# A desktop of its own, so the mode change touches nothing else; explorer ends with its last
# window, and timeout guards against a hang.
(cd "$out" && timeout 90 wine explorer "/desktop=noctiva-display-change,1280x720" \
  display_change_driver.exe "$player" >"$out/driver.txt" 2>"$out/player.txt" </dev/null) || true
tr -d '\r' <"$out/driver.txt"
report=$(tr -d '\r' <"$out/player.txt" | grep '^measure:' || true)
echo "${report:-no report from the player}"
grep -q '^PASS' <(tr -d '\r' <"$out/driver.txt") || { echo "FAIL: the driver did not pass" >&2; exit 1; }
[[ $report =~ size=1024x768\ presented_at_size=([0-9]+) ]] ||
  { echo "FAIL: no pictures at 1024x768" >&2; exit 1; }
# Five seconds at the new size: a run of new pictures, not one left over from the change. The
# player runs at idle priority, so a busy machine leaves it far fewer than 30 a second.
((BASH_REMATCH[1] >= 3)) || { echo "FAIL: only ${BASH_REMATCH[1]} pictures at the new size" >&2; exit 1; }
presented=${BASH_REMATCH[1]}
if [[ $player_exe == noctiva_surface_fails.exe ]]; then
  fault=$(tr -d '\r' <"$out/player.txt" | grep '^device-fault:' || true)
  echo "${fault:-no fault report}"
  [[ $fault == *"devices=2 surface_failures=1"* ]] ||
    { echo "FAIL: no second device after the picture surface failed" >&2; exit 1; }
fi
echo "PASS: $presented pictures at 1024x768"
