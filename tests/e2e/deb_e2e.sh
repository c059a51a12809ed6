#!/usr/bin/env bash
# The Debian package for Linux users, checked and then met the way such a user meets it: installed
# with apt, started from /usr/bin by an ordinary user, and removed. Runs as root in the virtual
# desktop of scripts/vdesk.sh --no-wine (Xvfb and xcompmgr).
#
#   deb_e2e.sh DEB BUILD_DIR OUT_DIR
#
#   again     packing BUILD_DIR's install tree once more gives the same bytes as DEB
#   lint      lintian reports no error and no warning; the AppStream metadata passes
#             `appstreamcli validate --no-net`, the menu entry `desktop-file-validate`
#   install   `apt-get install ./DEB` installs it and what it depends on
#   demo      an ordinary user's /usr/bin/noctiva with no archive plays the demo from
#             /usr/share/noctiva: Return in the dialog, the screenshot shows the shadow, a key
#             ends the player with status 0
#   own       `vektool pack clip.mp4` writes the user's ~/.local/share/noctiva/vek.bin and says
#             so; the next noctiva plays it (the screenshot is the renderer's picture of it); a
#             second pack keeps the first as "vek (previous).bin"
#   man       `man -l` renders both manual pages without a warning
#   remove    `apt-get remove`, then purge: every file the package installed is gone, and the
#             machine's packages are those it had before
#
# What the run changes on the machine and puts back: a user "noctiva-e2e" with a home folder in
# /tmp (deleted at the end), the package and whatever apt installs with it (purged), the
# caches that the package's triggers rebuild (the icon theme's, the menu's, the manual's index).
# It refuses to run when a package "noctiva" or that user is already there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deb=$(realpath "$1")
build=$2
out=$(mkdir -p "$3" && cd "$3" && pwd)/deb
user=noctiva-e2e
apt_options=(-y -q -o DPkg::Lock::Timeout=600)
export DEBIAN_FRONTEND=noninteractive
player_pid=""
# shellcheck source=desktop_lib.sh
source "$here/desktop_lib.sh"
read_desktop
exit_limit_ms=${NOCTIVA_E2E_EXIT_LIMIT_MS:-1000}

fail() {
  echo "FAIL: $*" >&2
  if [[ -s "$out/stderr.txt" ]]; then sed 's/^/player: /' "$out/stderr.txt" >&2; fi
  exit 1
}

[[ $(id -u) -eq 0 ]] || fail "run as root: the test installs the package"
[[ -f "$deb" ]] || fail "no package $deb (scripts/package.sh makes it)"
! dpkg-query -W noctiva >/dev/null 2>&1 || fail "a package noctiva is installed already"
! id "$user" >/dev/null 2>&1 || fail "a user $user exists already"
rm -rf "$out"
mkdir -p "$out"
chmod 755 "$out"

