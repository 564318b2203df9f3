#!/usr/bin/env bash
# Measures `korvane --huc` on the largest HUC design the layout holds (extents
# +-32,767, 65,535 words): wall time and peak resident memory, which must stay
# within 40 MB (the preview alone is about 21.5 MB).
#   bench/huc_memory.sh [BUILD_DIR]   (default: build-bench, a Release build)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
limit_kb=$((40 * 1024))

. "$src/bench/timing.sh"
bench_build "$build" korvane make_full_range_huc

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_full_range_huc" "$work/big.huc" 65535
/usr/bin/time -v "$build/src/frontend/korvane" --huc "$work/big.huc" >/dev/null 2>"$work/time.txt"

elapsed=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
echo "input:  $(stat -c %s "$work/big.huc") bytes HUC"
echo "output: $(stat -c %s "$work/big.shv") bytes SHV"
echo "time:   $elapsed"
echo "peak:   $peak_kb kB (limit $limit_kb kB)"
[ "$peak_kb" -le "$limit_kb" ]
