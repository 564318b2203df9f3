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
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# within RATIO GOAL: succeeds when RATIO does not exceed GOAL.
within() { awk -v r="$1" -v g="$2" 'BEGIN { exit !(r <= g) }'; }
