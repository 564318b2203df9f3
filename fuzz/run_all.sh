#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in their own build directory, runs each for
# SECONDS seconds from its seed corpus, and fails on any crash, leak, timeout
# or sanitizer report. New inputs go to a scratch corpus, never into the
# checked-in seeds; a failing input is kept under the scratch directory.
# KORVANE_FUZZ_SEED fixes libFuzzer's random seed (default 1), so that a run
# in CI walks the same inputs as a run made before it; 0 draws a fresh seed.
#   fuzz/run_all.sh [SECONDS] [TARGET...]     (default 60 seconds, every target)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  # Every <name>_fuzz.cpp is a target, as fuzz/CMakeLists.txt finds them.
  for f in "$root"/fuzz/*_fuzz.cpp; do
    f=${f##*/}
    targets+=("${f%_fuzz.cpp}")
  done
fi
build=${KORVANE_FUZZ_BUILD:-$root/build-fuzz}
scratch=$build/fuzz-run

# Configured every time with every option it needs: a folder kept from an
# earlier configure would otherwise keep its own (clang is chosen only on the first).
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVANE_FUZZ=ON -DKORVANE_TESTS=OFF -DKORVANE_SANITIZE=OFF >/dev/null || exit 1
ninja -C "$build" -j2 "${targets[@]/%/_fuzz}" >/dev/null || { echo "fuzz build failed"; exit 1; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
rm -rf "$scratch"
mkdir -p "$scratch/artifacts"
status=0
total_execs=0
printf '%-10s %12s %10s  %s\n' target executions seconds result
for t in "${targets[@]}"; do
  mkdir -p "$scratch/corpus/$t"
  log=$scratch/$t.log
  start=$(date +%s)
  # -timeout: one input may take at most 10 s; -rss_limit_mb: a run that
  # needs more memory than a large combined preview counts as a fault.
  "$build/fuzz/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -dict="$root/fuzz/korvane.dict" -print_final_stats=1 -seed="${KORVANE_FUZZ_SEED:-1}" \
    -artifact_prefix="$scratch/artifacts/$t-" \
    "$scratch/corpus/$t" "$root/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  elapsed=$(($(date +%s) - start))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  execs=${execs:-0}
  total_execs=$((total_execs + execs))
  if [ $rc -eq 0 ] && ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
    result=ok
  else
    result="FAILED (exit $rc), see $log"
    status=1
  fi
  printf '%-10s %12s %10s  %s\n' "$t" "$execs" "$elapsed" "$result"
  if [ "$result" != ok ]; then
    grep -E 'ERROR|runtime error|property failed|SUMMARY|Test unit written' "$log" | head -20
  fi
done
printf '%-10s %12s\n' total "$total_execs"
exit $status
