#!/usr/bin/env bash
# End-to-end runs of noctiva.exe in the virtual desktop (see scripts/vdesk.sh), one scenario per
# call:
#
#   player_e2e.sh SCENARIO BIN_DIR VEKTOOL OUT_DIR
#
#   blend           the archive "影絵 🎬.bin" given as a relative argument, no vek.bin beside the
#                   player; the dialog in Japanese; shadow 50 and background 30 set with the keyboard, "実行"
#                   by Enter; the screenshot must match the software renderer's picture of the
#                   same frame and settings composited over the desktop colour; a key press then
#                   ends the player with status 0 within a second
#   quit-button     "終了" ends the player with status 0 and no overlay window ever appears
#   escape          in English (LANG=en_US.UTF-8): the dialog's English title, then Esc does
#                   the same
#   missing-archive no vek.bin beside the player: after "実行" a message box tells it and the
#                   player waits on it; Return closes it and the player ends with status 1
#   bad-archive     an archive whose frame 1 is damaged, given as an absolute argument: the
#                   overlay plays frame 0, then the worker's failure closes it and a message box
#                   tells it; Return closes the box and the player ends with status 1
#   fps-label       "FPS表示(&F)" ticked: a yellow label on an opaque black box at the top left
#   steady-frames   the measurement build, uncapped, on frames of an odd size: after the first
#                   frame the worker makes no heap allocation and the device creates nothing
#   demo            the demo vek.bin with the default settings for a few seconds, screenshots of
#                   the dialog and of the overlay, then a key press (scripts/run.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scenario=$1
source "$here/lib.sh" "$2" "$3" "$4/$scenario"
read_desktop

# A still picture: two identical frames, so whichever is on screen is the expected one.
make_pattern_archive() {
  local archive=$1
  python3 "$here/make_pattern_archive.py" "$e2e_out/pattern.pgm" 320 240
  vektool pack -o "$archive" "$e2e_out/pattern.pgm" "$e2e_out/pattern.pgm" >/dev/null
}

start_and_wait_dialog() {
  start_player "$@"
  dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
  sleep 0.5
}

# Ends a running player with a key press; it must be gone with status 0 within LIMIT
# milliseconds (default: a second).
end_with_key() {
  local overlay=$1 limit=${2:-1000}
  local start
  start=$(now_ms)
  xdotool key space
  wait_player 5
  local took=$(($(now_ms) - start))
  echo "key press to exit: ${took} ms, status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after the key press"
  ((took <= limit)) || fail "the player took ${took} ms to end after the key press"
}

