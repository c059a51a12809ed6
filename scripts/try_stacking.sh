#!/usr/bin/env bash
# What each stacking choice of the Linux player does under a window manager (or none): for
# "通常表示", "最前面に居座る" and "奥に居座る" in turn it starts the player on a virtual desktop,
# then brings up another window and raises it, and prints the stacking order, top first, just
# after the raise and a second later. A manual trial; the window manager must be installed. Under
# a window manager the desktop picture (xlogo) is a desktop window (scripts/vdesk.sh --wm).
#
#   scripts/try_stacking.sh [none|openbox|i3|xfwm4] [NATIVE_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
wm=${1:-none}
bin=$(cd "${2:-build/native}/bin" && pwd)
inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<INNER
set -euo pipefail
export LANG=C.UTF-8 LC_ALL=C.UTF-8
work=\$(mktemp -d)
cp "$bin/noctiva" "$bin/vek.bin" "\$work/"
# Top to bottom, the overlay, the other window and the desktop picture (xlogo): the root's
# children, top first, each named by itself or by the client a window manager framed in it.
stacking() {
  local id name
  for id in \$(xwininfo -root -children | awk '/^     0x/ {print \$1}'); do
    xwininfo -id "\$id" 2>/dev/null | grep -q IsViewable || continue
    name=\$(xwininfo -tree -id "\$id" 2>/dev/null |
      grep -oE '"(Tessarine PV Noctiva|other|xlogo)"' | head -n 1 | tr -d '"')
    [[ -n \$name ]] && echo "\$name"
  done | uniq | paste -sd '>' | sed 's/>/ > /g'
}
for mode in normal top bottom; do
  (cd "\$work" && exec ./noctiva 2>/dev/null) &
  pid=\$!
  for _ in \$(seq 100); do
    dialog=\$(xdotool search --onlyvisible --name '^Tessarine PV Noctiva.' | head -1 || true)
    [[ -n \$dialog ]] && break; sleep 0.1
  done
  xdotool windowfocus "\$dialog" 2>/dev/null || true; sleep 0.3
  # From the shadow slider to the stacking buttons, then along the group with the arrow keys.
  keys="Tab Tab Tab Tab Tab"
  [[ \$mode == top ]] && keys="\$keys Right"
  [[ \$mode == bottom ]] && keys="\$keys Right Right"
  xdotool key --delay 80 \$keys space Return
  sleep 1.5
  echo "\$mode, at the start:        \$(stacking)"
  xlogo -name other -geometry 300x200+100+100 >/dev/null 2>&1 &
  other=\$!
  sleep 1
  id=\$(xdotool search --onlyvisible --name '^other\$' | head -1)
  xdotool windowactivate "\$id" 2>/dev/null || xdotool windowraise "\$id"
  sleep 0.1
  echo "\$mode, just after a raise: \$(stacking)"
  sleep 1
  echo "\$mode, a second later:     \$(stacking)"
  kill "\$other"; sleep 0.3
  kill "\$pid" 2>/dev/null; wait "\$pid" 2>/dev/null || true
done
INNER
scripts/vdesk.sh --no-wine --wm "$wm" -- bash "$inner"
