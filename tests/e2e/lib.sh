# Helpers for the end-to-end runs of noctiva.exe in the virtual desktop that scripts/vdesk.sh
# provides (DISPLAY, WINEPREFIX, NOCTIVA_DESKTOP_SIZE and NOCTIVA_BACKGROUND are set).
#
#   source lib.sh BIN_DIR VEKTOOL OUT_DIR
#
# BIN_DIR holds noctiva.exe; VEKTOOL is a vektool that runs here (empty: BIN_DIR/vektool.exe
# under Wine); OUT_DIR receives the screenshots and a scratch folder per run.

e2e_bin=$1
e2e_vektool=$2
e2e_out=$3
mkdir -p "$e2e_out"

# Without a window manager Wine waits two seconds for one whenever a managed window is hidden
# (every dialog and window end); unmanaged windows end at once. A setting of the test prefix.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

# xdotool matches names byte by byte here, so the patterns stay ASCII.
readonly dialog_title='^Tessarine PV Noctiva.'
readonly overlay_title='^Tessarine PV Noctiva$'
player_pid=""

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

vektool() {
  if [[ -n "$e2e_vektool" ]]; then
    "$e2e_vektool" "$@"
  else
    wine "$e2e_bin/vektool.exe" "$@"
  fi
}

# A folder with noctiva.exe and, unless ARCHIVE is empty, that archive as vek.bin beside it.
player_folder() {
  local name=$1 archive=$2
  local dir="$e2e_out/$name"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$e2e_bin/noctiva.exe" "$dir/"
  if [[ -n "$archive" ]]; then cp "$archive" "$dir/vek.bin"; fi
  echo "$dir"
}

start_player() {
  local dir=$1
  (cd "$dir" && exec wine ./noctiva.exe) &
  player_pid=$!
}

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

# Milliseconds since the epoch.
now_ms() { date +%s%3N; }

screenshot() {
  import -window root "$1"
}
