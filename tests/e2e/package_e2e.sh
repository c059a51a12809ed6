#!/usr/bin/env bash
# Checks of the zip for Windows users, made the way such a user meets it: unpacked into a fresh
# folder. Runs in the virtual desktop of scripts/vdesk.sh.
#
#   package_e2e.sh CHECK ZIP VERSION BUILD_DIR
#
#   contents  exactly the expected files in one folder noctiva-VERSION/; both programs import
#             only DLLs that Windows itself has; both carry a version resource with VERSION and
#             LICENSE.txt's copyright line; the texts are for Notepad (UTF-8 mark, CR LF)
#   run       noctiva.exe started from the unpacked folder: Enter starts the demo, the desktop
#             shows its shadow, a key press ends the player with status 0; vektool.exe --version
#             prints "vektool VERSION"
#   again     packing BUILD_DIR's programs once more gives the same bytes as ZIP
#
# BUILD_DIR is the Windows build that made ZIP; it holds version_info_dump.exe.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
check=$1 zip=$2 version=$3 build=$4
dump=$build/bin/version_info_dump.exe out=$build/package-check/$check
folder=noctiva-$version
programs=(noctiva.exe vektool.exe)
expected_files=(LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt noctiva.exe vek.bin vektool.exe)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[[ -f "$zip" ]] || fail "no package $zip (scripts/package.sh makes it)"
rm -rf "$out"
mkdir -p "$out"
unpacked=$(mktemp -d "$out/unpacked.XXXXXX")
python3 -m zipfile -e "$zip" "$unpacked"
dir=$unpacked/$folder

# Every entry lies in the one folder; its files are exactly the expected ones.
check_file_list() {
  python3 - "$zip" "$folder" "${expected_files[@]}" <<'PY' || fail "the zip's file list is wrong"
import sys, zipfile
path, folder, expected = sys.argv[1], sys.argv[2], sorted(sys.argv[3:])
entries = zipfile.ZipFile(path).infolist()
for e in entries:
    print(f"  {e.file_size:>9}  {e.filename}")
outside = [e.filename for e in entries if not e.filename.startswith(folder + "/")]
files = sorted(e.filename[len(folder) + 1:] for e in entries if not e.is_dir())
if outside or files != expected:
    print(f"outside {folder}/: {outside}\nfiles: {files}\nexpected: {expected}")
    sys.exit(1)
PY
}

# No DLL of the compiler's runtime or of zlib beside Windows' own: each import must be a DLL of
# Wine's system32, which stands in for Windows here.
check_imports() {
  local program dll system32=$WINEPREFIX/drive_c/windows/system32
  for program in "${programs[@]}"; do
    local dlls
    dlls=$(x86_64-w64-mingw32-objdump -p "$dir/$program" | awk '/DLL Name:/ {print $3}')
    echo "  $program imports: $(echo $dlls)"
    for dll in $dlls; do
      if [[ ${dll,,} =~ libstdc|libgcc|winpthread|zlib|^libz ]]; then
        fail "$program imports $dll"
      fi
      [[ -n $(find "$system32" -maxdepth 1 -iname "$dll" -print -quit) ]] ||
        fail "$program imports $dll, which is not a Windows DLL"
    done
  done
}

# The fields Explorer shows, for each program, against the project's version and the licence.
check_version_resources() {
  local copyright dump_text program four_part=$version
  copyright=$(grep -a -m1 '^Copyright ' "$dir/LICENSE.txt" | tr -d '\r')
  while [[ $(tr -cd . <<<"$four_part" | wc -c) -lt 3 ]]; do four_part+=.0; done
  for program in "${programs[@]}"; do
    # A path, not a bare name: the loader would look beside the dump program first.
    dump_text=$(cd "$dir" && wine "$dump" ".\\$program" | tr -d '\r') ||
      fail "$program: $dump_text"
    echo "$dump_text" | sed 's/^/  /'
    local field expected_value
    while IFS='|' read -r field expected_value; do
      grep -qxF "$field=$expected_value" <<<"$dump_text" ||
        fail "$program: $field is not '$expected_value'"
    done <<EOT
FixedFileVersion|$four_part
FixedProductVersion|$four_part
FileVersion|$version
ProductVersion|$version
ProductName|Noctiva
OriginalFilename|$program
LegalCopyright|$copyright
EOT
    grep -q '^FileDescription=Noctiva .' <<<"$dump_text" || fail "$program: no FileDescription"
  done
}

