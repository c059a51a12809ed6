#!/usr/bin/env bash
# Runs a command inside a headless sway session (pixman renderer, XWayland on), with wayvnc giving
# the seat a pointer and a keyboard, and ends the session after it. sway refuses to run as root:
# started as root, this runs everything as the unprivileged user noctiva-wayland (made if
# missing), and the directories named with --writable are handed to that user.
#
#   scripts/sway_session.sh [--size WxH] [--scale N] [--nested] [--writable DIR]... -- COMMAND...
#
# The command gets WAYLAND_DISPLAY, SWAYSOCK, DISPLAY (XWayland), NOCTIVA_VNC_PORT (wayvnc on the
# first output, HEADLESS-1) and NOCTIVA_SESSION_DIR (a directory of the session's own).
#
# With --nested the session is a second sway inside the headless one, whose outputs (WL-1, ...)
# are floating windows of the first at the size asked: sway 1.7 cannot disable a headless output
# (its commit fails) but an output of the nested one goes away when its window is closed, e.g.
# `SWAYSOCK=$NOCTIVA_OUTER_SWAYSOCK swaymsg '[title="wlroots - WL-2"] kill'`.
set -euo pipefail
user=noctiva-wayland
size=1280x720
scale=1
nested=""
writable=()
while (($#)); do
  case $1 in
    --size) size=$2; shift 2 ;;
    --scale) scale=$2; shift 2 ;;
    --writable) writable+=("$2"); shift 2 ;;
    --nested) nested=1; shift ;;
    --) shift; break ;;
    *) echo "sway_session: unknown option $1" >&2; exit 2 ;;
  esac
done
(($#)) || { echo "usage: sway_session.sh [--size WxH] [--scale N] -- COMMAND" >&2; exit 2; }

if ((EUID == 0)); then
  id "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user"
  for dir in "${writable[@]}"; do mkdir -p "$dir" && chown -R "$user:" "$dir"; done
  exec setpriv --reuid="$user" --regid="$user" --clear-groups \
    env -i PATH="$PATH" HOME=/tmp LANG="${LANG:-C.UTF-8}" TERM="${TERM:-dumb}" \
    ${NOCTIVA_BACKEND:+NOCTIVA_BACKEND=$NOCTIVA_BACKEND} \
    bash "$0" --size "$size" --scale "$scale" ${nested:+--nested} -- "$@"
fi

session=$(mktemp -d /tmp/sway-session.XXXXXX)
chmod 700 "$session"
sway_pids=() vnc_pid=""
end_session() {
  [[ -n $vnc_pid ]] && kill "$vnc_pid" 2>/dev/null
  local pid
  for pid in "${sway_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$session"
}
trap end_session EXIT

export XDG_RUNTIME_DIR=$session
# Starts sway with CONFIG's lines on the backend BACKEND and reads its environment into
# the variables WAYLAND_DISPLAY, SWAYSOCK and DISPLAY.
start_sway() {
  local name=$1 backend=$2
  shift 2
  printf '%s\n' "$@" "exec env > $session/$name.env" >"$session/$name.config"
  WLR_BACKENDS=$backend WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway --config "$session/$name.config" >"$session/$name.log" 2>&1 &
  sway_pids+=($!)
  for _ in $(seq 100); do
    [[ -s $session/$name.env ]] && grep -q '^SWAYSOCK=' "$session/$name.env" && break
    kill -0 "${sway_pids[-1]}" 2>/dev/null || { cat "$session/$name.log" >&2; exit 1; }
    sleep 0.05
  done
  while IFS='=' read -r key value; do
    case $key in WAYLAND_DISPLAY | SWAYSOCK | DISPLAY) export "$key=$value" ;; esac
  done <"$session/$name.env"
  [[ -n ${WAYLAND_DISPLAY:-} ]] || { echo "sway_session: sway did not start" >&2; exit 1; }
}
# Waits until something listens on PORT.
wait_port() {
  for _ in $(seq 100); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $1), 0.2).close()" \
      2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}
# wayvnc on OUTPUT of the sway in WAYLAND_DISPLAY, on a free port (the kernel picks one, closed
# again at once), in NOCTIVA_VNC_PORT.
start_vnc() {
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  wayvnc -o "$1" 127.0.0.1 "$port" >"$session/wayvnc.log" 2>&1 &
  vnc_pid=$!
  wait_port "$port" || { cat "$session/wayvnc.log" >&2; exit 1; }
  export NOCTIVA_VNC_PORT=$port
}

common=("default_border none" "focus_follows_mouse no" "xwayland enable")
if [[ -n $nested ]]; then
  # The nested sway's outputs side by side from the top left, so that a pointer on the outer
  # output lands at the same place on them (wayvnc does not run on a nested sway: it crashes).
  w=${size%x*} h=${size#*x}
  start_sway outer headless "output HEADLESS-1 resolution $((3 * w))x$((h + 100)) bg #000000 solid_color" \
    "${common[@]}" "xwayland disable" \
    "for_window [app_id=wlroots] floating enable, resize set width $w px height $h px" \
    'for_window [title="wlroots - WL-1"] move position 0 0' \
    "for_window [title=\"wlroots - WL-2\"] move position $w 0"
  export NOCTIVA_OUTER_SWAYSOCK=$SWAYSOCK
  # Before the nested sway, which takes the pointer and the keyboard the outer seat has then.
  start_vnc HEADLESS-1
  unset DISPLAY
  start_sway inner wayland "output * bg #336699 solid_color" "output WL-1 scale $scale" \
    "${common[@]}"
else
  start_sway session headless "output HEADLESS-1 resolution $size scale $scale bg #336699 solid_color" \
    "${common[@]}"
  start_vnc HEADLESS-1
fi

export NOCTIVA_SESSION_DIR=$session
"$@"
