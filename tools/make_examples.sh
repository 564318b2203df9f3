#!/usr/bin/env bash
# Regenerates the bundled example container examples/garden.dhv (a flower,
# a leaf with a ladybird and the word GARDEN, placed to fit one hoop) with the
# example tool, and the README's pictures of it in docs/. Review the
# diff before committing: the file is compared byte for byte downstream.
#   tools/make_examples.sh [BUILD_DIR]     (default: build-examples)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-examples}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DKORVANE_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 korvane_make_example korvane >/dev/null
tool=$build/tools/korvane_make_example

"$tool" --garden -o "$root/examples/garden.dhv"
ls -l "$root/examples/garden.dhv"

# The README's pictures of it: its layout and its first design's stitches, as
# --preview draws them (a test checks they still are).
pics=$(mktemp -d)
trap 'rm -rf "$pics"' EXIT
"$build/src/frontend/korvane" --quiet --preview "$root/examples/garden.dhv" -o "$pics"
mkdir -p "$root/docs"
cp "$pics/garden-layout.png" "$pics/garden-stitches-001.png" "$root/docs/"
"$build/src/frontend/korvane" --quiet --preview --style lines "$root/examples/garden.dhv" -o "$pics"
cp "$pics/garden-stitches-001.png" "$root/docs/garden-stitches-001-lines.png"
ls -l "$root/docs/garden-layout.png" "$root/docs/garden-stitches-001.png"
