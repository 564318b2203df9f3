#!/usr/bin/env bash
# Builds korvane and runs the whole test suite twice: plainly, and under
# AddressSanitizer with UndefinedBehaviorSanitizer; then the Windows build
# under wine and every fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

run_suite() {  # run_suite BUILD_DIR [CMAKE_ARGS...]
  local dir=$1
  shift
  # A build folder keeps the options it was first configured with (the README's
  # first command makes "build" without tests): name every one this suite relies
  # on, so that a kept OFF cannot quietly shrink the suite. The arguments given
  # come last and win.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_WERROR=ON \
    -DKORVANE_TESTS=ON -DKORVANE_SHARED_LIBRARY=ON -DKORVANE_WEB=ON -DKORVANE_SANITIZE=OFF \
    -DKORVANE_FUZZ=OFF "$@" >/dev/null
  cmake --build "$dir" -j2
  # No tests found is a failure, not a pass.
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j2
}

echo "== plain build"
run_suite build
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_suite build-asan -DKORVANE_SANITIZE=ON

echo "== Windows build under wine: unit tests, console, sameness with the Linux build"
bash tests/wine/run_wine_tests.sh

echo "== libFuzzer targets, ${KORVANE_FUZZ_SECONDS:-60} s each"
bash fuzz/run_all.sh "${KORVANE_FUZZ_SECONDS:-60}"
