#!/usr/bin/env bash
# Runs a command inside a virtual desktop: Xvfb with compositing (xcompmgr), a plain desktop
# background of a known colour, and a Wine prefix that is created once and then reused.
#
#   scripts/vdesk.sh [--size WxH] [--two-monitors] [--background '#RRGGBB'] [--no-wine]
#                    [--no-compositor] [--wm openbox|i3|xfwm4|none] [--no-shm] [--no-argb]
#                    -- COMMAND [ARG...]
#
# --no-wine leaves Wine out (the Linux player's runs): no prefix, no wineserver.
# --no-compositor starts no xcompmgr: windows with alpha then show their pixels opaque.
# --wm starts that window manager (openbox with two workspaces, i3 without a bar); none is the
# default. --no-shm leaves MIT-SHM out of the server, --no-argb the Composite extension (and with
# it the 32-bit visual).
# The command sees DISPLAY, WINEPREFIX, WINEDEBUG and LANG=ja_JP.UTF-8 (Wine's and the players'
# Japanese texts; NOCTIVA_LANG=en_US.UTF-8 chooses English instead), plus NOCTIVA_DESKTOP_SIZE
# and NOCTIVA_BACKGROUND. Its exit status is returned. With Wine it runs without address
# randomization, for Wine's sake (see fixed_layout below).
set -euo pipefail

size=1280x720
two_monitors=0
wine=1
compositor=1
background='#336699'
wm=none
server_options=(+extension Composite)
while (($#)); do
  case "$1" in
    --size) size=$2; shift 2 ;;
    --two-monitors) two_monitors=1; shift ;;
    --background) background=$2; shift 2 ;;
    --no-wine) wine=0; shift ;;
    --no-compositor) compositor=0; shift ;;
    --wm) wm=$2; shift 2 ;;
    --no-shm) server_options+=(-extension MIT-SHM); shift ;;
    --no-argb) server_options=(-extension Composite); shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if (($# == 0)); then
  echo "usage: vdesk.sh [--size WxH] [--two-monitors] [--background '#RRGGBB'] [--no-wine]" \
    "[--no-compositor] [--wm openbox|i3|xfwm4|none] [--no-shm] [--no-argb]" \
    "-- COMMAND..." >&2
  exit 2
fi

export WINEPREFIX=${NOCTIVA_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/noctiva/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

pids=()
pids_cleanup_dir=""
display_file=""
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [[ -n $pids_cleanup_dir ]]; then rm -rf "$pids_cleanup_dir"; fi
  if [[ -n $display_file ]]; then rm -f "$display_file"; fi
}
trap cleanup EXIT

# Xvfb picks a free display itself (-displayfd) and writes its number once it accepts clients:
# two runs started at the same moment cannot both take the number that looked free.
display_file=$(mktemp)
if ((two_monitors)); then
  # Without RANDR and with Xinerama, Wine reports each screen as a monitor of its own.
  Xvfb -displayfd 3 -nolisten tcp -extension RANDR +xinerama +extension Composite \
    -screen 0 "${size}x24" -screen 1 800x600x24 3>"$display_file" >/dev/null 2>&1 &
else
  Xvfb -displayfd 3 -nolisten tcp "${server_options[@]}" -screen 0 "${size}x24" \
    3>"$display_file" >/dev/null 2>&1 &
fi
pids+=($!)
for _ in $(seq 100); do [[ -s $display_file ]] && break; sleep 0.1; done
display=$(tr -dc '0-9' <"$display_file")
[[ -n $display ]] || { echo "vdesk: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"
xdpyinfo >/dev/null 2>&1 || { echo "vdesk: Xvfb did not start on $DISPLAY" >&2; exit 1; }

# The known desktop: one plain window under everything (xsetroot does not show through xcompmgr).
xlogo -geometry "${size}+0+0" -bg "$background" -fg "$background" -bw 0 >/dev/null 2>&1 &
pids+=($!)
if [[ $wm != none ]]; then
  # The desktop picture is a desktop window to the window manager: undecorated, lowest, on
  # every workspace.
  for _ in $(seq 50); do
    desktop=$(xdotool search --onlyvisible --class xlogo 2>/dev/null | head -n 1 || true)
    [[ -n $desktop ]] && break
    sleep 0.1
  done
  xprop -id "$desktop" -f _NET_WM_WINDOW_TYPE 32a \
    -set _NET_WM_WINDOW_TYPE _NET_WM_WINDOW_TYPE_DESKTOP
fi
wm_config=$(mktemp -d)
pids_cleanup_dir=$wm_config
case "$wm" in
  none) ;;
  openbox)
    cat >"$wm_config/rc.xml" <<'XML'
<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>2</number><popupTime>0</popupTime></desktops>
</openbox_config>
XML
    openbox --config-file "$wm_config/rc.xml" >/dev/null 2>&1 &
    pids+=($!) ;;
  i3)
    # No borders: the desktop picture, the only tiled window, then fills the screen exactly.
    printf '# i3 config file (v4)\nfont pango:monospace 8\ndefault_border none\ndefault_floating_border none\n' \
      >"$wm_config/i3.conf"
    i3 -c "$wm_config/i3.conf" >/dev/null 2>&1 &
    pids+=($!) ;;
  *)
    "$wm" >/dev/null 2>&1 &
    pids+=($!) ;;
esac
if [[ $wm != none ]]; then
  # The window manager is up once it names itself on the root window.
  for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
fi
if ((compositor)); then
  xcompmgr >/dev/null 2>&1 &
  pids+=($!)
fi

# Workaround for Debian's Wine 8, which has no preloader to keep its fixed addresses free: since
# Linux 6.9 the kernel puts the loader's heap anywhere in the gigabyte above it, and about one
# start in 2000 the heap covers the shared user data page at 0x7ffe0000. Wine then exits with
# status 1 before the program runs ("failed to map the shared user data", silent under
# WINEDEBUG=-all). Without address randomization the heap follows the loader, far below it.
fixed_layout=()
if ((wine)); then fixed_layout=(setarch "$(uname -m)" --addr-no-randomize); fi

if ((wine)) && [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "vdesk: creating Wine prefix $WINEPREFIX (once)" >&2
  mkdir -p "$WINEPREFIX"
  "${fixed_layout[@]}" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
# A persistent wineserver makes each test process start quickly.
if ((wine)); then
  wineserver -p >/dev/null 2>&1 || true
  # Start Wine's background services now, with no tie to the command's output: started by the
  # first test program instead, they inherit its pipes and ctest waits for them forever.
  "${fixed_layout[@]}" wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
sleep 1 # let the compositor paint the desktop once

export NOCTIVA_DESKTOP_SIZE=$size NOCTIVA_BACKGROUND=$background
status=0
"${fixed_layout[@]}" env LANG="${NOCTIVA_LANG:-ja_JP.UTF-8}" "$@" || status=$?
if ((wine)); then wineserver -k >/dev/null 2>&1 || true; fi
exit $status
