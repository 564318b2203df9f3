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
. "$src/bench/timing.sh"

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 korvane >/dev/null
korvane=$build/src/frontend/korvane

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src/examples/garden.dhv" "$work/garden.dhv"
cd "$work"
"$korvane" garden.dhv >/dev/null
ls garden001.shv garden002.shv garden003.shv >/dev/null  # the run must really split

time_korvane() { time_into korvane.us "$korvane" garden.dhv; }
time_cp() { time_into cp.us cp garden.dhv copy.dhv; }
alternate "$runs" time_korvane time_cp

k=$(median korvane.us)
c=$(median cp.us)
ratio=$(ratio "$k" "$c")
echo "input:   $(stat -c %s garden.dhv) bytes, 3 designs, $runs runs each (median)"
echo "korvane: $k us   ($korvane garden.dhv: 3 files written)"
echo "cp:      $c us   (cp garden.dhv copy.dhv)"
echo "ratio:   $ratio (goal <= $goal)"
within "$ratio" "$goal"
