#!/usr/bin/env bash
# Builds korvane and runs the whole test suite twice: plainly, and under
# AddressSanitizer with UndefinedBehaviorSanitizer; then the Windows build
# under wine and every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

run_suite() {  # run_suite BUILD_DIR [CMAKE_ARGS...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DKORVANE_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2
  ctest --test-dir "$dir" --output-on-failure -j2
}

echo "== plain build"
run_suite build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite build-asan -DKORVANE_SANITIZE=ON

echo "== Windows build under wine: unit tests, console, sameness with the Linux build"
bash tests/wine/run_wine_tests.sh

echo "== libFuzzer targets, ${KORVANE_FUZZ_SECONDS:-60} s each"
bash fuzz/run_all.sh "${KORVANE_FUZZ_SECONDS:-60}"