case "$scenario" in
  blend)
    # A name beyond every ANSI code page, with a space: the argument must arrive whole.
    archive_name='影絵 🎬.bin'
    make_pattern_archive "$e2e_out/pattern.vek"
    cp "$e2e_out/pattern.vek" "$e2e_out/$archive_name"
    dir=$(player_folder player "")
    start_and_wait_dialog "$dir" "../$archive_name"
    expect_title "$dialog" "Tessarine PV Noctivaの設定"
    # The shadow trackbar has the focus: five pages down to 50; then the background trackbar
    # five pages up... from 0, three pages to 30.
    press "$dialog" Prior Prior Prior Prior Prior Tab Next Next Next
    sleep 0.3
    screenshot "$e2e_out/dialog.png"
    press "$dialog" Return
    overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
    sleep 2
    screenshot "$e2e_out/overlay.png"
    # Trackbar 50 stores 127 and 30 stores 76.
    vektool render "$e2e_out/pattern.vek" 0 -o "$e2e_out/expected.raw" --raw \
      --desktop "${width}x${height}+0+0" --mode each --shadow 127 --background 76
    convert "$e2e_out/overlay.png" -depth 8 "rgb:$e2e_out/overlay.rgb"
    python3 "$here/compare_overlay.py" "$e2e_out/overlay.rgb" "$e2e_out/expected.raw" \
      "$width" "$height" "$background" 3 || fail "the overlay differs from the expected picture"
    end_with_key "$overlay"
    ;;
  quit-button)
    dir=$(player_folder player "$e2e_bin/vek.bin")
    start_and_wait_dialog "$dir"
    # Backwards from the first control, the focus wraps round to the last one: "終了".
    press "$dialog" shift+Tab Return
    expect_end_without_overlay 5
    ;;
  escape)
    player_lang=en_US.UTF-8
    dir=$(player_folder player "$e2e_bin/vek.bin")
    start_and_wait_dialog "$dir"
    expect_title "$dialog" "Tessarine PV Noctiva Settings"
    screenshot "$e2e_out/dialog.png"
    press "$dialog" Escape
    expect_end_without_overlay 5
    ;;
  missing-archive)
    dir=$(player_folder player "")
    start_and_wait_dialog "$dir"
    press "$dialog" Return
    expect_failure_told "$e2e_out/failure.png"
    ;;
  bad-archive)
    dir=$(player_folder player "")
    start_and_wait_dialog "$dir" "$(cd "$here/../data/archives" && pwd)/bad-adler.vek"
    press "$dialog" Return
    expect_failure_told "$e2e_out/failure.png"
    ;;
  fps-label)
    dir=$(player_folder player "$e2e_bin/vek.bin")
    start_and_wait_dialog "$dir"
    press "$dialog" alt+f Return
    overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
    sleep 1.5
    screenshot "$e2e_out/overlay.png"
    # The label's corner: yellow text on opaque black.
    convert "$e2e_out/overlay.png" -crop 160x40+0+0 -depth 8 "rgb:$e2e_out/corner.rgb"
    python3 - "$e2e_out/corner.rgb" <<'PY' || fail "no frame-rate label at the top left"
import sys
data = open(sys.argv[1], "rb").read()
pixels = [data[i:i + 3] for i in range(0, len(data), 3)]
yellow = sum(1 for r, g, b in pixels if r > 180 and g > 180 and b < 90)
black = sum(1 for r, g, b in pixels if r < 20 and g < 20 and b < 20)
print(f"label corner: {yellow} yellow and {black} black pixels")
sys.exit(0 if yellow >= 20 and black >= 100 else 1)
PY
    end_with_key "$overlay"
    ;;
  steady-frames)
    vektool demo -o "$e2e_out/odd.vek" --size 333x201 --frames 12 >/dev/null
    dir=$(player_folder player "$e2e_out/odd.vek")
    cp "$e2e_bin/noctiva_measure.exe" "$dir/noctiva.exe"
    (cd "$dir" && exec wine ./noctiva.exe 2>"$dir/measure.txt") &
    player_pid=$!
    dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
    sleep 0.5
    # From the shadow trackbar, three tab stops on: "FPS調整をする", which Space unticks.
    press "$dialog" Tab Tab Tab space Return
    overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
    sleep 2
    end_with_key "$overlay" 5000
    counts=$(grep -h '^measure-worker:' "$dir/measure.txt" | tr -d '\r') || fail "no counts printed"
    echo "$counts"
    python3 - "$counts" <<'PY' || fail "the worker allocated or created resources after its first frame"
import sys
values = dict(p.split("=") for p in sys.argv[1].split()[1:])
frames = int(values["worker_frames"])
# Past the first frame, and past the archive's end at least once when the machine is not busy.
ok = frames >= 3 and int(values["first_creations"]) >= 7
ok = ok and values["later_allocs"] == "0" and values["later_creations"] == "0"
sys.exit(0 if ok else 1)
PY
    ;;
  demo)
    dir=$(player_folder player "$e2e_bin/vek.bin")
    start_and_wait_dialog "$dir"
    screenshot "$e2e_out/dialog.png"
    press "$dialog" Return
    overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
    sleep "${NOCTIVA_DEMO_SECONDS:-4}"
    screenshot "$e2e_out/overlay.png"
    end_with_key "$overlay" 5000
    echo "screenshots: $e2e_out/dialog.png $e2e_out/overlay.png"
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS: $scenario"
