#!/usr/bin/env bash
# Peak memory of `korvane --convert` on the generated design of 100,000
# stitches (the largest the benchmarks use; DST -> SHV, PES -> SHV, SHV -> DST)
# and on the largest real DST design when the shared designs are there: the
# largest maximum resident set size /usr/bin/time -v reports over RUNS runs,
# against 3 x (input + output size) + 16 MB.
#   bench/convert_memory.sh [BUILD_DIR] [RUNS]   (default: build-bench, a Release build; 5 runs)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$src/build-bench}" && cd "${1:-$src/build-bench}" && pwd)
runs=${2:-5}
shared=${KORVANE_SHARED_DIR:-$src/../shared}
. "$src/bench/timing.sh"

bench_build "$build" korvane make_bench_pattern
korvane=$build/src/frontend/korvane

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
convert_cases "$build" "$shared"

ok=0
for c in $cases; do
  in=${c%%:*}
  out=out_${in%.*}.${c##*:}
  # --rotate fit: the wide real design fits no hoop as it stands.
  peak=$(peak_kb "$runs" "$korvane" --convert "$in" --rotate fit -o "$out")
  bytes=$(($(stat -c %s "$in") + $(stat -c %s "$out")))
  limit=$(((3 * bytes + 16 * 1024 * 1024) / 1024))
  verdict=yes
  [ "$peak" -gt 0 ] && [ "$peak" -lt "$limit" ] || { verdict=no; ok=1; }
  echo "$in -> ${c##*:}: peak $peak kB, goal < $limit kB (3 x $bytes bytes + 16 MB), within: $verdict"
done
exit $ok
