#!/usr/bin/env bash
# Makes the README's picture of a converted real design: the Embroidermodder
# logo as that project ships it in JEF (Janome), converted to SHV by korvane
# and drawn from that SHV by korvane --preview, with the README's command
# lines; beside it, NAME-lines.png, the same drawn with --style lines. The design file is third-party and stays outside the project: it is
# read from the shared real designs (KORVANE_SHARED_DIR, else ../shared beside
# the source tree) and only the picture is written.
#   tools/make_readme_pictures.sh [KORVANE [OUT_PNG]]
#     KORVANE  the program (default: built in build-examples)
#     OUT_PNG  where the picture goes (default: docs/converted-design.png)
# Exits 77 when the real designs are not there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
korvane=${1:-}
out=${2:-$root/docs/converted-design.png}
shared=${KORVANE_SHARED_DIR:-$root/../shared}
design=$shared/realdesigns/jef/em__Embroidermodder.jef
if [ ! -f "$design" ]; then
  echo "SKIP: $design is not here (the shared real designs); set KORVANE_SHARED_DIR" >&2
  exit 77
fi
if [ -z "$korvane" ]; then
  build=$root/build-examples
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DKORVANE_TESTS=OFF >/dev/null
  fi
  ninja -C "$build" -j2 korvane >/dev/null
  korvane=$build/src/frontend/korvane
fi

korvane=$(realpath "$korvane")
out=$(realpath -m "$out")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The name the README's command lines use.
cp "$design" "$work/logo.jef"
cd "$work"
# The command lines the README shows.
"$korvane" --convert logo.jef --rotate fit
"$korvane" --preview logo.shv
mkdir -p "$(dirname "$out")"
cp logo-stitches.png "$out"
mkdir lines
"$korvane" --quiet --preview --style lines logo.shv -O lines
cp lines/logo-stitches.png "${out%.png}-lines.png"
ls -l "$out" "${out%.png}-lines.png"
