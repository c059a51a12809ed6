# Helpers of the end-to-end runs that drive a player through an X display with xdotool, for the
# Windows player under Wine (lib.sh) and the Linux one alike. Callers set player_pid.

# The desktop that scripts/vdesk.sh made: size, width, height and background.
read_desktop() {
  size=${NOCTIVA_DESKTOP_SIZE:-1280x720}
  width=${size%x*}
  height=${size#*x}
  background=${NOCTIVA_BACKGROUND:-#336699}
}

# A check that fails leaves the player running, and ctest would then wait for its output until
# the test's timeout: whatever way the run ends, the player it started ends with it.
end_player_left_running() {
  if [[ -n ${player_pid:-} ]] && kill -0 "$player_pid" 2>/dev/null; then
    kill -KILL "$player_pid" 2>/dev/null || true
    wait "$player_pid" 2>/dev/null || true
  fi
}
trap end_player_left_running EXIT

# xdotool matches names byte by byte here, so the patterns stay ASCII.
readonly dialog_title='^Tessarine PV Noctiva.'
readonly overlay_title='^Tessarine PV Noctiva$'

# Waits up to SECONDS for a visible window whose name matches PATTERN; prints its id.
wait_window() {
  local pattern=$1 seconds=$2 id=""
  local deadline=$((SECONDS + seconds))
  while ((SECONDS < deadline)); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    if [[ -n "$id" ]]; then
      echo "$id"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Waits up to SECONDS for the window that tells a failure: named as the overlay, but smaller than
# the desktop. Prints its id.
wait_failure_window() {
  local seconds=$1 id width
  local deadline=$((SECONDS + seconds))
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --onlyvisible --name "$overlay_title" 2>/dev/null || true); do
      width=$(xdotool getwindowgeometry "$id" 2>/dev/null | awk '/Geometry:/ {split($2, s, "x"); print s[1]}')
      if [[ -n "$width" ]] && ((width < ${NOCTIVA_DESKTOP_SIZE%x*})); then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# The player tells a failure in a window and waits on it: SHOT receives a screenshot, Return
# closes the window, and the player must then end with status 1.
expect_failure_told() {
  local shot=$1 told
  told=$(wait_failure_window 20) || fail "no window tells the failure"
  sleep 0.5
  import -window root "$shot"
  kill -0 "$player_pid" 2>/dev/null || fail "the player did not wait on its message"
  press "$told" Return
  wait_player 10
  echo "status $player_status after the message"
  ((player_status == 1)) || fail "exit status $player_status after a failure, expected 1"
}

# The dialog's title must be TITLE (the language's own caption).
expect_title() {
  local window=$1 title=$2 shown
  shown=$(xdotool getwindowname "$window")
  echo "dialog title: $shown"
  [[ $shown == "$title" ]] || fail "the dialog is titled '$shown', not '$title'"
}

# Sends keys to a window as real key presses (XTEST), so WM_KEYDOWN reaches its procedure.
press() {
  local window=$1
  shift
  xdotool windowfocus "$window" 2>/dev/null || true
  sleep 0.1
  xdotool key --delay 80 "$@"
}

# Waits up to SECONDS for the player to end; sets player_status (124 when it did not end).
wait_player() {
  local seconds=$1
  local deadline=$((SECONDS + seconds))
  while kill -0 "$player_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.05; done
  if kill -0 "$player_pid" 2>/dev/null; then
    kill "$player_pid" 2>/dev/null || true
    wait "$player_pid" 2>/dev/null || true
    player_status=124
  else
    player_status=0
    wait "$player_pid" || player_status=$?
  fi
}

# The player must end by itself within SECONDS with status 0 and never show its overlay (the user
# ended it).
expect_end_without_overlay() {
  local seconds=$1
  local deadline=$((SECONDS + seconds))
  while kill -0 "$player_pid" 2>/dev/null && ((SECONDS < deadline)); do
    if xdotool search --onlyvisible --name "$overlay_title" >/dev/null 2>&1; then
      fail "an overlay window appeared"
    fi
    sleep 0.05
  done
  wait_player 1
  echo "status $player_status"
  ((player_status == 0)) || fail "exit status $player_status"
}

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }
