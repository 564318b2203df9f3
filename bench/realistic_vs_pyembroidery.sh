#!/usr/bin/env bash
# The realistic picture of a generated 50,000-stitch design at 10 pixels per
# millimetre: `korvane --preview` against pyembroidery's shaded PNG writer
# (write_png with "fancy": its one pixel is 0.1 mm, so the same resolution),
# whole processes on the same PES file, median CPU time (user + system) and
# wall time. Goal: korvane at least 50 x faster on CPU time. Also korvane's
# peak resident memory, which must stay within the picture's bytes x 3 + 16 MB.
# pyembroidery is never part of the project: fetch it into a temporary folder
# and name it by argument or KORVANE_BENCH_PYEMBROIDERY; without it that row
# is skipped and only the memory is measured.
#   bench/realistic_vs_pyembroidery.sh [BUILD_DIR] [PYEMBROIDERY_DIR]
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$src/build-bench}" && cd "${1:-$src/build-bench}" && pwd)
pyemb=${2:-${KORVANE_BENCH_PYEMBROIDERY:-}}
runs=${RUNS:-7}
py_runs=${PY_RUNS:-3}
goal=50
. "$src/bench/timing.sh"

bench_build "$build" korvane make_bench_pattern cpu_time
cpu_time=$build/bench/cpu_time
korvane=$build/src/frontend/korvane

work=$(mktemp -d "$build/realistic-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/bench/make_bench_pattern" 50000 g50k.pes
mkdir -p out
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"

/usr/bin/time -v "$korvane" --quiet --preview g50k.pes -O out 2>time.txt
peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' time.txt)
size=$(od -An -tu1 -j16 -N8 out/g50k-stitches.png | awk '{ print ($1*16777216+$2*65536+$3*256+$4) " " ($5*16777216+$6*65536+$7*256+$8) }')
w=${size% *}
h=${size#* }
limit_kb=$(((w * h * 4 * 3) / 1024 + 16 * 1024))
echo "picture: $w x $h pixels"
echo "peak: $peak_kb kB (limit $limit_kb kB)"

k_cpu=$work/k_cpu
k_wall=$work/k_wall
for _ in $(seq 1 "$runs"); do
  cpu_into "$k_cpu" "$korvane" --quiet --preview g50k.pes -O out
  time_into "$k_wall" "$korvane" --quiet --preview g50k.pes -O out
done
k=$(median "$k_cpu")
kw=$(median "$k_wall")
echo "korvane: $k us CPU, $kw us wall"

ok=1
[ "$peak_kb" -le "$limit_kb" ] || ok=0
if [ -n "$pyemb" ] && [ -f "$pyemb/pyembroidery/__init__.py" ]; then
  py=(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import pyembroidery
p = pyembroidery.read(sys.argv[2]); pyembroidery.write_png(p, sys.argv[3], {"fancy": True, "background": "#ffffff"})' "$pyemb")
  p_cpu=$work/p_cpu
  p_wall=$work/p_wall
  for _ in $(seq 1 "$py_runs"); do
    cpu_into "$p_cpu" "${py[@]}" g50k.pes py.png
    time_into "$p_wall" "${py[@]}" g50k.pes py.png
  done
  p=$(median "$p_cpu")
  pw=$(median "$p_wall")
  echo "pyembroidery: $p us CPU, $pw us wall"
  r=$(ratio "$p" "$k")
  echo "ratio: $r x CPU (goal >= $goal); wall $(ratio "$pw" "$kw") x"
  awk -v r="$r" -v g="$goal" 'BEGIN { exit !(r >= g) }' || ok=0
else
  echo "pyembroidery: skipped (name a copy in KORVANE_BENCH_PYEMBROIDERY)"
fi
[ "$ok" = 1 ]
