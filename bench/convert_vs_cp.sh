#!/usr/bin/env bash
# A conversion must cost about what copying the file costs. Times
# `korvane --convert IN -o OUT` against `cp IN OUT` on a generated design of
# 100,000 stitches (DST -> SHV, PES -> SHV, SHV -> DST) and on the largest real
# DST design when the shared designs are there, alternating which runs first,
# and prints the medians of the wall times and their ratios. Goal: at most 1.5.
# On a busy machine the wall times mostly measure the other processes, so the
# CPU times (user + system) of the same commands are given beside them.
#   bench/convert_vs_cp.sh [BUILD_DIR] [RUNS]   (default: build-bench, a Release build; 21 runs)
# KORVANE_SHARED_DIR names the shared folder (default: ../shared beside the checkout).
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$src/build-bench}" && cd "${1:-$src/build-bench}" && pwd)
runs=${2:-21}
goal=1.5
shared=${KORVANE_SHARED_DIR:-$src/../shared}
. "$src/bench/timing.sh"

bench_build "$build" korvane make_bench_pattern cpu_time touch_cost
cpu_time=$build/bench/cpu_time
korvane=$build/src/frontend/korvane

# Beside the build, not in /tmp: both sides write to the disk the project lives on.
work=$(mktemp -d "$build/convert-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
convert_cases "$build" "$shared"

# The real design is wider than any hoop: it is turned to fit, as a user
# would; --rotate fit leaves the generated designs as they are.
ok=0
for c in $cases; do
  in=${c%%:*}
  out=out_${in%.*}.${c##*:}
  rm -f k.us cp.us k.cpu cp.cpu
  "$korvane" --convert "$in" --rotate fit -o "$out" >/dev/null
  [ -s "$out" ] || { echo "korvane did not convert $in"; exit 1; }
  # Both sides replace the file the run before wrote; the sync is not timed.
  time_korvane() { sync; time_into k.us "$korvane" --convert "$in" --rotate fit -o "$out"; }
  time_cp() { sync; time_into cp.us cp "$in" copy; }
  alternate "$runs" time_korvane time_cp
  cpu_korvane() { sync; cpu_into k.cpu "$korvane" --convert "$in" --rotate fit -o "$out"; }
  cpu_cp() { sync; cpu_into cp.cpu cp "$in" copy; }
  alternate "$runs" cpu_korvane cpu_cp
  k=$(median k.us)
  p=$(median cp.us)
  r=$(ratio "$k" "$p")
  within "$r" "$goal" || ok=1
  kc=$(median k.cpu)
  pc=$(median cp.cpu)
  echo "$in -> ${c##*:}: korvane $k us, cp $p us, ratio $r (goal <= $goal), CPU time korvane $kc us, cp $pc us, ratio $(ratio "$kc" "$pc"), $(stat -c %s "$in") -> $(stat -c %s "$out") bytes, $runs runs each (median), load $(cut -d' ' -f1-3 /proc/loadavg)"
done

# What a conversion costs before its design's own work: start-up, reading,
# writing the output safely. A 100-stitch design converted against cp of the
# 100,000-stitch input shows how much of the goal is left for that work.
"$build/bench/make_bench_pattern" 100 g100.dst >/dev/null
rm -f k.us cp.us
time_small() { sync; time_into k.us "$korvane" --convert g100.dst -o out_g100.shv; }
time_cp() { sync; time_into cp.us cp g100k.dst copy; }
alternate "$runs" time_small time_cp
k=$(median k.us)
p=$(median cp.us)
# Every page of memory a conversion fills costs this the first time.
echo "first write to a fresh 4 KiB page: $("$build/bench/touch_cost") us"
echo "fixed cost: korvane --convert of 100 stitches $k us, cp of g100k.dst $p us, ratio $(ratio "$k" "$p"), leaving $(awk -v k="$k" -v p="$p" -v g="$goal" 'BEGIN { printf "%.0f", g * p - k }') us for 100,000 stitches within the goal, $runs runs each (median)"
exit $ok
