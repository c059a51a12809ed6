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

player_pid=""
# shellcheck source=desktop_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/desktop_lib.sh"

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

# Starts noctiva.exe in DIR with the given arguments, in the language of player_lang (the
# virtual desktop's LANG unless a scenario sets it).
start_player() {
  local dir=$1
  shift
  (cd "$dir" && LANG=${player_lang:-$LANG} exec wine ./noctiva.exe "$@") &
  player_pid=$!
}


screenshot() {
  import -window root "$1"
}
