#!/usr/bin/env bash
# Interrupts packs on purpose and checks that nothing is lost or left behind.
#
#   scripts/break_packs.sh [--count N] VEKTOOL
#   scripts/break_packs.sh [--count N] --wine VEKTOOL_EXE VEKTOOL
#
# Natively, VEKTOOL packs a 10 s clip into a folder that holds an archive already, as a plain
# pack (-o, replacing) and as the drop does (--keep-previous), and is stopped at a random moment
# with SIGKILL and with SIGINT, N times each (default 20). With --wine, VEKTOOL_EXE gets the clip
# dropped onto it (its own folder, no ffmpeg: Media Foundation decodes) and is stopped with
# taskkill /F (TerminateProcess) and with SIGINT, which Wine hands to the program as Ctrl+C.
# VEKTOOL (native) checks the archives. Run Wine inside scripts/vdesk.sh.
#
# After each run: the archive that was there is unchanged, byte for byte, unless the pack had
# put the new one in place (then the new archive checks whole and, for a drop, the old one is
# the previous one, byte for byte);
# an interrupted run (SIGINT, Ctrl+C) leaves no scratch file at all; after a kill, the next pack
# into the folder removes what was left. Leftovers are removed only when a minute old, so they
# are dated back two minutes first, as if that minute had passed.
set -euo pipefail

count=20
wine_exe=
while (($#)); do
  case "$1" in
    --count) count=$2; shift 2 ;;
    --wine) wine_exe=$(realpath "$2"); shift 2 ;;
    *) break ;;
  esac
done
vektool=$(realpath "$1")

work=$(mktemp -d /tmp/break-packs.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

folder="$work/Ω 作品"
mkdir -p "$folder"
clip="$work/影絵 🎬 clip.mp4"
# 10 s with detail in every frame, so that packing takes a while.
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi \
  -i "testsrc2=size=320x240:rate=30:duration=10" -c:v libx264 -pix_fmt yuv420p "$clip"
old="$work/old.bin"
"$vektool" demo -o "$old" --size 64x48 --frames 5 2>/dev/null
picture="$work/ĉu ŝi.pgm"
printf 'P5 2 2 255\n\x10\x20\x30\x40' >"$picture"

leftovers() { find "$folder" -maxdepth 1 -type f \( -name '*.vektool-*' -o -name '*.tmp*' \) -printf '%f\n'; }

# A fresh folder: the old archive as vek.bin, nothing else.
reset_folder() {
  find "$folder" -mindepth 1 -maxdepth 1 ! -name vektool.exe -exec rm -rf {} +
  cp "$old" "$folder/vek.bin"
}

if [[ -n $wine_exe ]]; then
  cp "$wine_exe" "$folder/vektool.exe"
  export WINEPATH=""  # no ffmpeg.exe of any Windows path
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true  # Wine's services first, see platform notes
  run_pack() { wine "$folder/vektool.exe" "Z:${clip//\//\\}" </dev/null >"$work/log" 2>&1 & }
  modes=(drop)
  ways=(taskkill INT)
else
  run_pack() {
    if [[ $mode == pack ]]; then
      "$vektool" pack -o "$folder/vek.bin" "$clip" </dev/null >"$work/log" 2>&1 &
    else
      "$vektool" pack --keep-previous -o "$folder/vek.bin" "$clip" </dev/null >"$work/log" 2>&1 &
    fi
  }
  modes=(pack drop)
  ways=(KILL INT)
fi

# One pack to the end: how long a pack takes here, and that it works at all.
mode=${modes[0]}
reset_folder
start=$(date +%s%N)
run_pack
pid=$!; pids+=("$pid")
wait "$pid" || { cat "$work/log"; echo "break_packs: a whole pack failed"; exit 1; }
whole_ms=$((($(date +%s%N) - start) / 1000000))
echo "break_packs: a whole pack takes ${whole_ms} ms"

interrupt() {  # $1: the way, $2: the pid
  case "$1" in
    KILL | INT) kill "-$1" "$2" 2>/dev/null || true ;;
    taskkill) wine taskkill /F /IM vektool.exe </dev/null >/dev/null 2>&1 || true ;;
  esac
}

failures=0
fail() { echo "break_packs: FAILED ($mode, $way, run $run): $*"; failures=$((failures + 1)); }

for mode in "${modes[@]}"; do
  for way in "${ways[@]}"; do
    stopped=0 finished=0 removed_later=0
    for ((run = 1; run <= count; run++)); do
      reset_folder
      delay_ms=$((RANDOM % (whole_ms + 1)))
      run_pack
      pid=$!; pids+=("$pid")
      sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
      interrupt "$way" "$pid"
      status=0
      { wait "$pid"; } 2>/dev/null || status=$?
      # Either the old archive is still vek.bin, or the pack had put the new one in place
      # (perhaps just before the stop, as the process was ending): then it checks whole.
      if cmp -s "$old" "$folder/vek.bin"; then
        stopped=$((stopped + 1))
        [[ ! -e "$folder/vek (previous).bin" ]] || fail "a previous archive without a new one"
      else
        finished=$((finished + 1))
        "$vektool" check "$folder/vek.bin" >/dev/null 2>&1 ||
          fail "vek.bin is neither the old archive nor a whole new one (status $status)"
        if [[ $mode == drop ]]; then
          cmp -s "$old" "$folder/vek (previous).bin" || fail "the old archive was not kept whole"
        fi
      fi
      left=$(leftovers)
      if [[ $way != KILL && $way != taskkill && -n $left ]]; then
        fail "an interrupt left: $left"
      fi
      if [[ -n $left ]]; then
        removed_later=$((removed_later + 1))
        while IFS= read -r name; do touch -d '2 minutes ago' "$folder/$name"; done <<<"$left"
        "$vektool" pack -o "$folder/next.bin" "$picture" >/dev/null 2>&1 || fail "the next pack failed"
        [[ -z $(leftovers) ]] || fail "the next pack left: $(leftovers)"
      fi
    done
    echo "break_packs: $mode, $way: $count runs, $stopped stopped before the new archive was in place, $finished after," \
      "$removed_later left files that the next pack removed"
  done
done

if ((failures > 0)); then
  echo "break_packs: $failures failures"
  exit 1
fi
echo "break_packs: every archive whole, nothing left behind"
