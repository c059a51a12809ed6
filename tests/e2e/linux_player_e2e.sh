#!/usr/bin/env bash
# End-to-end runs of the Linux player bin/noctiva in a virtual desktop without Wine
# (scripts/vdesk.sh --no-wine), one scenario per call:
#
#   linux_player_e2e.sh SCENARIO BIN_DIR OUT_DIR
#
#   blend           the archive given as a relative argument, no vek.bin beside the player; the
#                   dialog in Japanese; shadow 50 and background 30 set with the keyboard, Enter
#                   starts playback; the screenshot must match the software renderer's picture
#                   of the same frame and settings composited over the desktop colour; a key
#                   press then ends the player with status 0 within a second
#   escape          in English (en_US.UTF-8): the dialog's English title; Esc in the dialog ends
#                   the player with status 0 and no overlay ever appears
#   missing-archive no vek.bin beside the player: after Enter a GTK dialog tells it, the player
#                   waits on it, Return closes it, status 1 and one line on standard error
#   bad-archive     a vek.bin whose frame stream is damaged: the same, in English
#   no-compositor   (no compositing manager) one line on standard error says so, the player
#                   plays anyway and a key ends it with status 0
#   two-displays    (two Xinerama screens) the dialog lists both displays: the chosen-monitor
#                   mode is open, and the combo box's second entry puts the overlay on screen 2
set -euo pipefail
# The dialog's language follows LC_MESSAGES: Japanese unless a scenario asks for English.
unset LC_ALL LC_MESSAGES
player_lang=ja_JP.UTF-8
here=$(cd "$(dirname "$0")" && pwd)
# A player built with AddressSanitizer: what GTK and its libraries keep until the exit is theirs.
# The system libraries have no frame pointers: the slow unwinder finds GTK's part in the stack.
# The list of suppressions used is left out: a player that ends on a failure writes one line.
export LSAN_OPTIONS="suppressions=$here/lsan_gtk.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
scenario=$1
bin=$(cd "$2" && pwd)
out=$3/$scenario
size=${NOCTIVA_DESKTOP_SIZE:-1280x720}
width=${size%x*}
height=${size#*x}
background=${NOCTIVA_BACKGROUND:-#336699}
rm -rf "$out"
mkdir -p "$out"

# A key press ends the player within this many milliseconds (a sanitizer build's leak check at
# the exit takes longer).
exit_limit_ms=${NOCTIVA_E2E_EXIT_LIMIT_MS:-1000}
# How long the dialog is given to take its first focus before the keys (longer for a sanitizer
# build, whose GTK start is several times slower).
settle_seconds=${NOCTIVA_E2E_SETTLE_SECONDS:-0.5}
player_pid=""
# shellcheck source=desktop_lib.sh
source "$here/desktop_lib.sh"

fail() {
  echo "FAIL: $*" >&2
  if [[ -s "$out/stderr.txt" ]]; then sed 's/^/player: /' "$out/stderr.txt" >&2; fi
  exit 1
}

# A folder with the player and, unless ARCHIVE is empty, that archive as vek.bin beside it.
player_folder() {
  local archive=$1 dir="$out/player"
  mkdir -p "$dir"
  cp "$bin/noctiva" "$dir/"
  if [[ -n "$archive" ]]; then cp "$archive" "$dir/vek.bin"; fi
  echo "$dir"
}

# Starts the player in DIR with the given arguments.
start_player() {
  local dir=$1
  shift
  (cd "$dir" && LANG=$player_lang exec ./noctiva "$@" 2>"$out/stderr.txt") &
  player_pid=$!
}

start_and_wait_dialog() {
  start_player "$@"
  dialog=$(wait_window "$dialog_title" 20) || fail "the settings dialog did not appear"
  sleep "$settle_seconds"
}

# The player tells the failure in a window, ends with status 1 once it is closed, and writes
# one line on standard error that names the archive and says REASON.
expect_failure_with_one_line() {
  local reason=$1
  expect_failure_told "$out/failure.png"
  echo "standard error:"
  cat "$out/stderr.txt"
  local lines
  lines=$(grep -vc 'no compositing manager' "$out/stderr.txt" || true)
  ((lines == 1)) || fail "$lines lines on standard error, expected one"
  grep -q "vek.bin: $reason" "$out/stderr.txt" || fail "the line does not say 'vek.bin: $reason'"
}

end_with_key() {
  local overlay=$1
  local start
  start=$(now_ms)
  xdotool key space
  wait_player 5
  local took=$(($(now_ms) - start))
  echo "key press to exit: ${took} ms, status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after the key press"
  ((took <= exit_limit_ms)) || fail "the player took ${took} ms to end after the key press"
}

case "$scenario" in
  blend)
    python3 "$here/make_pattern_archive.py" "$out/pattern.pgm" 320 240
    "$bin/vektool" pack -o "$out/pattern.vek" "$out/pattern.pgm" "$out/pattern.pgm" >/dev/null
    dir=$(player_folder "")
    start_and_wait_dialog "$dir" ../pattern.vek
    expect_title "$dialog" "Tessarine PV Noctivaの設定"
    # The shadow slider has the focus: five pages down to 50; the background slider three
    # pages up to 30.
    press "$dialog" Prior Prior Prior Prior Prior Tab Next Next Next
    sleep 0.3
    import -window root "$out/dialog.png"
    press "$dialog" Return
    overlay=$(wait_window "$overlay_title" 10) || fail "no overlay window after Enter"
    sleep 1.5
    import -window root "$out/overlay.png"
    "$bin/vektool" render "$out/pattern.vek" 0 -o "$out/expected.raw" --raw \
      --desktop "${width}x${height}+0+0" --mode each --shadow 127 --background 76
    convert "$out/overlay.png" -depth 8 "rgb:$out/overlay.rgb"
    python3 "$here/compare_overlay.py" "$out/overlay.rgb" "$out/expected.raw" \
      "$width" "$height" "$background" 3 || fail "the overlay differs from the expected picture"
    end_with_key "$overlay"
    ;;
  escape)
    player_lang=en_US.UTF-8
    dir=$(player_folder "$bin/vek.bin")
    start_and_wait_dialog "$dir"
    expect_title "$dialog" "Tessarine PV Noctiva Settings"
    xdotool mousemove 0 0  # no tooltip over the screenshot
    sleep 0.3
    import -window root "$out/dialog.png"
    press "$dialog" Escape
    expect_end_without_overlay 5
    ;;
  missing-archive)
    dir=$(player_folder "")
    start_and_wait_dialog "$dir"
    press "$dialog" Return
    expect_failure_with_one_line "not found"
    ;;
  bad-archive)
    player_lang=en_US.UTF-8
    dir=$(player_folder "$here/../data/archives/bad-adler.vek")
    start_and_wait_dialog "$dir"
    press "$dialog" Return
    expect_failure_with_one_line "frame [0-9]* cannot be decoded: wrong Adler-32 checksum"
    ;;
  no-compositor)
    dir=$(player_folder "$bin/vek.bin")
    start_and_wait_dialog "$dir"
    press "$dialog" Return
    overlay=$(wait_window "$overlay_title" 10) || fail "no overlay window after Enter"
    sleep 0.5
    echo "standard error:"
    cat "$out/stderr.txt"
    [[ $(wc -l <"$out/stderr.txt") -eq 1 ]] && grep -q 'no compositing manager' "$out/stderr.txt" ||
      fail "not one line about the missing compositing manager"
    end_with_key "$overlay"
    ;;
  two-displays)
    dir=$(player_folder "$bin/vek.bin")
    start_and_wait_dialog "$dir"
    # Alt+3 selects "特定のモニター(&3)", which only two or more displays enable; the combo box
    # then takes the second display.
    press "$dialog" alt+3 Tab Down
    sleep 0.3
    import -window root "$out/dialog.png"
    press "$dialog" Return
    overlay=$(wait_window "$overlay_title" 10) || fail "no overlay window after Enter"
    sleep 0.5
    geometry=$(xwininfo -id "$overlay" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
    echo "overlay: $geometry"
    [[ $geometry == "$NOCTIVA_SECOND_SCREEN" ]] ||
      fail "the overlay is $geometry, not the second display's $NOCTIVA_SECOND_SCREEN"
    end_with_key "$overlay"
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS: $scenario"
