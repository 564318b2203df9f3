#!/usr/bin/env bash
# Peak memory of `korvane --convert` on the largest DST design there can be
# (9,000,000 stitches: its header counts at most 9,999,999 records) into JSON,
# SVG and SHV: the largest maximum resident set size /usr/bin/time -v reports
# over RUNS runs, against the goal of 2 x the input + 64 MB whatever the output.
# The same design as EXP too: 2 bytes a stitch, the smallest input there is for
# as many stitches, so the goal is hardest to meet there.
#   bench/largest_design_memory.sh [BUILD_DIR] [RUNS]   (default: build-bench, a Release build; 1 run)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$src/build-bench}" && cd "${1:-$src/build-bench}" && pwd)
runs=${2:-1}

. "$src/bench/timing.sh"
bench_build "$build" korvane make_bench_pattern
korvane=$build/src/frontend/korvane

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/bench/make_bench_pattern" 9000000 big.dst
"$korvane" --convert big.dst -o big.exp >/dev/null

ok=0
for in in big.dst big.exp; do
  input=$(stat -c %s "$in")
  limit=$(((2 * input + 64 * 1024 * 1024) / 1024))
  for ext in json svg shv; do
    peak=$(peak_kb "$runs" "$korvane" --convert "$in" -o "out.$ext")
    verdict=yes
    [ "$peak" -gt 0 ] && [ "$peak" -le "$limit" ] || { verdict=no; ok=1; }
    echo "$in ($input bytes) -> $ext ($(stat -c %s "out.$ext") bytes): peak $peak kB," \
      "goal <= $limit kB (2 x input + 64 MB), within: $verdict"
    rm -f "out.$ext"
  done
done
exit $ok
