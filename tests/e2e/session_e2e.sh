#!/usr/bin/env bash
# The player through a desktop session, in the virtual desktop (see scripts/vdesk.sh), one
# scenario per call; each starts the player once and checks several things in sequence:
#
#   session_e2e.sh SCENARIO BIN_DIR VEKTOOL OUT_DIR
#
#   still-one      a one-frame archive: the picture matches the software renderer's at 3 s and
#                  at 8 s, and again after the lock screen hid the overlay and the unlock showed
#                  it; a key ends the player with status 0
#   still-shared   two frames that share one stream: the picture at 3 s and at 8 s
#   cover-lock     the demo: a maximized window of another program with a caption leaves the
#                  overlay shown for 1.5 s; a borderless window of another program over the whole
#                  monitor with the foreground hides the overlay (unmapped, so that it would show nothing
#                  even raised above it) and the player then takes at most 0.03 CPU s/s; the shadow is back within
#                  1.5 s of that window's end; after WM_WTSSESSION_CHANGE lock the player takes
#                  at most 0.03 CPU s/s, after unlock it draws again; a key ends it with status 0.
#                  Prints "figure:" lines (scripts/measure_player.sh --session gathers them).
#   device-removed the build that loses its first device at its 5th picture: a new device is
#                  made and keeps presenting; a key ends the player with status 0
#   device-hangs   the build whose worker hangs in a device call after its 5th picture, in
#                  its fill (then a key) and in its copy under the picture lock (then a lock and
#                  unlock): the failure box within 6 s, with no overlay left on screen, and
#                  status 1 once the box is answered
#   taskkill       taskkill without /F (WM_CLOSE to the process's windows, the Windows player's
#                  counterpart of SIGTERM: it has no console for Ctrl+C) ends the playing player
#                  with status 0
# Keys are pressed as a person would, without handing the overlay the focus first: after the
# lock, the full-screen window and a remote disconnect it must take the activation back itself.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scenario=$1
source "$here/lib.sh" "$2" "$3" "$4/session-$scenario"
read_desktop
cpu_limit=0.03

driver() { (cd "$e2e_bin" && wine ./session_driver.exe "$@" </dev/null | tr -d '\r'); }

