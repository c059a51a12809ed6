#!/usr/bin/env bash
# The player on a scaled display, in the virtual desktop (scripts/vdesk.sh):
#
#   dpi_e2e.sh BIN_DIR VEKTOOL OUT_DIR
#
# At 144 dots per inch (Wine's LogPixels; Wine 8 reads it at each program's start), in
# Japanese and in English: every text of the settings dialog fits its control
# (SettingsDialogTextFit), and the dialog is saved as dialog-144-ja.png and dialog-144-en.png
# (docs/ keeps copies, and of screen-96-ja.png and screen-96-en.png as dialog.png and
# dialog-en.png). The frame-rate label, measured on the screenshot as its opaque box at the
# top left, must be 1.5 times as high at 144 as at 96 (within 0.07). The prefix's own LogPixels
# comes back at the end, whatever way the run ends.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh" "$1" "$2" "$3/dpi"
read_desktop

desktop_key='HKCU\Control Panel\Desktop'
saved_dpi=$(wine reg query "$desktop_key" /v LogPixels 2>/dev/null </dev/null |
  tr -d '\r' | awk '$1 == "LogPixels" {print $3}' || true)
set_dpi() { wine reg add "$desktop_key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
restore_dpi() {
  if [[ -n $saved_dpi ]]; then
    set_dpi "$((saved_dpi))"
  else
    wine reg delete "$desktop_key" /v LogPixels /f >/dev/null 2>&1 || true
  fi
}
trap 'end_player_left_running; restore_dpi' EXIT

# A white picture: no shadow anywhere, so the label's box is the only dark thing on screen.
python3 - "$e2e_out/white.pgm" <<'PY'
import sys
open(sys.argv[1], "wb").write(b"P5\n64 48\n255\n" + b"\xff" * (64 * 48))
PY
vektool pack -o "$e2e_out/white.vek" "$e2e_out/white.pgm" "$e2e_out/white.pgm" >/dev/null

# The label's opaque box from the top-left corner of screenshot FILE: columns along its top row
# and rows down its left column that are black or yellow (not the desktop's blue). Prints WxH.
label_box() {
  convert "$1" -crop 240x80+0+0 -depth 8 "rgb:$1.rgb"
  python3 - "$1.rgb" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
def label(x, y):
    r, g, b = data[3 * (y * 240 + x):3 * (y * 240 + x) + 3]
    return b < 60 and abs(r - g) < 60
width = next((x for x in range(240) if not label(x, 0)), 240)
height = next((y for y in range(80) if not label(0, y)), 80)
print(f"{width}x{height}")
PY
}

# One run at DPI in language LANG_NAME (ja or en): the dialog's screenshot; then, with
# "label", "FPS" ticked and "実行", and the label's box in `box`, else Esc.
run_player() {
  local dpi=$1 lang_name=$2 what=${3:-}
  set_dpi "$dpi"
  player_lang=ja_JP.UTF-8
  [[ $lang_name == en ]] && player_lang=en_US.UTF-8
  local dir
  dir=$(player_folder "player-$dpi-$lang_name" "")
  start_player "$dir" "$e2e_out/white.vek"
  local dialog overlay geometry
  dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear at $dpi"
  sleep 0.5
  geometry=$(xdotool getwindowgeometry "$dialog" | awk '/Position/ {split($2, p, ","); x = p[1]; y = p[2]} /Geometry/ {print $2 "+" x "+" y}')
  screenshot "$e2e_out/screen-$dpi-$lang_name.png"
  convert "$e2e_out/screen-$dpi-$lang_name.png" -crop "$geometry" +repage \
    "$e2e_out/dialog-$dpi-$lang_name.png"
  echo "dialog at $dpi dots per inch ($lang_name): $geometry"
  if [[ $what != label ]]; then
    press "$dialog" Escape
    wait_player 5
    ((player_status == 0)) || fail "exit status $player_status after Esc at $dpi"
    return
  fi
  press "$dialog" alt+f Return
  overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行 at $dpi"
  sleep 1.5
  screenshot "$e2e_out/overlay-$dpi-$lang_name.png"
  box=$(label_box "$e2e_out/overlay-$dpi-$lang_name.png")
  echo "label box at $dpi dots per inch ($lang_name): $box"
  xdotool key space
  wait_player 5
  ((player_status == 0)) || fail "exit status $player_status at $dpi"
}

text_fit() {
  local dpi=$1 lang=$2
  set_dpi "$dpi"
  (cd "$e2e_bin" && LANG=$lang wine ./settings_dialog_tests.exe \
    --gtest_filter='SettingsDialogTextFit.*' </dev/null >"$e2e_out/fit-$dpi-$lang.txt" 2>&1) ||
    { tr -d '\r' <"$e2e_out/fit-$dpi-$lang.txt"; fail "a text of the dialog is cut at $dpi ($lang)"; }
  echo "every text fits at $dpi dots per inch ($lang)"
}

text_fit 144 ja_JP.UTF-8
text_fit 144 en_US.UTF-8
run_player 144 ja
# The label is measured in English: under a Japanese LANG Wine draws "Arial" with a Japanese
# font of other proportions.
run_player 144 en label
scaled=$box
run_player 96 en label
plain=$box
run_player 96 ja
restore_dpi

# The height is the measure: the width follows the text, whose rate may gain a digit.
python3 - "$plain" "$scaled" <<'PY' || fail "the label is not 1.5 times as high at 144 as at 96"
import sys
(w96, h96), (w144, h144) = (map(int, b.split("x")) for b in sys.argv[1:3])
sw, sh = w144 / w96, h144 / h96
print(f"figure: label {w96}x{h96} at 96, {w144}x{h144} at 144: width x{sw:.2f}, height x{sh:.2f}")
sys.exit(0 if h96 >= 10 and abs(sh - 1.5) <= 0.07 else 1)
PY
echo "PASS: dpi"
