#!/usr/bin/env bash
# Turns a native build's install tree into the Debian package for Linux users and prints its
# path. scripts/package.sh calls it after building BUILD_DIR's install targets.
#
#   make_deb.sh BUILD_DIR OUTPUT_DIR
#
# The package's dependencies come from dpkg-shlibdeps. Every file carries SOURCE_DATE_EPOCH as
# its time and root as its owner, and dpkg-deb writes the entries sorted, so that packaging one
# commit twice gives the same bytes.
set -euo pipefail
# Folders 755 and files 644 whoever packs.
umask 022
build=$(cd "$1" && pwd) out=$2
: "${SOURCE_DATE_EPOCH:?the commit time is needed for a reproducible package}"
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache CMAKE_PROJECT_VERSION)
maintainer=$(sed -n 's/^ -- \(.*>\)  .*$/\1/p' "$build/packaging/linux/changelog")
work=$build/deb
tree=$work/tree
rm -rf "$work"
mkdir -p "$tree"
DESTDIR=$tree cmake --install "$build" --prefix /usr >/dev/null
for program in "$tree"/usr/bin/*; do
  # What dh_strip takes away: the symbols and the compiler's notes; the build id stays.
  strip --remove-section=.comment --remove-section=.note --strip-unneeded "$program"
done

# dpkg-shlibdeps reads the package's name from a control file of a source tree.
mkdir -p "$work/src/debian"
printf 'Source: noctiva\n\nPackage: noctiva\nArchitecture: amd64\n' >"$work/src/debian/control"
depends=$(cd "$work/src" && dpkg-shlibdeps -O "$tree"/usr/bin/* 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || { echo "make_deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

mkdir -p "$tree/DEBIAN"
(cd "$tree" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$tree/DEBIAN/md5sums"
installed_size=$(du -sk --apparent-size --exclude=DEBIAN "$tree" | cut -f1)
cat >"$tree/DEBIAN/control" <<CONTROL
Package: noctiva
Version: $version
Architecture: amd64
Maintainer: $maintainer
Installed-Size: $installed_size
Depends: $depends
Recommends: ffmpeg
Suggests: xcompmgr
Section: graphics
Priority: optional
Homepage: $(sed -n 's/^Source: //p' "$tree/usr/share/doc/noctiva/copyright")
Description: monochrome animation player that casts a shadow over the desktop
 Noctiva plays a monochrome animation as a translucent shadow on the X11
 desktop: the dark parts of each frame become a black shadow of the opacity
 chosen, the light parts a background that is transparent by default, and
 mouse clicks go through to the windows beneath. A settings dialog in
 Japanese or English opens at each start.
 .
 vektool makes one's own animation from a video (through ffmpeg), an
 animated GIF or pictures. A demo animation comes with the package.
CONTROL
chmod 644 "$tree/DEBIAN/control" "$tree/DEBIAN/md5sums"
find "$tree" -depth -exec touch --no-dereference --date="@$SOURCE_DATE_EPOCH" {} +

mkdir -p "$out"
deb=$out/noctiva_${version}_amd64.deb
dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >/dev/null
echo "$deb"
