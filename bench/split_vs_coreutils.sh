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
export LC_ALL=C  # EPOCHREALTIME with a '.' whatever the user's locale

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_BENCH=ON >/dev/null
ninja -C "$build" -j2 korvane make_bench_container >/dev/null
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

now_us() { local t=$EPOCHREALTIME; echo "${t/./}"; }
# Every run starts from an empty output directory and a quiet disk; neither
# the clean-up nor the sync is timed.
fresh() {
  find k -name '*.shv' -delete
  rm -f s/part*
  sync
}
time_korvane() {
  local t0 t1
  fresh
  t0=$(now_us)
  "$korvane" k/bench.dhv >/dev/null
  t1=$(now_us)
  echo $((t1 - t0)) >>korvane.us
}
time_split() {
  local t0 t1
  fresh
  t0=$(now_us)
  split -n 1000 bench.dhv s/part
  t1=$(now_us)
  echo $((t1 - t0)) >>split.us
}

for i in $(seq 1 "$runs"); do
  if [ $((i % 2)) = 0 ]; then time_korvane; time_split; else time_split; time_korvane; fi
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
k=$(median korvane.us)
s=$(median split.us)
ratio=$(awk -v k="$k" -v s="$s" 'BEGIN { printf "%.2f", k / s }')
echo "input:   $(stat -c %s bench.dhv) bytes, 1000 designs, $runs runs each (median)"
echo "korvane: $k us   (korvane bench.dhv: 1000 files written)"
echo "split:   $s us   (split -n 1000 bench.dhv part: 1000 files written)"
echo "ratio:   $ratio (goal <= $goal)"
awk -v r="$ratio" -v g="$goal" 'BEGIN { exit !(r <= g) }'