# The Wine process of the player started last: the newest noctiva.exe of this Wine prefix.
player_process() {
  local pid
  for pid in $(pgrep -f 'noctiva\.exe' | sort -rn); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return
    fi
  done
  echo 0
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# Processor seconds per second of process PID over SECONDS.
cpu_rate() {
  local pid=$1 seconds=$2 t0 t1 s0 s1
  t0=$(now_ms)
  s0=$(cpu_ticks "$pid")
  sleep "$seconds"
  s1=$(cpu_ticks "$pid")
  t1=$(now_ms)
  python3 -c "print(f'{($s1 - $s0) / 100 / (($t1 - $t0) / 1000):.3f}')"
}

at_most() { python3 -c "import sys; sys.exit(0 if $1 <= $2 else 1)"; }

overlay_visible() { xdotool search --onlyvisible --name "$overlay_title" >/dev/null 2>&1; }

# Milliseconds until the overlay's visibility is WANT (1 shown, 0 hidden), at most LIMIT ms;
# prints the time, fails past the limit.
wait_visibility() {
  local want=$1 limit=$2 start
  start=$(now_ms)
  while :; do
    local shown=0
    overlay_visible && shown=1
    ((shown == want)) && break
    (($(now_ms) - start > limit)) && return 1
    sleep 0.02
  done
  echo $(($(now_ms) - start))
}

# The pattern still of player_e2e.sh's blend run, with the same settings (shadow 50, background
# 30), so that the software renderer's picture of frame 0 is the expected one.
start_still() {
  local archive=$1
  dir=$(player_folder player "$archive")
  start_player "$dir"
  dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
  sleep 0.5
  press "$dialog" Prior Prior Prior Prior Prior Tab Next Next Next Return
  overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
  shown_at=$(now_ms)
  vektool render "$archive" 0 -o "$e2e_out/expected.raw" --raw \
    --desktop "${width}x${height}+0+0" --mode each --shadow 127 --background 76
}

expect_still() {
  local name=$1
  screenshot "$e2e_out/$name.png"
  convert "$e2e_out/$name.png" -depth 8 "rgb:$e2e_out/$name.rgb"
  echo -n "$name: "
  python3 "$here/compare_overlay.py" "$e2e_out/$name.rgb" "$e2e_out/expected.raw" \
    "$width" "$height" "$background" 3 || fail "the still differs from its picture ($name)"
}

sleep_until() { # milliseconds after the overlay appeared
  local left=$(($1 - ($(now_ms) - shown_at)))
  ((left > 0)) && sleep "$(python3 -c "print($left / 1000)")"
  return 0
}

# Share of the screenshot's pixels within 8 of the colour '#RRGGBB', on every eighth pixel.
share_of_colour() {
  convert "$1" -sample 12.5% -depth 8 "rgb:$1.rgb"
  python3 - "$1.rgb" "$2" <<'PY'
import sys
data, colour = open(sys.argv[1], "rb").read(), sys.argv[2]
want = bytes(int(colour[i:i + 2], 16) for i in (1, 3, 5))
n = len(data) // 3
same = sum(1 for i in range(0, len(data), 3)
           if all(abs(data[i + k] - want[k]) <= 8 for k in range(3)))
print(f"{same / n:.4f}")
PY
}

end_with_key() {
  # The window shown again after a pause may stand in another X window.
  overlay=$(wait_window "$overlay_title" 5) || fail "no overlay window to press a key in"
  sleep 0.1
  local start
  start=$(now_ms)
  xdotool key space
  wait_player 5
  echo "key press to exit: $(($(now_ms) - start)) ms, status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after the key press"
}

# The lock screen hides the overlay; the unlock shows it again.
lock_and_unlock() {
  driver session 7 >/dev/null || fail "could not post the lock"
  wait_visibility 0 1000 >/dev/null || fail "the overlay stayed visible after the lock"
  sleep 0.5
  driver session 8 >/dev/null || fail "could not post the unlock"
  wait_visibility 1 1500 >/dev/null || fail "the overlay did not come back after the unlock"
}

# The still at 3 s and at 8 s; with "hide" also after the lock screen hid the overlay.
still_run() {
  start_still "$1"
  sleep_until 3000
  expect_still at-3s
  sleep_until 8000
  expect_still at-8s
  if [[ ${2:-} == hide ]]; then
    lock_and_unlock
    sleep 0.5
    expect_still after-unlock
  fi
  end_with_key
}

# The build whose worker hangs in a device call: in its fill of the render target (WHERE fill),
# and the key then asks the worker to stop; or in its copy into the picture surface, holding the
# picture lock (WHERE copy), and the lock and unlock then ask for the held picture. Either way
# the failure box comes within 6 s, with no overlay on screen, and its answer ends the player
# with status 1.
hung_run() {
  local where=$1 start id w
  dir=$(player_folder player "$e2e_bin/vek.bin")
  cp "$e2e_bin/noctiva_device_hangs.exe" "$dir/noctiva.exe"
  (cd "$dir" && NOCTIVA_HANG_IN=$where exec wine ./noctiva.exe) 2>"$dir/fault.txt" &
  player_pid=$!
  dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
  sleep 0.5
  press "$dialog" Return
  overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
  for ((i = 0; i < 100; i++)); do
    grep -q 'hung_at=' "$dir/fault.txt" 2>/dev/null && break
    sleep 0.1
  done
  grep -q 'hung_at=' "$dir/fault.txt" || fail "the worker did not hang ($where)"
  sleep 0.5
  if [[ $where == fill ]]; then
    start=$(now_ms)
    xdotool key space
  else
    driver session 7 >/dev/null || fail "could not post the lock"
    sleep 0.3
    # Timed from the post, which ends the driver (its Wine start is not the player's time).
    driver session 8 >/dev/null || fail "could not post the unlock"
    start=$(now_ms)
  fi
  told=$(wait_failure_window 6) || fail "no failure box within 6 s ($where)"
  echo "figure: worker hung in its $where, failure box after $(($(now_ms) - start)) ms"
  sleep 1
  # Nothing the box's message loop dispatches may show the overlay again.
  for id in $(xdotool search --onlyvisible --name "$overlay_title" 2>/dev/null || true); do
    w=$(xdotool getwindowgeometry "$id" | awk '/Geometry:/ {split($2, s, "x"); print s[1]}')
    ((w < width)) || fail "the overlay is on screen under the failure box ($where)"
  done
  kill -0 "$player_pid" 2>/dev/null || fail "the player did not wait on its message"
  press "$told" Return
  wait_player 10
  echo "status $player_status after the message"
  ((player_status == 1)) || fail "exit status $player_status after a hung driver ($where)"
}

case "$scenario" in
  still-one)
    python3 "$here/make_pattern_archive.py" "$e2e_out/pattern.pgm" 320 240
    vektool pack -o "$e2e_out/one.vek" "$e2e_out/pattern.pgm" >/dev/null
    still_run "$e2e_out/one.vek" hide
    ;;
  still-shared)
    python3 "$here/make_pattern_archive.py" "$e2e_out/pattern.pgm" 320 240
    vektool pack -o "$e2e_out/shared.vek" --dedupe "$e2e_out/pattern.pgm" "$e2e_out/pattern.pgm" \
      >/dev/null
    still_run "$e2e_out/shared.vek"
    ;;
  cover-lock)
    dir=$(player_folder player "$e2e_bin/vek.bin")
    start_player "$dir"
    dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
    sleep 0.5
    press "$dialog" Return
    overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
    sleep 1
    pid=$(player_process)
    ((pid > 0)) || fail "no player process found"
    playing=$(cpu_rate "$pid" 1.5)
    echo "figure: playing ${playing} CPU s/s"

    # A maximized window with a caption reaches past the monitor by its frame, but is an
    # ordinary window: the overlay stays over it the whole time.
    (driver maximized 2500 >"$e2e_out/maximized.txt") &
    maximized_pid=$!
    wait_window '^noctiva-cover$' 10 >/dev/null || fail "the maximized window did not appear"
    hidden_ms=$(wait_visibility 0 1500) &&
      fail "the overlay hid itself ${hidden_ms} ms after a maximized window took the foreground"
    # Without a window manager the window mapped last stands highest in X: raised, the overlay
    # shows that it still draws.
    xdotool windowraise "$overlay" 2>/dev/null || true
    sleep 0.3
    screenshot "$e2e_out/maximized.png"
    wait "$maximized_pid" || fail "the maximized program failed"
    cat "$e2e_out/maximized.txt"
    grep -q 'maximized, foreground yes' "$e2e_out/maximized.txt" ||
      fail "the other program's window was not maximized in the foreground"
    maximized_share=$(share_of_colour "$e2e_out/maximized.png" '#C04020')
    echo "maximized window's colour over ${maximized_share} of the screen"
    at_most "$maximized_share" 0.95 || fail "no shadow over the maximized window"
    wait_visibility 1 1500 >/dev/null || fail "the overlay is not shown after the maximized window"

    cover_ms=3500
    (driver cover "$cover_ms" >"$e2e_out/cover.txt") &
    cover_pid=$!
    wait_window '^noctiva-cover$' 10 >/dev/null || fail "the covering window did not appear"
    hide_ms=$(wait_visibility 0 1500) || fail "the overlay stayed visible over a full-screen window"
    echo "figure: full-screen window shown to overlay hidden ${hide_ms} ms"
    sleep 0.5
    covered=$(cpu_rate "$pid" 1.5)
    echo "figure: paused by a full-screen window ${covered} CPU s/s"
    # Hidden, not only stacked below: raised, it would still show nothing. (Raising the unmapped
    # window with xdotool is no test here: Wine then drops the other program's window from the
    # screen and keeps its own Direct3D threads busy.)
    map_state=$(xwininfo -id "$overlay" | sed -n 's/.*Map State: //p')
    echo "overlay window: $map_state"
    [[ $map_state == IsUnMapped ]] || fail "the overlay window is mapped behind the full-screen window"
    screenshot "$e2e_out/covered.png"
    cover_share=$(share_of_colour "$e2e_out/covered.png" '#C04020')
    wait "$cover_pid" || fail "the covering program failed"
    cat "$e2e_out/cover.txt"
    back_ms=$(wait_visibility 1 1500) || fail "the overlay did not come back within 1.5 s"
    echo "figure: full-screen window closed to overlay shown ${back_ms} ms"
    echo "covering window's colour over ${cover_share} of the screen"
    at_most 0.995 "$cover_share" || fail "the overlay showed over the full-screen window"
    at_most "$covered" "$cpu_limit" || fail "${covered} CPU s/s behind a full-screen window"
    sleep 0.5
    screenshot "$e2e_out/back.png"
    desktop_share=$(share_of_colour "$e2e_out/back.png" "$background")
    at_most "$desktop_share" 0.95 || fail "no shadow after the full-screen window closed"

    driver session 7 || fail "could not post the lock"
    wait_visibility 0 1000 >/dev/null || fail "the overlay stayed visible after the lock"
    # The paused state, as behind the full-screen window, not the pause's own work of hiding.
    sleep 0.5
    locked=$(cpu_rate "$pid" 1.5)
    echo "figure: locked ${locked} CPU s/s"
    at_most "$locked" "$cpu_limit" || fail "${locked} CPU s/s while locked"
    driver session 8 || fail "could not post the unlock"
    wait_visibility 1 1500 >/dev/null || fail "the overlay did not come back after the unlock"
    screenshot "$e2e_out/unlocked-1.png"
    sleep 0.7
    screenshot "$e2e_out/unlocked-2.png"
    cmp -s "$e2e_out/unlocked-1.png" "$e2e_out/unlocked-2.png" &&
      fail "the picture did not change after the unlock"

    # The player's own session disconnected (4, WTS_REMOTE_DISCONNECT) and connected again (3);
    # another session's disconnect changes nothing.
    driver session 4 other || fail "could not post another session's disconnect"
    sleep 0.5
    overlay_visible || fail "another session's disconnect hid the overlay"
    driver session 4 || fail "could not post the disconnect"
    wait_visibility 0 1000 >/dev/null || fail "the overlay stayed visible after the disconnect"
    driver session 3 || fail "could not post the reconnect"
    wait_visibility 1 1500 >/dev/null || fail "the overlay did not come back after the reconnect"
    end_with_key
    ;;
  device-removed)
    dir=$(player_folder player "$e2e_bin/vek.bin")
    cp "$e2e_bin/noctiva_device_removed.exe" "$dir/noctiva.exe"
    (cd "$dir" && exec wine ./noctiva.exe) 2>"$dir/fault.txt" &
    player_pid=$!
    dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
    sleep 0.5
    press "$dialog" Return
    overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
    sleep 6
    kill -0 "$player_pid" 2>/dev/null || fail "the player ended after the device was removed"
    end_with_key
    report=$(tr -d '\r' <"$dir/fault.txt" | grep '^device-fault:' || true)
    echo "${report:-no report from the player}"
    [[ $report =~ devices=([0-9]+).*handovers_after=([0-9]+) ]] || fail "no fault report"
    ((BASH_REMATCH[1] == 2)) || fail "${BASH_REMATCH[1]} devices made, not 2"
    # Seconds on the new device: a run of pictures, also at idle priority on a busy machine.
    ((BASH_REMATCH[2] >= 5)) || fail "only ${BASH_REMATCH[2]} pictures on the new device"
    ;;
  device-hangs)
    hung_run fill
    hung_run copy
    ;;
  taskkill)
    dir=$(player_folder player "$e2e_bin/vek.bin")
    start_player "$dir"
    dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
    sleep 0.5
    press "$dialog" Return
    wait_window "$overlay_title" 20 >/dev/null || fail "no overlay window after 実行"
    sleep 1
    start=$(now_ms)
    wine taskkill /im noctiva.exe </dev/null >/dev/null 2>&1 || fail "taskkill failed"
    wait_player 10
    echo "taskkill to exit: $(($(now_ms) - start)) ms, status $player_status"
    ((player_status == 0)) || fail "exit status $player_status after taskkill"
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS: $scenario"
