#!/usr/bin/env bash
# Time and peak resident memory of `korvane --combine` on two containers:
# twelve designs of 5,000 words, and the largest combine the HUC layout
# allows (255 colours, 65,535 words in all, extents within 7 tenths of
# +-32,767, so the combined preview is 6,552 x 6,552 cells, about 21.5 MB).
# Peak memory from /usr/bin/time -v, the largest over RUNS runs; wall time
# from the shell's microsecond clock around separate bare runs (median), since
# time -v counts only hundredths of a second. Goal: at most 48 MB for each.
#   bench/combine_memory.sh [BUILD_DIR] [RUNS]   (default: build-bench, a Release build; 5 runs)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
runs=${2:-5}
limit_kb=$((48 * 1024))
. "$src/bench/timing.sh"

bench_build "$build" korvane make_bench_container
korvane=$build/src/frontend/korvane

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for kind in twelve largest; do
  "$build/bench/make_bench_container" "$kind" "$work/$kind.dhv"
  : >"$work/$kind.times"
  peak_kb=0
  for _ in $(seq 1 "$runs"); do
    rm -f "$work/$kind.shv"
    /usr/bin/time -v "$korvane" --combine "$work/$kind.dhv" >/dev/null 2>"$work/time.txt"
    [ -f "$work/$kind.shv" ] || { echo "$kind: no combined design written"; cat "$work/time.txt"; exit 1; }
    rm -f "$work/$kind.shv"
    time_into "$work/$kind.times" "$korvane" --combine "$work/$kind.dhv"
    kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    [ "$kb" -gt "$peak_kb" ] && peak_kb=$kb
  done
  median=$(median "$work/$kind.times")
  echo "$kind: input $(stat -c %s "$work/$kind.dhv") bytes, output $(stat -c %s "$work/$kind.shv") bytes," \
    "time $median us (median of $runs), peak $peak_kb kB (limit $limit_kb kB)"
  [ "$peak_kb" -le "$limit_kb" ] || status=1
done
exit $status
