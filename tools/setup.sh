#!/usr/bin/env bash
# Installs the Debian packages korvane needs. Safe to run again: it installs
# only what is missing and asks nothing.
#   tools/setup.sh build   what building and running need (compiler, CMake,
#                          Ninja, libpng for the pictures, GTK for the dialogs)
#   tools/setup.sh         that and everything the tests and the Windows build need
set -euo pipefail

build_packages=(
  g++ cmake ninja-build pkg-config
  # PNG previews
  libpng-dev
  # desktop dialogs
  libgtk-3-dev
)
test_packages=(
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev time groff-base
  # fuzzing: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev llvm
  # the desktop dialogs' end-to-end test
  xvfb xdotool imagemagick x11-utils
  # the desktop entry, the MIME types, the icon's PNG sizes and the thumbnailer's pictures
  desktop-file-utils libxml2-utils librsvg2-bin shared-mime-info libglib2.0-bin python3
  # Windows build and its tests; wine32 runs the 32-bit build
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine32:i386
  # the Windows installer, and its test's reading of the format table
  nsis jq
  # the browser page: emscripten builds it (its tools run on node and find
  # node-acorn through NODE_PATH=/usr/share/nodejs, which the build sets);
  # its test drives chromium headless with puppeteer-core from npm
  emscripten chromium
)
web_tests=yes
case ${1:-all} in
  build) packages=("${build_packages[@]}") web_tests=no ;;
  all | test) packages=("${build_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: tools/setup.sh [build]" >&2; exit 2 ;;
esac

# puppeteer-core for the page's browser test, exactly as package-lock.json
# pins it. Without it that one test skips and says why, so a failure here
# does not stop the setup.
web_test_packages() {
  [ "$web_tests" = yes ] || return 0  # "build" installs what building needs, no more
  local dir
  dir="$(cd "$(dirname "$0")/.." && pwd)/tests/web"
  if [ -d "$dir/node_modules/puppeteer-core" ] && [ "$dir/node_modules/.package-lock.json" -nt "$dir/package-lock.json" ]; then
    return 0
  fi
  if ! command -v npm >/dev/null; then
    echo "setup: npm is missing; the browser test will skip until it is there"
    return 0
  fi
  echo "setup: npm ci in tests/web"
  (cd "$dir" && npm ci --ignore-scripts --no-audit --no-fund >/dev/null) ||
    echo "setup: npm ci failed; the browser test will skip until it succeeds"
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  web_test_packages
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
# wine32 comes from the i386 side of the archive.
if [[ " ${missing[*]} " == *":i386 "* ]]; then
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
web_test_packages
echo "setup: done"
