#!/usr/bin/env bash
# A batch conversion must cost about what copying the batch costs: times
# `korvane --convert DIR/*.dst -O OUT` (DST -> SHV, one process for all) on 200
# generated designs of 15,000 stitches against `cp DIR/*.dst OUT/`, both into
# an empty folder, alternating which runs first, and prints the medians of the
# wall times and their ratio, the CPU times beside them (on a busy machine the
# wall times mostly measure the other processes), what the conversion
# costs per file, and its floor: the same conversions in one process with the
# files in memory (convert_bench), against cp. Goal: at most 1.5.
#   bench/convert_batch_vs_cp.sh [BUILD_DIR] [RUNS]   (default: build-bench, a Release build; 11 runs)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$src/build-bench}" && cd "${1:-$src/build-bench}" && pwd)
runs=${2:-11}
goal=1.5
designs=200
stitches=15000
. "$src/bench/timing.sh"

bench_build "$build" korvane make_bench_pattern cpu_time convert_bench
cpu_time=$build/bench/cpu_time
korvane=$build/src/frontend/korvane

# Beside the build, not in /tmp: both sides write to the disk the project lives on.
work=$(mktemp -d "$build/convert-batch.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir in
"$build/bench/make_bench_pattern" --batch "$designs" "$stitches" in dst
"$korvane" -q --convert in/*.dst -O out
[ "$(ls out | wc -l)" = "$designs" ] || { echo "korvane did not convert all $designs designs"; exit 1; }

# Each side writes into a folder of its own the run before emptied; neither
# the emptying nor the sync is timed.
fresh() { rm -rf out copy; mkdir copy; sync; }
time_korvane() { fresh; time_into k.us "$korvane" -q --convert in/*.dst -O out; }
time_cp() { fresh; time_into cp.us cp in/*.dst copy/; }
alternate "$runs" time_korvane time_cp
cpu_korvane() { fresh; cpu_into k.cpu "$korvane" -q --convert in/*.dst -O out; }
cpu_cp() { fresh; cpu_into cp.cpu cp in/*.dst copy/; }
alternate "$runs" cpu_korvane cpu_cp
k=$(median k.us)
p=$(median cp.us)
r=$(ratio "$k" "$p")
kc=$(median k.cpu)
pc=$(median cp.cpu)
echo "batch: korvane $k us, cp $p us, ratio $r (goal <= $goal), CPU time korvane $kc us, cp $pc us, ratio $(ratio "$kc" "$pc"), $designs designs of $stitches stitches, $(du -sb in | cut -f1) -> $(du -sb out | cut -f1) bytes, $runs runs each (median), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "per file: korvane $((k / designs)) us, cp $((p / designs)) us; CPU korvane $((kc / designs)) us, cp $((pc / designs)) us"
# The benchmark's CPU time of one batch, in ms, as microseconds.
floor=$("$build/bench/convert_bench" --benchmark_filter="BM_BatchDstShvInMemory/$designs/$stitches\$" \
  --benchmark_format=csv 2>/dev/null | awk -F, '/BatchDstShv/ { printf "%d", $4 * 1000 }')
[ -n "$floor" ] || { echo "convert_bench has no batch of $designs designs of $stitches stitches"; exit 1; }
echo "floor: the same conversions in process with the files in memory, CPU $floor us ($((floor / designs)) us a file), $(ratio "$floor" "$pc") x cp's CPU time, $(ratio "$floor" "$p") x cp's wall time"
within "$r" "$goal"
