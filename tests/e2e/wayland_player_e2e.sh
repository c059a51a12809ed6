#!/usr/bin/env bash
# End-to-end runs of the Linux player's Wayland overlay in a headless sway session
# (scripts/sway_session.sh), one scenario per call:
#
#   wayland_player_e2e.sh SCENARIO BIN_DIR OUT_DIR
#
#   still       a one-frame archive: the screenshot at 3 s and at 8 s matches the software
#               renderer's picture blended over the desktop colour (translucent, in place); the
#               overlay was chosen by itself and said so in one line; a key ends it, status 0
#   scale2      the same on an output of scale 2, compared at the output's 2560x1440 pixels
#   clicks      over a Wayland window (wev) and then an X11 one (xev), clicks at three places
#               reach the window beneath; typing into wev after a click there reaches wev and
#               the player plays on; SIGTERM ends it with status 0
#   outputs     a second output added: the overlay covers both, clicks pass on both; SIGINT
#               ends it with status 0
#   output-removed (sway_session.sh --nested) a second output added and removed again: the
#               overlay covers both, then the one left, where clicks pass
#   fullscreen  a full-screen window over the overlay: after 2 s the player takes at most
#               0.01 CPU s/s; within 1 s of leaving full screen the picture changes again;
#               SIGTERM ends it with status 0
#   x11         NOCTIVA_BACKEND=x11: the X11 overlay (through XWayland), and it says so
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scenario=$1
bin=$(cd "$2" && pwd)
out=$3/$scenario
rm -rf "$out"
mkdir -p "$out"
player_pid=""
helper_pids=()
# shellcheck source=desktop_lib.sh
source "$here/desktop_lib.sh"
end_run() {
  end_player_left_running
  for pid in "${helper_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap end_run EXIT
background='#336699'
readonly exit_limit_ms=1000
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

fail() {
  echo "FAIL: $*" >&2
  if [[ -s "$out/stderr.txt" ]]; then sed 's/^/player: /' "$out/stderr.txt" >&2; fi
  exit 1
}

rfb() { python3 "$here/rfb_input.py" "${vnc_port:-$NOCTIVA_VNC_PORT}" "$@"; }
tree_has() { swaymsg -t get_tree | grep -q "\"$1\": \"$2"; }
wait_tree() {
  local key=$1 value=$2 limit=$3 deadline=$((SECONDS + $3))
  until tree_has "$key" "$value"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}
# One pixel of the outputs' screenshot, "R G B".
pixel() { grim -g "$1,$2 1x1" -t ppm - | tail -c 3 | od -An -tu1 | xargs; }

# Waits up to SECONDS for the pixel at X,Y to be "R G B"; prints the milliseconds taken.
wait_pixel() {
  local x=$1 y=$2 want=$3 seconds=$4 start
  start=$(now_ms)
  until [[ $(pixel "$x" "$y") == "$want" ]]; do
    (($(now_ms) - start < seconds * 1000)) || return 1
    sleep 0.05
  done
  echo $(($(now_ms) - start))
}

one_frame_archive() {
  python3 "$here/make_pattern_archive.py" "$out/pattern.pgm" 320 240
  "$bin/vektool" pack -o "$out/one.vek" "$out/pattern.pgm" >/dev/null
  echo "$out/one.vek"
}

# Starts the player on ARCHIVE and takes the dialog's defaults with Enter.
start_player() {
  local archive=$1
  (cd "$out" && exec "$bin/noctiva" "$archive" 2>"$out/stderr.txt") &
  player_pid=$!
  wait_tree name "Tessarine PV Noctiva" 20 || fail "the settings dialog did not appear"
  sleep 0.3
  rfb key:Return
  wait_tree_gone name "Tessarine PV Noctiva" 10 || fail "the dialog stays after Enter"
  # The pointer goes where it hides nothing that is compared.
  rfb move:$((width - 1)),$((height - 1))
}
wait_tree_gone() {
  local deadline=$((SECONDS + $3))
  while tree_has "$1" "$2"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# The screenshot now against EXPECTED.raw; compared in the background when ASYNC is given.
check_shot() {
  local name=$1 expected=$2 w=$3 h=$4
  grim -t ppm "$out/$name.ppm"
  tail -c $((w * h * 3)) "$out/$name.ppm" >"$out/$name.rgb"
  echo -n "$name: "
  python3 "$here/compare_overlay.py" "$out/$name.rgb" "$expected" "$w" "$h" "$background" 3 ||
    fail "$name: the outputs differ from the expected picture"
  rm -f "$out/$name.rgb"
}

# An output added at the right of the first: the shadow shows on it, and the two outputs then
# show what vektool renders for that desktop.
expect_shadow_on_both_outputs() {
  local archive=$1 took
  # (How soon is not what this run checks: a loaded machine may take a while.)
  took=$(wait_pixel 1660 360 "0 0 0" 10) || fail "no shadow on the second output"
  echo "the shadow on the added output after $took ms"
  sleep 0.5
  "$bin/vektool" render "$archive" 0 -o "$out/two.raw" --raw \
    --desktop "1280x720+0+0,1280x720+1280+0" --mode each >/dev/null
  check_shot two-outputs "$out/two.raw" 2560 720
}

end_with_key() {
  local start
  start=$(now_ms)
  rfb key:space
  wait_player $(((exit_limit_ms + 999) / 1000 + 4))
  local took=$(($(now_ms) - start))
  echo "key press to exit: ${took} ms, status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after the key press"
  ((took <= exit_limit_ms)) || fail "the player took ${took} ms to end after the key press"
}

end_with_signal() {
  kill -"$1" "$player_pid"
  wait_player 5
  echo "SIG$1: status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after SIG$1"
}

# Clicks at the three places (x,y ...) and expects COUNT more presses in LOG (PATTERN).
expect_clicks() {
  local log=$1 pattern=$2 before after
  shift 2
  sleep 0.3
  before=$(grep -c "$pattern" "$log" || true)
  for at in "$@"; do rfb "click:$at"; done
  sleep 0.5
  after=$(grep -c "$pattern" "$log" || true)
  echo "clicks at $*: $((after - before)) of $# arrived in $(basename "$log")"
  ((after - before == $#)) || fail "$((after - before)) of $# clicks at $* reached the window"
}
readonly wev_press='wl_pointer.*state: 1 (pressed)'
readonly wev_key='wl_keyboard.*key:.*state: 1 (pressed)'

wev_windows() { swaymsg -t get_tree | grep -c '"app_id": "wev"' || true; }
# A wev window on the focused output, logging into $out/LOG.
start_wev() {
  local before deadline=$((SECONDS + 10))
  before=$(wev_windows)
  stdbuf -oL wev >"$out/$1" 2>&1 &
  helper_pids+=($!)
  until (($(wev_windows) > before)); do
    ((SECONDS < deadline)) || fail "no wev window"
    sleep 0.1
  done
}

one_line_says() {
  (($(grep -c '^noctiva: overlay:' "$out/stderr.txt") == 1)) && grep -q "overlay: $1" "$out/stderr.txt" ||
    fail "no one line saying the $1 overlay was chosen"
}

size=$(swaymsg -t get_outputs | python3 -c 'import json, sys
o = json.load(sys.stdin)[0]; print(o["current_mode"]["width"], o["current_mode"]["height"], o["scale"])')
read -r width height scale <<<"$size"
width=$((width)) height=$((height))
logical_w=$(python3 -c "print(int($width / $scale))")
logical_h=$(python3 -c "print(int($height / $scale))")

case "$scenario" in
  still | scale2)
    archive=$(one_frame_archive)
    "$bin/vektool" render "$archive" 0 -o "$out/still.raw" --raw \
      --desktop "${width}x${height}+0+0" --mode each >/dev/null
    start_player "$archive"
    rfb move:$((logical_w - 1)),$((logical_h - 1))
    sleep 3
    check_shot at-3s "$out/still.raw" "$width" "$height"
    sleep 5
    check_shot at-8s "$out/still.raw" "$width" "$height"
    one_line_says Wayland
    end_with_key
    ;;
  clicks)
    archive=$(one_frame_archive)
    start_wev wev.log
    start_player "$archive"
    # On the shadow's disc, on the grey ramp and on the background.
    places=(380,360 1000,360 640,40)
    expect_clicks "$out/wev.log" "$wev_press" "${places[@]}"
    # wev has the keyboard since its click: typing goes to it, and the player plays on.
    before=$(grep -c "$wev_key" "$out/wev.log" || true)
    rfb key:a key:x
    sleep 0.5
    after=$(grep -c "$wev_key" "$out/wev.log" || true)
    echo "typed into wev: $((after - before)) of 2 keys"
    ((after - before == 2)) || fail "$((after - before)) of 2 keys typed reached wev"
    kill -0 "$player_pid" || fail "typing into another window ended the player"
    kill "${helper_pids[-1]}"
    xev -event button >"$out/xev.log" 2>&1 &
    helper_pids+=($!)
    wait_tree name "Event Tester" 10 || fail "no xev window"
    expect_clicks "$out/xev.log" 'ButtonPress event' "${places[@]}"
    end_with_signal TERM
    ;;
  outputs)
    archive=$(one_frame_archive)
    start_player "$archive"
    swaymsg create_output >/dev/null
    swaymsg output HEADLESS-2 resolution 1280x720 position 1280 0 bg '#336699' solid_color >/dev/null
    expect_shadow_on_both_outputs "$archive"
    swaymsg focus output HEADLESS-1 >/dev/null
    start_wev wev.log
    swaymsg focus output HEADLESS-2 >/dev/null
    start_wev wev2.log
    expect_clicks "$out/wev.log" "$wev_press" 380,360 1000,360
    wayvnc -o HEADLESS-2 127.0.0.1 $((NOCTIVA_VNC_PORT + 1)) >"$out/wayvnc2.log" 2>&1 &
    helper_pids+=($!)
    sleep 1
    vnc_port=$((NOCTIVA_VNC_PORT + 1)) expect_clicks "$out/wev2.log" "$wev_press" 380,360 1000,360
    end_with_signal INT
    ;;
  output-removed)
    # (sway_session.sh --nested: WL-2 goes away when its window in the outer sway is closed.)
    archive=$(one_frame_archive)
    start_player "$archive"
    swaymsg create_output >/dev/null
    expect_shadow_on_both_outputs "$archive"
    SWAYSOCK=$NOCTIVA_OUTER_SWAYSOCK swaymsg '[title="wlroots - WL-2"] kill' >/dev/null
    for _ in $(seq 100); do
      [[ $(swaymsg -t get_outputs | grep -c '"name": "WL-') == 1 ]] && break
      sleep 0.1
    done
    [[ $(swaymsg -t get_outputs | grep -c '"name": "WL-') == 1 ]] || fail "WL-2 was not removed"
    sleep 1
    "$bin/vektool" render "$archive" 0 -o "$out/one.raw" --raw \
      --desktop "1280x720+0+0" --mode each >/dev/null
    check_shot back-to-one "$out/one.raw" 1280 720
    start_wev wev.log
    expect_clicks "$out/wev.log" "$wev_press" 380,360 1000,360 640,40
    end_with_signal INT
    ;;
  fullscreen)
    # Half a second of the pattern, half a second of it with a black square in the white strip
    # between the disc and the ramp: the picture changes twice a second.
    python3 "$here/make_pattern_archive.py" "$out/a.pgm" 320 240
    python3 - "$out/a.pgm" "$out/b.pgm" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
