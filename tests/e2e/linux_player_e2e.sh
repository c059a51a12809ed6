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
#                   waits on it, Return closes it, status 1 and one line on standard error that
#                   names the places looked in
#   bad-archive     a vek.bin whose frame stream is damaged: the same, in English
#   no-compositor   (no compositing manager) one line on standard error says so, the player
#                   plays anyway and a key ends it with status 0
#   two-displays    (two Xinerama screens) the dialog lists both displays: the chosen-monitor
#                   mode is open, and the combo box's second entry puts the overlay on screen 2
#   openbox-still   (openbox, xcompmgr) a one-frame archive shows right at 3 s, on the second
#                   workspace, back on the first and after an unmap and map; while the active
#                   window is full screen the overlay is unmapped and the player takes at most
#                   0.01 CPU s/s; within 1.5 s of it leaving full screen the shadow is back;
#                   after a re-layout (xrandr --setmonitor) a key ends the player with status 0.
#                   No key is given the overlay's focus first: the overlay takes it back itself
#                   after the workspace switches, the full-screen pause and the re-layout.
#   two-players     (openbox) two players at once, both "最前面に表示": within a second their
#                   stacking settles and stays (no raising each other); each takes at most
#                   0.05 CPU s/s; a key ends the later one, a second key the earlier one, both
#                   with status 0
#   signals         SIGTERM and then SIGINT (to a second run) end the playing player within a
#                   second with status 0
#   i3              (i3) the overlay keeps 0,0 at the desktop's size, the shadow lands where the
#                   frame says, and a key ends the player with status 0
#   shaped          (openbox, no compositing manager, "奥に居座る") one line says so; the shadow
#                   is black above the desktop window and the desktop shows everywhere else; a
#                   compositing manager that starts later makes the overlay translucent, in one
#                   more line
#   plain-image     (no MIT-SHM, two monitors made with xrandr --setmonitor) each monitor shows
#                   the picture, put with plain XPutImage
#   no-argb         (no Composite, so no 32-bit visual) one line says so and the shaped shadow
#                   shows through the 24-bit visual
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
rm -rf "$out"
mkdir -p "$out"

# A key press ends the player within this many milliseconds (a sanitizer build's leak check at
# the exit takes longer).
exit_limit_ms=${NOCTIVA_E2E_EXIT_LIMIT_MS:-1000}
# How long the dialog is given to take its first focus before the keys (longer for a sanitizer
# build, whose GTK start is several times slower).
settle_seconds=${NOCTIVA_E2E_SETTLE_SECONDS:-0.5}
player_pid=""
# The line that tells which overlay was chosen, which the counts of lines leave aside.
readonly choice_line='^noctiva: overlay:'
# shellcheck source=desktop_lib.sh
source "$here/desktop_lib.sh"
read_desktop

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
  lines=$(grep -vc -e 'no compositing manager' -e "$choice_line" "$out/stderr.txt" || true)
  ((lines == 1)) || fail "$lines lines on standard error, expected one"
  grep -q "vek.bin: $reason" "$out/stderr.txt" || fail "the line does not say 'vek.bin: $reason'"
}

end_with_key() {
  local overlay=$1
  local start
  start=$(now_ms)
  xdotool key space
  # Waited for beyond the limit, so that a slow end is told apart from none.
  wait_player $(((exit_limit_ms + 999) / 1000 + 4))
  local took=$(($(now_ms) - start))
  echo "key press to exit: ${took} ms, status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after the key press"
  ((took <= exit_limit_ms)) || fail "the player took ${took} ms to end after the key press"
}

# The premultiplied picture that frame 0 of ARCHIVE gives on this desktop: $out/NAME.raw.
expected_picture() {
  local archive=$1 name=$2
  shift 2
  "$bin/vektool" render "$archive" 0 -o "$out/$name.raw" --raw "$@" >/dev/null
}

# The desktop now against EXPECTED.raw (blended, or "shaped"); the screenshot is kept as NAME.png.
check_shot() {
  local name=$1 expected=$2 how=${3:-}
  import -window root "$out/$name.png"
  convert "$out/$name.png" -depth 8 "rgb:$out/$name.rgb"
  echo -n "$name: "
  python3 "$here/compare_overlay.py" "$out/$name.rgb" "$expected" "$width" "$height" \
    "$background" 3 $how || fail "$name: the desktop differs from the expected picture"
  rm -f "$out/$name.rgb"
}

# A one-frame archive of the test pattern at the desktop's size.
one_frame_archive() {
  python3 "$here/make_pattern_archive.py" "$out/pattern.pgm" 320 240
  "$bin/vektool" pack -o "$out/one.vek" "$out/pattern.pgm" >/dev/null
  echo "$out/one.vek"
}

start_with_defaults() {
  start_and_wait_dialog "$1"
  press "$dialog" Return
  overlay=$(wait_window "$overlay_title" 10) || fail "no overlay window after Enter"
}

viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Waits up to MS milliseconds until `viewable OVERLAY` is WANT (0 or 1); prints the time taken.
wait_viewable() {
  local id=$1 want=$2 limit=$3 start
  start=$(now_ms)
  while (($(now_ms) - start <= limit)); do
    if viewable "$id"; then (($want)) && break; else ((!$want)) && break; fi
    sleep 0.02
  done
  echo $(($(now_ms) - start))
}

case "$scenario" in
  openbox-still)
    archive=$(one_frame_archive)
    expected_picture "$archive" still --desktop "${width}x${height}+0+0" --mode each
    dir=$(player_folder "$archive")
    start_with_defaults "$dir"
    sleep 3
    check_shot at-3s "$out/still.raw"
    wmctrl -s 1
    sleep 0.5
    check_shot workspace-2 "$out/still.raw"
    wmctrl -s 0
    sleep 0.5
    check_shot workspace-1 "$out/still.raw"
    xdotool windowunmap "$overlay"
    sleep 0.3
    xdotool windowmap "$overlay"
    sleep 0.5
    check_shot mapped-again "$out/still.raw"

    xlogo -name fullscreen -geometry 300x200+40+40 >/dev/null 2>&1 &
    other=$!
    full=$(wait_window '^fullscreen$' 10) || fail "no window to make full screen"
    wmctrl -i -r "$full" -b add,fullscreen
    wmctrl -i -a "$full"
    took=$(wait_viewable "$overlay" 0 3000)
    viewable "$overlay" && fail "the overlay stays mapped over a full-screen window"
    echo "full screen to unmapped: $took ms"
    sleep 0.5
    t0=$(cpu_ticks "$player_pid")
    sleep 3
    t1=$(cpu_ticks "$player_pid")
    echo "paused: $((t1 - t0)) ticks of CPU in 3 s"
    ((t1 - t0 <= 3)) || fail "paused, the player took $((t1 - t0)) ticks in 3 s (over 0.01 s/s)"
    wmctrl -i -r "$full" -b remove,fullscreen
    took=$(wait_viewable "$overlay" 1 1500)
    viewable "$overlay" || fail "the overlay is not back 1.5 s after the window left full screen"
    echo "full screen left to mapped: $took ms"
    kill "$other"
    sleep 0.5
    check_shot back "$out/still.raw"
    # A re-layout: the one screen split into two monitors and joined again.
    xrandr --setmonitor noctiva-left "$((width / 2))/100x$height/100+0+0" none
    sleep 0.5
    xrandr --delmonitor noctiva-left
    sleep 0.5
    end_with_key "$overlay"
    ;;
  two-players)
    archive=$(one_frame_archive)
    dir=$(player_folder "$archive")
    # "最前面に表示": from the shadow slider to the stacking buttons, one along the group.
    start_and_wait_dialog "$dir"
    press "$dialog" Tab Tab Tab Tab Tab Right space Return
    first=$(wait_window "$overlay_title" 10) || fail "no overlay window after Enter"
    first_pid=$player_pid
    cp "$out/stderr.txt" "$out/stderr-first.txt"
    sleep 0.5
    start_and_wait_dialog "$dir"
    press "$dialog" Tab Tab Tab Tab Tab Right space Return
    second_pid=$player_pid
    for ((i = 0; i < 100; i++)); do
      (($(xdotool search --onlyvisible --name "$overlay_title" | wc -l) == 2)) && break
      sleep 0.1
    done
    overlays=$(xdotool search --onlyvisible --name "$overlay_title" | sort | tr '\n' ' ')
    (($(wc -w <<<"$overlays") == 2)) || fail "not two overlays: $overlays"
    sleep 1
    order() { xwininfo -root -children | grep -E "$(tr ' ' '\n' <<<"$overlays" | grep . |
      xargs printf '0x%x|' | sed 's/|$//')" | awk '{print $1}' | tr '\n' ' '; }
    settled=$(order)
    t0=$(($(cpu_ticks "$first_pid") + $(cpu_ticks "$second_pid")))
    for ((i = 0; i < 8; i++)); do
      sleep 0.25
      [[ $(order) == "$settled" ]] || fail "the overlays still restack each other: $settled, then $(order)"
    done
    t1=$(($(cpu_ticks "$first_pid") + $(cpu_ticks "$second_pid")))
    echo "two overlays settled: $settled; $((t1 - t0)) ticks of CPU in 2 s for both"
    ((t1 - t0 <= 20)) || fail "the two players took $((t1 - t0)) ticks in 2 s"
    # The later player's overlay took the focus last; once it is gone the earlier one takes
    # it back, as nobody else has it.
    player_pid=$second_pid
    end_with_key "$overlays"
    player_pid=$first_pid
    for ((i = 0; i < 100; i++)); do
      (($(xdotool getwindowfocus 2>/dev/null || echo 0) == first)) && break
      sleep 0.05
    done
    echo "the earlier overlay has the focus again after $((i * 50)) ms or more"
    end_with_key "$first"
    ;;
  signals)
    archive=$(one_frame_archive)
    dir=$(player_folder "$archive")
    for signal in TERM INT; do
      start_with_defaults "$dir"
      sleep 1
      start=$(now_ms)
      kill -s "$signal" "$player_pid"
      wait_player 5
      echo "SIG$signal to exit: $(($(now_ms) - start)) ms, status $player_status"
      ((player_status == 0)) || fail "exit status $player_status after SIG$signal"
      (($(now_ms) - start <= exit_limit_ms)) || fail "SIG$signal took over $exit_limit_ms ms"
    done
    ;;
  i3)
    archive=$(one_frame_archive)
    expected_picture "$archive" still --desktop "${width}x${height}+0+0" --mode each
    dir=$(player_folder "$archive")
    start_with_defaults "$dir"
    sleep 1
    geometry=$(xwininfo -id "$overlay" | awk '/Absolute upper-left X/ {x=$NF}
      /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$2} /Height:/ {h=$2} END {print x "," y " " w "x" h}')
    echo "overlay: $geometry"
    [[ $geometry == "0,0 ${width}x${height}" ]] || fail "i3 moved or resized the overlay: $geometry"
    check_shot i3 "$out/still.raw"
    end_with_key "$overlay"
    ;;
  shaped)
    archive=$(one_frame_archive)
    expected_picture "$archive" still --desktop "${width}x${height}+0+0" --mode each
    dir=$(player_folder "$archive")
    # "奥に居座る": from the shadow slider to the stacking buttons, then along the group.
    start_and_wait_dialog "$dir"
    press "$dialog" Tab Tab Tab Tab Tab Right Right space Return
    overlay=$(wait_window "$overlay_title" 10) || fail "no overlay window after Enter"
    sleep 1
    check_shot shaped "$out/still.raw" shaped
    grep -q 'no compositing manager.*window shape' "$out/stderr.txt" ||
      fail "no line says that the overlay shows through a window shape"
    xcompmgr >/dev/null 2>&1 &
    compositor=$!
    sleep 1.5
    check_shot composited "$out/still.raw"
    grep -q 'compositing manager started' "$out/stderr.txt" ||
      fail "no line says that a compositing manager started"
    end_with_key "$overlay"
    kill "$compositor"
    echo "standard error:"
    cat "$out/stderr.txt"
    # (A sanitizer build adds its report of suppressed leaks.)
    (($(grep -v "$choice_line" "$out/stderr.txt" | grep -c '^noctiva:') == 2)) ||
      fail "not one line for each way the overlay showed"
    ;;
  plain-image)
    xdpyinfo | grep -q MIT-SHM && fail "the server offers MIT-SHM"
    half=$((width / 2))
    # The screen's one output goes to the left monitor, so that its own monitor gives way.
    xrandr --setmonitor left "$half/100x$height/100+0+0" screen
    xrandr --setmonitor right "$((width - half))/100x$height/100+$half+0" none
    xrandr --listmonitors
    archive=$(one_frame_archive)
    expected_picture "$archive" two \
      --desktop "${half}x${height}+0+0,$((width - half))x${height}+$half+0" --mode each
    dir=$(player_folder "$archive")
    start_with_defaults "$dir"
    sleep 1
    check_shot two-monitors "$out/two.raw"
    end_with_key "$overlay"
    ;;
  no-argb)
    xdpyinfo | grep -q 'depth:    32' && fail "the server offers a 32-bit visual"
    archive=$(one_frame_archive)
    expected_picture "$archive" still --desktop "${width}x${height}+0+0" --mode each
    dir=$(player_folder "$archive")
    start_with_defaults "$dir"
    sleep 1
    check_shot no-argb "$out/still.raw" shaped
    end_with_key "$overlay"
    echo "standard error:"
    cat "$out/stderr.txt"
    [[ $(grep -v "$choice_line" "$out/stderr.txt" | grep -c '^noctiva:') -eq 1 ]] &&
      grep -q 'no 32-bit visual' "$out/stderr.txt" ||
      fail "not one line about the missing 32-bit visual"
    ;;
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
    # The line names every place looked in: beside the player, the user's own, the demo.
    grep -qF "looked for $dir/vek.bin, " "$out/stderr.txt" &&
      grep -qF "/noctiva/vek.bin and /usr/share/noctiva/vek.bin" "$out/stderr.txt" ||
      fail "the line does not name the places looked in"
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
    [[ $(grep -vc "$choice_line" "$out/stderr.txt") -eq 1 ]] &&
      grep -q 'no compositing manager' "$out/stderr.txt" ||
      fail "not one line about the missing compositing manager"
    [[ $(grep -c "$choice_line" "$out/stderr.txt") -eq 1 ]] &&
      grep -q "$choice_line X11" "$out/stderr.txt" || fail "not one line saying the X11 overlay runs"
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