# Notepad before Windows 10 needs the UTF-8 mark and CR LF line ends.
check_texts() {
  local text
  for text in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    python3 - "$dir/$text" <<'PY' || fail "$text is not text for Notepad"
import sys
data = open(sys.argv[1], "rb").read()
mark = data.startswith(b"\xef\xbb\xbf")
bare_lf = data.count(b"\n") - data.count(b"\r\n")
if not mark or bare_lf or not data.count(b"\r\n"):
    print(f"{sys.argv[1]}: UTF-8 mark {mark}, {bare_lf} bare LF")
    sys.exit(1)
data[3:].decode("utf-8")
PY
  done
}

# The overlay over the plain desktop is a shadow: every pixel the desktop colour darkened by one
# factor on all channels, some of them to black, most of the desktop still untouched.
check_shadow() {
  local shot=$1 background=$2
  convert "$shot" -depth 8 "rgb:$out/overlay.rgb"
  python3 - "$out/overlay.rgb" "$background" <<'PY' || fail "the desktop shows no shadow of the demo"
import sys
data = open(sys.argv[1], "rb").read()
colour = sys.argv[2]
desktop = [int(colour[i:i + 2], 16) for i in (1, 3, 5)]
pixels = len(data) // 3
darkened = black = untouched = 0
for i in range(0, len(data), 3):
    pixel = data[i:i + 3]
    k = pixel[2] / desktop[2]
    if all(abs(pixel[c] - desktop[c] * k) <= 4 for c in range(3)) and k <= 1.02:
        darkened += 1
        black += k < 0.05
        untouched += k > 0.97
share = lambda n: 100.0 * n / pixels
print(f"  desktop darkened evenly {share(darkened):.2f} %, black {share(black):.2f} %, "
      f"untouched {share(untouched):.2f} %")
sys.exit(0 if share(darkened) >= 99.0 and share(black) >= 1.0 and share(untouched) >= 20.0 else 1)
PY
}

run_player() {
  source "$here/lib.sh" "$dir" "" "$out"
  start_player "$dir"
  local dialog overlay
  dialog=$(wait_window "$dialog_title" 30) || fail "the settings dialog did not appear"
  sleep 0.5
  press "$dialog" Return
  overlay=$(wait_window "$overlay_title" 20) || fail "no overlay window after 実行"
  sleep 2
  screenshot "$out/overlay.png"
  check_shadow "$out/overlay.png" "${NOCTIVA_BACKGROUND:-#336699}"
  xdotool key space
  wait_player 5
  echo "  key press: status $player_status"
  ((player_status == 0)) || fail "exit status $player_status after the key press"
}

check_same_bytes() {
  rm -rf "$out/cpack"
  cpack --config "$build/CPackConfig.cmake" -B "$out/cpack" >/dev/null
  local again=$out/cpack/$(basename "$zip")
  echo "  $(sha256sum "$zip" | cut -c1-16)  $zip"
  echo "  $(sha256sum "$again" | cut -c1-16)  $again"
  cmp -s "$zip" "$again" ||
    fail "a second packing differs (is $zip from another commit? scripts/package.sh makes it anew)"
}

check_vektool_version() {
  local printed
  printed=$(cd "$dir" && wine ./vektool.exe --version | tr -d '\r')
  echo "  vektool.exe --version: $printed"
  [[ $printed == "vektool $version" ]] || fail "vektool.exe --version printed '$printed'"
}

echo "$zip unpacked into $unpacked"
case "$check" in
  contents)
    check_file_list
    check_imports
    check_version_resources
    check_texts
    ;;
  run)
    run_player
    check_vektool_version
    ;;
  again)
    check_same_bytes
    ;;
  *)
    fail "unknown check $check"
    ;;
esac
echo "PASS: package $check"