start = len(data) - 320 * 240
for y in range(110, 130):
    for x in range(172, 188):
        data[start + y * 320 + x] = 0
open(sys.argv[2], "wb").write(data)
PY
    frames=()
    for _ in $(seq 15); do frames+=("$out/a.pgm"); done
    for _ in $(seq 15); do frames+=("$out/b.pgm"); done
    "$bin/vektool" pack -o "$out/blink.vek" "${frames[@]}" >/dev/null
    start_player "$out/blink.vek"
    spot() { pixel 720 360; }
    sleep 1
    start_wev wev.log
    swaymsg '[app_id=wev] fullscreen enable' >/dev/null
    sleep 2
    t0=$(cpu_ticks "$player_pid")
    sleep 3
    t1=$(cpu_ticks "$player_pid")
    echo "behind the full-screen window: $((t1 - t0)) ticks of CPU in 3 s"
    ((t1 - t0 <= 3)) || fail "behind full screen the player took $((t1 - t0)) ticks in 3 s"
    swaymsg '[app_id=wev] fullscreen disable' >/dev/null
    start=$(now_ms)
    first=$(spot)
    changed=""
    while (($(now_ms) - start < 1000)); do
      [[ $(spot) != "$first" ]] && changed=$(($(now_ms) - start)) && break
      sleep 0.05
    done
    [[ -n $changed ]] || fail "the picture did not change within 1 s of leaving full screen"
    echo "full screen left to a new picture: $changed ms"
    # (wev took the keyboard when it was mapped: the overlay has let it go.)
    end_with_signal TERM
    ;;
  x11)
    archive=$(one_frame_archive)
    "$bin/vektool" render "$archive" 0 -o "$out/still.raw" --raw \
      --desktop "${width}x${height}+0+0" --mode each >/dev/null
    export NOCTIVA_BACKEND=x11
    start_player "$archive"
    sleep 1.5
    one_line_says X11
    xwininfo -root -tree | grep -q '"Tessarine PV Noctiva"' || fail "no X11 overlay window"
    check_shot x11 "$out/still.raw" "$width" "$height"
    ;;
  *)
    fail "unknown scenario $scenario"
    ;;
esac
echo "PASS: $scenario"
