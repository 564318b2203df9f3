#!/usr/bin/env bash
# Whole-process time of `korvane FILE` on the bundled three-design example,
# side by side with `cp` of the same file. korvane must start like the small
# console tool it is: nothing of the desktop dialogs may be linked or loaded on
# this path. Goal: median ratio at most 1.5.
#   bench/startup_vs_cp.sh [BUILD_DIR] [RUNS]   (default: build-bench, a Release build; 201 runs)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$src/build-bench}
runs=${2:-201}
goal=1.5
export LC_ALL=C  # EPOCHREALTIME with a '.' whatever the user's locale

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 korvane >/dev/null
korvane=$build/src/frontend/korvane

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src/examples/garden.dhv" "$work/garden.dhv"
cd "$work"
"$korvane" garden.dhv >/dev/null
ls garden001.shv garden002.shv garden003.shv >/dev/null  # the run must really split

now_us() { local t=$EPOCHREALTIME; echo "${t/./}"; }
time_korvane() {
  local t0 t1
  t0=$(now_us)
  "$korvane" garden.dhv >/dev/null
  t1=$(now_us)
  echo $((t1 - t0)) >>korvane.us
}
time_cp() {
  local t0 t1
  t0=$(now_us)
  cp garden.dhv copy.dhv
  t1=$(now_us)
  echo $((t1 - t0)) >>cp.us
}

# Alternating, and swapping which goes first, so that drift in the machine's
# load falls on both sides alike.
for i in $(seq 1 "$runs"); do
  if [ $((i % 2)) = 0 ]; then time_korvane; time_cp; else time_cp; time_korvane; fi
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
k=$(median korvane.us)
c=$(median cp.us)
ratio=$(awk -v k="$k" -v c="$c" 'BEGIN { printf "%.2f", k / c }')
echo "input:   $(stat -c %s garden.dhv) bytes, 3 designs, $runs runs each (median)"
echo "korvane: $k us   ($korvane garden.dhv: 3 files written)"
echo "cp:      $c us   (cp garden.dhv copy.dhv)"
echo "ratio:   $ratio (goal <= $goal)"
awk -v r="$ratio" -v g="$goal" 'BEGIN { exit !(r <= g) }'
