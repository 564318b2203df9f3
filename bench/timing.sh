# Shared by the timing scripts under bench/: sourced, never run.
export LC_ALL=C  # EPOCHREALTIME with a '.' whatever the user's locale

now_us() { local t=$EPOCHREALTIME; echo "${t/./}"; }

# time_into FILE CMD...: runs CMD and appends its wall time in microseconds to FILE.
time_into() {
  local out=$1 t0 t1
  shift
  t0=$(now_us)
  "$@" >/dev/null
  t1=$(now_us)
  echo $((t1 - t0)) >>"$out"
}

# alternate RUNS A B: runs the functions A and B RUNS times each, swapping which
# goes first, so that drift in the machine's load falls on both sides alike.
alternate() {
  local i
  for i in $(seq 1 "$1"); do
    if [ $((i % 2)) = 0 ]; then "$2"; "$3"; else "$3"; "$2"; fi
  done
}

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# ratio A B: A / B with two decimals.
# The largest maximum resident set size, in kB, over RUNS runs of a command
# whose standard output is not wanted.
peak_kb() {
  local runs=$1 peak=0 kb
  shift
  for _ in $(seq 1 "$runs"); do
    kb=$(/usr/bin/time -v "$@" 2>&1 >/dev/null | sed -n 's/.*Maximum resident set size (kbytes): *//p')
    [ "${kb:-0}" -gt "$peak" ] && peak=$kb
  done
  echo "$peak"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# within RATIO GOAL: succeeds when RATIO does not exceed GOAL.
within() { awk -v r="$1" -v g="$2" 'BEGIN { exit !(r <= g) }'; }

# cpu_into FILE CMD...: runs CMD and appends the CPU time (user + system) it
# took, in microseconds, to FILE. Fairer than wall time on a busy machine:
# waiting for a core is not counted, waiting for the disk neither. Measured by
# bench/cpu_time.c, which the scripts build; `cpu_time` names it.
cpu_into() {
  local out=$1
  shift
  "$cpu_time" "$@" >>"$out"
}

# convert_cases BUILD SHARED: writes the conversion benchmarks' inputs into the
# current folder (a generated 100,000-stitch design as DST, PES and SHV, and
# the real Peacock DST when the shared folder has it) and sets `cases` to
# INPUT:OUTPUT-EXTENSION pairs.
convert_cases() {
  local build=$1 shared=$2
  "$build/bench/make_bench_pattern" 100000 g100k.dst g100k.pes g100k.shv
  cases="g100k.dst:shv g100k.pes:shv g100k.shv:dst"
  local peacock=$shared/realdesigns/dst/julie__01Peacock.dst
  if [ -f "$peacock" ]; then
    cp "$peacock" peacock.dst
    cases="$cases peacock.dst:shv"
  else
    echo "peacock: skipped, $peacock is not there"
  fi
}

# bench_build BUILD TARGET...: a Release build with the benchmarks, only the
# targets a script needs, quietly.
bench_build() {
  local build=$1
  shift
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVANE_BENCH=ON >/dev/null
  ninja -C "$build" -j2 "$@" >/dev/null
}
