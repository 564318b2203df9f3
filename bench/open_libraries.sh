#!/usr/bin/env bash
# korvane against the open embroidery libraries, on the same files: a
# generated design of 100,000 stitches and the largest real DST and PES
# designs (when the shared designs are there).
#  - pyembroidery (Python): whole-process conversion, `korvane --convert IN -o
#    OUT` against `python3 -c 'pyembroidery.convert(IN, OUT)'`. pyembroidery
#    writes no SHV, so the conversions are ones both write: DST -> EXP, PES,
#    JEF and PES -> DST. Goal: korvane at least 50 x faster, judged on the
#    median CPU times (user + system; on a shared machine the wall times
#    mostly measure the other processes), the wall times printed beside.
#  - libembroidery (C): in-process reading of the DST and PES files,
#    read_files_bench against libembroidery_read.c compiled here against the
#    library. Goal: korvane at least as fast (median CPU time per read).
# The libraries are never part of the project: fetch each into a temporary
# folder and name the copies, by argument or environment; a missing one is
# skipped with a message. libembroidery is built with its own CMake in its
# folder when its static library is not there yet.
#   bench/open_libraries.sh [BUILD_DIR] [PYEMBROIDERY_DIR] [LIBEMBROIDERY_DIR]
#   (or KORVANE_BENCH_PYEMBROIDERY, KORVANE_BENCH_LIBEMBROIDERY; KORVANE_SHARED_DIR
#   names the shared folder, default ../shared beside the checkout)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$src/build-bench}" && cd "${1:-$src/build-bench}" && pwd)
pyemb=${2:-${KORVANE_BENCH_PYEMBROIDERY:-}}
libemb=${3:-${KORVANE_BENCH_LIBEMBROIDERY:-}}
shared=${KORVANE_SHARED_DIR:-$src/../shared}
py_runs=${PY_RUNS:-5}
runs=${RUNS:-11}
read_runs=${READ_RUNS:-51}
py_goal=50
. "$src/bench/timing.sh"

bench_build "$build" korvane make_bench_pattern read_files_bench cpu_time
cpu_time=$build/bench/cpu_time
korvane=$build/src/frontend/korvane

work=$(mktemp -d "$build/libraries-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build/bench/make_bench_pattern" 100000 g100k.dst g100k.pes
dsts="g100k.dst"
pess="g100k.pes"
real=$shared/realdesigns
if [ -d "$real" ]; then
  cp "$real/dst/julie__01Peacock.dst" peacock.dst
  cp "$real/pes/em__Embroidermodder.pes" embroidermodder.pes
  dsts="$dsts peacock.dst"
  pess="$pess embroidermodder.pes"
else
  echo "real designs: skipped, $real is not there"
fi
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"

ok=0
if [ -n "$pyemb" ] && [ -f "$pyemb/pyembroidery/__init__.py" ]; then
  py=(python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import pyembroidery; pyembroidery.convert(sys.argv[2], sys.argv[3])' "$pyemb")
  pairs=""
  for d in $dsts; do pairs="$pairs $d:exp $d:pes $d:jef"; done
  for p in $pess; do pairs="$pairs $p:dst"; done
  for c in $pairs; do
    in=${c%%:*}
    to=${c##*:}
    "${py[@]}" "$in" "py_out.$to" >/dev/null
    "$korvane" --convert "$in" -o "k_out.$to" >/dev/null
    [ -s "py_out.$to" ] && [ -s "k_out.$to" ] || { echo "$in -> $to: a side wrote nothing"; exit 1; }
    rm -f k.us py.us k.cpu py.cpu
    time_k() {
      time_into k.us "$korvane" --convert "$in" -o "k_out.$to"
      cpu_into k.cpu "$korvane" --convert "$in" -o "k_out.$to"
    }
    time_py() {
      time_into py.us "${py[@]}" "$in" "py_out.$to"
      cpu_into py.cpu "${py[@]}" "$in" "py_out.$to"
    }
    alternate "$py_runs" time_k time_py
    # korvane runs more often: its median needs more runs to settle.
    for _ in $(seq $((runs - py_runs))); do time_k; done
    k=$(median k.cpu)
    p=$(median py.cpu)
    r=$(ratio "$p" "$k")
    awk -v r="$r" -v g="$py_goal" 'BEGIN { exit !(r >= g) }' || ok=1
    echo "pyembroidery $in -> $to: korvane $k us, pyembroidery $p us, pyembroidery/korvane $r (goal >= $py_goal) CPU time; wall time korvane $(median k.us) us, pyembroidery $(median py.us) us, ratio $(ratio "$(median py.us)" "$(median k.us)"), load $(cut -d' ' -f1-3 /proc/loadavg)"
  done
else
  echo "pyembroidery: skipped, give the folder of a checkout of the EmbroidePy/pyembroidery repository (fetched into a temporary folder) as the second argument or in KORVANE_BENCH_PYEMBROIDERY"
fi

if [ -n "$libemb" ] && [ -f "$libemb/include/embroidery.h" ]; then
  lib=$libemb/build/libembroidery_static.a
  if [ ! -f "$lib" ]; then
    cmake -S "$libemb" -B "$libemb/build" -DCMAKE_BUILD_TYPE=Release >"$work/libemb-build.log" 2>&1 &&
      cmake --build "$libemb/build" -j2 --target embroidery_static >>"$work/libemb-build.log" 2>&1 ||
      { echo "libembroidery: did not build:"; tail -5 "$work/libemb-build.log"; exit 1; }
  fi
  cc -O2 -std=c99 -I"$libemb/include" "$src/bench/libembroidery_read.c" "$lib" -lm -o libembroidery_read
  for f in $dsts $pess; do
    # The library prints as it reads; its own words go to stdout, the figure to stderr.
    c=$(./libembroidery_read "$read_runs" "$f" 2>&1 >/dev/null | sed -n 's/.*: \([0-9.]*\) us CPU median.*/\1/p')
    k=$("$build/bench/read_files_bench" "$read_runs" "$f" | sed -n 's/.*: \([0-9.]*\) us CPU median.*/\1/p')
    [ -n "$c" ] && [ -n "$k" ] || { echo "libembroidery $f: a side did not read it"; ok=1; continue; }
    r=$(ratio "$c" "$k")
    awk -v r="$r" 'BEGIN { exit !(r >= 1) }' || ok=1
    echo "libembroidery read $f: korvane $k us, libembroidery $c us, libembroidery/korvane $r (goal >= 1), CPU time median of $read_runs, load $(cut -d' ' -f1-3 /proc/loadavg)"
  done
else
  echo "libembroidery: skipped, give the folder of a checkout of the Embroidermodder/libembroidery repository (fetched into a temporary folder) as the third argument or in KORVANE_BENCH_LIBEMBROIDERY"
fi
exit $ok
