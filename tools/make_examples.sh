#!/usr/bin/env bash
# Regenerates the bundled example container examples/garden.dhv (a flower,
# a leaf with a ladybird and the word GARDEN, placed to fit one hoop) with the
# example tool. Review the
# diff before committing: the file is compared byte for byte downstream.
#   tools/make_examples.sh [BUILD_DIR]     (default: build-examples)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-examples}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DKORVANE_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 korvane_make_example >/dev/null
tool=$build/tools/korvane_make_example

"$tool" --garden -o "$root/examples/garden.dhv"
ls -l "$root/examples/garden.dhv"