installed_by_us=0
user_made=0
added_packages=()
# The package (also when only its configuration is left: apt then no longer knows it) and what
# apt installed with it.
purge_installed() {
  dpkg --purge noctiva
  if ((${#added_packages[@]})); then apt-get purge "${apt_options[@]}" "${added_packages[@]}"; fi
}
put_machine_back() {
  end_player_left_running
  if ((installed_by_us)); then purge_installed >/dev/null 2>&1 || true; fi
  if ((user_made)); then userdel --remove "$user" >/dev/null 2>&1 || true; fi
}
trap put_machine_back EXIT

echo "--- again"
again=$(mktemp -d)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct)} bash "$here/../../packaging/linux/make_deb.sh" "$build" "$again" >/dev/null
cmp "$deb" "$again/$(basename "$deb")" || fail "a second packing differs"
rm -rf "$again"
echo "the same $(stat -c %s "$deb") bytes"

echo "--- lint"
lintian "$deb" | tee "$out/lintian.txt"
! grep -q '^[EW]: ' "$out/lintian.txt" || fail "lintian reports an error or a warning"
contents=$out/contents
dpkg-deb -x "$deb" "$contents"
metainfo=$(echo "$contents"/usr/share/metainfo/*.metainfo.xml)
desktop=$(echo "$contents"/usr/share/applications/*.desktop)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuses $metainfo"
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
# One id for the menu entry, the icons and the metadata.
id=$(basename "$metainfo" .metainfo.xml)
[[ $(basename "$desktop") == "$id.desktop" ]] || fail "the menu entry is not $id.desktop"
grep -qx "Icon=$id" "$desktop" || fail "the menu entry's icon is not $id"
for size in 48 128 256; do
  icon=$contents/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
  [[ $(identify -format %wx%h "$icon") == "${size}x${size}" ]] || fail "no ${size}x${size} icon $id"
done

echo "--- install"
# The files the package holds (folders that other packages share, such as /usr/bin, are not its
# own), and the machine's packages before.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {sub(/^\./, "", $6); print $6}' | sort >"$out/files.txt"
dpkg-query -W -f '${Package}:${Architecture} ${Version}\n' | sort >"$out/packages-before.txt"
while read -r file; do [[ ! -e $file ]] || fail "$file is there before the install"; done \
  <"$out/files.txt"
mapfile -t added_packages < <(apt-get -s install "$deb" 2>/dev/null |
  awk '$1 == "Inst" && $2 != "noctiva" {print $2}')
echo "apt adds: noctiva ${added_packages[*]}"
installed_by_us=1
apt-get install "${apt_options[@]}" "$deb" >"$out/apt-install.txt" 2>&1 ||
  fail "apt-get install: $(tail -n 3 "$out/apt-install.txt")"
dpkg-query -W -f '${Status}\n' noctiva | grep -q 'install ok installed' || fail "not installed"
echo "installed: $(dpkg-query -W -f '${Package} ${Version}, ${Installed-Size} KiB' noctiva)"

echo "--- demo"
home=/tmp/$user-home-$$
useradd --create-home --home-dir "$home" --shell /bin/bash "$user"
user_made=1
as_user() {
  setpriv --reuid="$user" --regid="$user" --init-groups \
    env -i DISPLAY="$DISPLAY" HOME="$home" USER="$user" PATH=/usr/bin:/bin LANG=ja_JP.UTF-8 "$@"
}

# The player from /usr/bin as the user, with no argument; the archive it holds open is ARCHIVE.
play_and_check() {
  local archive=$1 name=$2 dialog overlay start
  (cd "$home" && exec setpriv --reuid="$user" --regid="$user" --init-groups \
    env -i DISPLAY="$DISPLAY" HOME="$home" USER="$user" PATH=/usr/bin:/bin LANG=ja_JP.UTF-8 \
    /usr/bin/noctiva 2>"$out/stderr.txt") &
  player_pid=$!
  dialog=$(wait_window "$dialog_title" 20) || fail "the settings dialog did not appear"
  sleep 0.5
  # A person points at the dialog and presses Return; nothing hands it the focus.
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
  xdotool key Return
  overlay=$(wait_window "$overlay_title" 10) || fail "no overlay window after Return"
  sleep 1.5
  local open
  open=$(readlink /proc/"$player_pid"/fd/* 2>/dev/null | grep 'vek' || true)
  echo "the player holds open: $open"
  [[ $open == "$archive" ]] || fail "the player plays '$open', not $archive"
  import -window root "$out/$name.png"
  start=$(now_ms)
  xdotool key space
  wait_player $(((exit_limit_ms + 999) / 1000 + 4))
  echo "key press to exit: $(($(now_ms) - start)) ms, status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after the key press"
}

play_and_check /usr/share/noctiva/vek.bin demo
# The demo's shadow: black where a frame is black, the desktop darkened where it is grey, and
# nothing lighter than the desktop (no dialog left, no white background).
shares=$(convert "$out/demo.png" -depth 8 rgb:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
desktop = tuple(int(sys.argv[1][i:i + 2], 16) for i in (1, 3, 5))
pixels = [data[i:i + 3] for i in range(0, len(data), 3)]
black = sum(1 for p in pixels if max(p) <= 8)
shaded = sum(1 for p in pixels if all(a <= b + 3 for a, b in zip(p, desktop)))
print(f"{100 * black / len(pixels):.2f} {100 * shaded / len(pixels):.2f}")' "$background")
echo "demo screenshot: ${shares% *} % black shadow, ${shares#* } % the desktop or darker"
python3 -c 'import sys; b, s = map(float, sys.argv[1:]); sys.exit(not (b >= 0.5 and s >= 99.5))' \
  $shares || fail "the screenshot shows no shadow over the desktop (demo.png)"

echo "--- own"
# A still clip: a black figure on white, so that any frame on screen is the renderer's frame 0.
ffmpeg -v error -f lavfi -i "color=white:size=320x240:rate=30:duration=1" \
  -vf "drawbox=x=60:y=40:w=120:h=160:color=black:t=fill" -pix_fmt yuv420p "$home/clip.mp4"
chown "$user:" "$home/clip.mp4"
own=$home/.local/share/noctiva/vek.bin
(cd "$home" && as_user vektool pack clip.mp4) 2>"$out/pack.txt" || fail "vektool pack: $(cat "$out/pack.txt")"
cat "$out/pack.txt"
[[ -f $own && $(stat -c %U "$own") == "$user" ]] || fail "no $own of the user's"
grep -q "wrote $own" "$out/pack.txt" || fail "vektool pack does not say it wrote $own"
/usr/bin/vektool render "$own" 0 -o "$out/own.raw" --raw --desktop "${width}x${height}+0+0" \
  --mode each || fail "vektool render $own"
play_and_check "$own" own
convert "$out/own.png" -depth 8 "rgb:$out/own.rgb"
python3 "$here/compare_overlay.py" "$out/own.rgb" "$out/own.raw" "$width" "$height" \
  "$background" 3 || fail "the screenshot is not the user's archive (own.png)"
(cd "$home" && as_user vektool pack clip.mp4) 2>"$out/pack-again.txt" || fail "a second pack"
[[ -f "$home/.local/share/noctiva/vek (previous).bin" ]] ||
  fail "a second pack did not keep the first as 'vek (previous).bin'"
echo "a second pack keeps the first as 'vek (previous).bin'"

echo "--- man"
for page in noctiva vektool; do
  text=$(MANWIDTH=80 as_user man --warnings -l "/usr/share/man/man1/$page.1.gz" 2>"$out/man.txt")
  [[ ! -s "$out/man.txt" ]] || fail "man $page: $(cat "$out/man.txt")"
  grep -q "EXIT STATUS" <<<"$text" || fail "man $page renders no EXIT STATUS"
  echo "man $page: $(wc -l <<<"$text") lines"
done

echo "--- remove"
apt-get remove "${apt_options[@]}" noctiva >"$out/apt-remove.txt" 2>&1 || fail "apt-get remove"
left=$(while read -r file; do [[ ! -e $file ]] || echo "$file"; done <"$out/files.txt")
[[ -z $left ]] || fail "left after apt-get remove: $left"
for folder in /usr/share/noctiva /usr/share/doc/noctiva; do
  [[ ! -e $folder ]] || fail "$folder is left after apt-get remove"
done
purge_installed >"$out/purge.txt" 2>&1 || fail "purging: $(tail -n 3 "$out/purge.txt")"
! dpkg-query -W noctiva >/dev/null 2>&1 || fail "dpkg still knows noctiva after the purge"
installed_by_us=0
dpkg-query -W -f '${Package}:${Architecture} ${Version}\n' | sort >"$out/packages-after.txt"
diff "$out/packages-before.txt" "$out/packages-after.txt" ||
  fail "the machine's packages differ from those before the install"
echo "every file removed; the packages are those of before"
