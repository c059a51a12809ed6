#!/usr/bin/env bash
# Runs the archive reader's fuzzer for a bounded time: first over every regression archive
# under tests/data/archives (each must fail cleanly), then from the seed corpus for SECONDS.
# Exits non-zero on any finding and leaves the crashing input in the printed directory.
set -euo pipefail
if (($# != 2)); then
  echo "usage: run_fuzzer.sh BUILD_DIR SECONDS" >&2
  exit 2
fi
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
fuzzer="$build/bin/archive_fuzzer"
[[ -x $fuzzer ]] || fuzzer="$build/tests/fuzz/archive_fuzzer"
if [[ ! -x $fuzzer ]]; then
  echo "run_fuzzer.sh: no archive_fuzzer in $build (configure with -DNOCTIVA_FUZZ=ON)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/noctiva-fuzz.XXXXXX")
findings="$work/findings"
mkdir -p "$work/corpus" "$findings"
cp "$here"/corpus/* "$work/corpus/"
cp "$root"/tests/data/archives/*.vek "$work/corpus/"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "run_fuzzer.sh: regression archives"
"$fuzzer" -rss_limit_mb=2048 -timeout=10 "$root"/tests/data/archives/*.vek 2>"$work/regression.log" || {
  tail -40 "$work/regression.log" >&2
  echo "run_fuzzer.sh: a regression archive fails the reader; log in $work/regression.log" >&2
  exit 1
}

echo "run_fuzzer.sh: fuzzing for $seconds s"
status=0
"$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 \
  -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" \
  "$work/corpus" >"$work/fuzz.log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$work/fuzz.log" || true
if ((status != 0)) || [[ -n $(ls -A "$findings") ]]; then
  tail -60 "$work/fuzz.log" >&2
  echo "run_fuzzer.sh: finding(s) in $findings: add each as a named tests/data/archives/*.vek" >&2
  exit 1
fi
rm -rf "$work"
echo "run_fuzzer.sh: no findings"
