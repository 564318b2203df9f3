#!/usr/bin/env bash
# Splitting must cost about what the bare I/O costs. Times `korvane FILE` on a
# container of 1,000 designs (about 50 MB) against coreutils `split -n 1000`
# cutting the same file into 1,000 files, alternating which runs first, and
# prints the medians and their ratio. Goal: at most 1.5.
#   bench/split_vs_coreutils.sh [BUILD_DIR] [RUNS]   (default: build-bench, a Release build; 9 runs)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
runs=${2:-9}
goal=1.5
. "$src/bench/timing.sh"

bench_build "$build" korvane make_bench_container
korvane=$build/src/frontend/korvane

# Beside the build, not in /tmp: both sides write to the disk the project lives on.
work=$(mktemp -d "$build/split-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/bench/make_bench_container" split1000 bench.dhv
mkdir k s
cp bench.dhv k/bench.dhv
"$korvane" k/bench.dhv >/dev/null
[ -f k/bench1000.shv ] || { echo "korvane did not split the container"; exit 1; }

# Every run starts from an empty output directory and a quiet disk; neither
# the clean-up nor the sync is timed.
fresh() {
  find k -name '*.shv' -delete
  rm -f s/part*
  sync
}
time_korvane() { fresh; time_into korvane.us "$korvane" k/bench.dhv; }
time_split() { fresh; time_into split.us split -n 1000 bench.dhv s/part; }

alternate "$runs" time_korvane time_split

# The same again over the outputs of the run before: replacing existing files
# must cost no more than writing new ones.
over_korvane() { sync; time_into korvane_over.us "$korvane" k/bench.dhv; }
over_split() { sync; time_into split_over.us split -n 1000 bench.dhv s/part; }
fresh
"$korvane" k/bench.dhv >/dev/null
split -n 1000 bench.dhv s/part
alternate "$runs" over_korvane over_split

k=$(median korvane.us)
s=$(median split.us)
ratio=$(ratio "$k" "$s")
ko=$(median korvane_over.us)
so=$(median split_over.us)
ratio_over=$(ratio "$ko" "$so")
echo "input:   $(stat -c %s bench.dhv) bytes, 1000 designs, $runs runs each (median)"
echo "korvane: $k us   (korvane bench.dhv: 1000 files written)"
echo "split:   $s us   (split -n 1000 bench.dhv part: 1000 files written)"
echo "ratio:   $ratio (goal <= $goal)"
echo "korvane over existing: $ko us"
echo "split over existing:   $so us"
echo "ratio over existing:   $ratio_over (goal <= $goal)"
within "$ratio" "$goal" && within "$ratio_over" "$goal"
