#!/usr/bin/env bash
# Installs the Debian packages korvane needs to build and test. Safe to run
# again: it installs only what is missing and asks nothing.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev time groff-base
  # fuzzing: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev llvm
  # desktop dialogs and their end-to-end test
  libgtk-3-dev xvfb xdotool imagemagick x11-utils
  # PNG previews
  libpng-dev
  # Windows build and its tests; wine32 runs the 32-bit build
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine32:i386
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
# wine32 comes from the i386 side of the archive.
dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
