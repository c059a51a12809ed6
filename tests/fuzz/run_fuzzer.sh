#!/usr/bin/env bash
# Runs the fuzz targets for a bounded time each, two at a time (the build machine has two
# cores): first over every named regression file of the target (each must fail cleanly or
# pack right), then from its seeds for SECONDS. Targets: archive (the archive reader), picture
# (PNG and PGM), gif (frame by frame, disposal and delays), y4m (YUV4MPEG2); all by default.
# Exits non-zero on any finding and leaves the crashing input in the printed directory.
set -euo pipefail
shopt -s nullglob
if (($# < 2)); then
  echo "usage: run_fuzzer.sh BUILD_DIR SECONDS [archive|picture|gif|y4m]..." >&2
  exit 2
fi
build=$1
seconds=$2
shift 2
targets=("$@")
((${#targets[@]})) || targets=(archive picture gif y4m)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/noctiva-fuzz.XXXXXX")

# Fresh memory is filled, so that an input that reads memory never written fails alike on
# every machine and again when run alone.
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:max_malloc_fill_size=16777216
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Seeds and regression files of a target, and the longest input worth trying.
target_files() {
  case $1 in
    archive) seeds=("$here"/corpus/* "$root"/tests/data/archives/*.vek)
             regressions=("$root"/tests/data/archives/*.vek); max_len=65536 ;;
    picture) seeds=("$here"/seeds/picture/*); max_len=8192 ;;
    gif) seeds=("$here"/seeds/gif/*); max_len=16384 ;;
    y4m) seeds=("$here"/seeds/y4m/*); max_len=8192 ;;
    *) echo "run_fuzzer.sh: no target $1" >&2; return 2 ;;
  esac
  if [[ $1 != archive ]]; then
    regressions=("$root"/tests/data/regressions/"$1"/*)
    seeds+=("${regressions[@]}")
  fi
}

# The regression files, twice: fresh memory filled with two patterns, so that a reader that
# uses memory it never wrote fails the same way on every machine.
regressions_pass() {
  local fuzzer=$1 log=$2 fill
  for fill in 190 255; do
    ASAN_OPTIONS="$ASAN_OPTIONS:malloc_fill_byte=$fill" \
      "$fuzzer" -rss_limit_mb=2048 -timeout=10 "${regressions[@]}" >>"$log" 2>&1 || return 1
  done
}

# One target, its report in $work/$1.log; the exit status tells whether it found anything.
fuzz_target() {
  local name=$1 fuzzer="$build/bin/$1_fuzzer" log="$work/$1.log"
  local findings="$work/$name-findings" corpus="$work/$name-corpus"
  [[ -x $fuzzer ]] || fuzzer="$build/tests/fuzz/$1_fuzzer"
  if [[ ! -x $fuzzer ]]; then
    echo "no ${name}_fuzzer in $build (configure with -DNOCTIVA_FUZZ=ON)" >"$log"
    return 2
  fi
  target_files "$name" || return 2
  mkdir -p "$findings" "$corpus"
  cp "${seeds[@]}" "$corpus/"
  if ((${#regressions[@]} == 0)); then
    echo "$name: no regression files" >"$log"
  elif ! regressions_pass "$fuzzer" "$log"; then
    echo "$name: a regression file fails the reader (log $log)" >>"$log"
    return 1
  fi
  ((${#regressions[@]} == 0)) || echo "$name: ${#regressions[@]} regression files pass" >>"$log"
  local status=0
  "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 \
    -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$findings/" \
    "$corpus" >>"$log" 2>&1 || status=$?
  if ((status != 0)) || [[ -n $(ls -A "$findings") ]]; then
    echo "$name: finding(s) in $findings: add each as a named regression file" >>"$log"
    return 1
  fi
  echo "$name: no findings" >>"$log"
}

report() {
  local name=$1 status=$2
  if ((status == 0)); then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|[a-z0-9]+: )' "$work/$name.log" |
      sed "s/^stat::/$name: /"
  else
    tail -60 "$work/$name.log" >&2
  fi
}

echo "run_fuzzer.sh: ${targets[*]}, $seconds s each, two at a time"
failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pair=("${targets[@]:i:2}")
  pids=()
  for name in "${pair[@]}"; do
    fuzz_target "$name" &
    pids+=($!)
  done
  for k in "${!pair[@]}"; do
    status=0
    wait "${pids[k]}" || status=$?
    report "${pair[k]}" "$status"
    ((status == 0)) || failed=1
  done
done
if ((failed)); then
  echo "run_fuzzer.sh: findings; the logs and inputs are in $work" >&2
  exit 1
fi
rm -rf "$work"
echo "run_fuzzer.sh: no findings"
