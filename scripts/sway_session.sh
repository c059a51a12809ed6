#!/usr/bin/env bash
# Runs a command inside a headless sway session (pixman renderer, XWayland on), with wayvnc giving
# the seat a pointer and a keyboard, and ends the session after it. sway refuses to run as root:
# started as root, this runs everything as the unprivileged user noctiva-wayland (made if
# missing), and the directories named with --writable are handed to that user.
#
#   scripts/sway_session.sh [--size WxH] [--scale N] [--writable DIR]... -- COMMAND [ARG]...
#
# The command gets WAYLAND_DISPLAY, SWAYSOCK, DISPLAY (XWayland), NOCTIVA_VNC_PORT (wayvnc on
# HEADLESS-1) and NOCTIVA_SESSION_DIR (a directory of the session's own).
set -euo pipefail
user=noctiva-wayland
size=1280x720
scale=1
writable=()
while (($#)); do
  case $1 in
    --size) size=$2; shift 2 ;;
    --scale) scale=$2; shift 2 ;;
    --writable) writable+=("$2"); shift 2 ;;
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
    bash "$0" --size "$size" --scale "$scale" -- "$@"
fi

session=$(mktemp -d /tmp/sway-session.XXXXXX)
chmod 700 "$session"
sway_pid="" vnc_pid=""
end_session() {
  [[ -n $vnc_pid ]] && kill "$vnc_pid" 2>/dev/null
  [[ -n $sway_pid ]] && kill "$sway_pid" 2>/dev/null && wait "$sway_pid" 2>/dev/null
  rm -rf "$session"
}
trap end_session EXIT

export XDG_RUNTIME_DIR=$session
cat >"$session/config" <<CONFIG
output HEADLESS-1 resolution $size scale $scale bg #336699 solid_color
default_border none
focus_follows_mouse no
xwayland enable
exec env > $session/env
CONFIG
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  sway --config "$session/config" >"$session/sway.log" 2>&1 &
sway_pid=$!
for _ in $(seq 100); do
  [[ -s $session/env ]] && grep -q '^SWAYSOCK=' "$session/env" && break
  kill -0 "$sway_pid" 2>/dev/null || { cat "$session/sway.log" >&2; exit 1; }
  sleep 0.05
done
while IFS='=' read -r name value; do
  case $name in WAYLAND_DISPLAY | SWAYSOCK | DISPLAY) export "$name=$value" ;; esac
done <"$session/env"
[[ -n ${WAYLAND_DISPLAY:-} ]] || { echo "sway_session: sway did not start" >&2; exit 1; }

# A free port for wayvnc: the kernel picks one, closed again at once.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
wayvnc -o HEADLESS-1 127.0.0.1 "$port" >"$session/wayvnc.log" 2>&1 &
vnc_pid=$!
for _ in $(seq 100); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2).close()" \
    2>/dev/null && break
  sleep 0.05
done
export NOCTIVA_VNC_PORT=$port NOCTIVA_SESSION_DIR=$session
"$@"
